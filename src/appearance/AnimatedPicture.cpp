#include "AnimatedPicture.h"

#include "Artwork.h"

#include <QPainter>

AnimatedPicture::AnimatedPicture(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    m_timer.setInterval(80);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_frame = (m_frame + 1) % kFrames;
        update();
    });
}

void AnimatedPicture::setAnimate(bool on)
{
    if (on == m_timer.isActive())
        return;
    if (on) {
        m_timer.start();
    } else {
        m_timer.stop();
        m_frame = 0;
    }
    update();
}

void AnimatedPicture::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const qreal side = qMin(width(), height());
    const QRectF box((width() - side) / 2, (height() - side) / 2, side, side);
    const QSize px(qRound(side), qRound(side));
    const qreal dpr = devicePixelRatioF();
    p.drawImage(box, Artwork::image(QStringLiteral("connect_core"), px, dpr));
    if (!Animate())
        return;
    p.translate(box.center());
    p.rotate(m_frame * 360.0 / kFrames);
    p.translate(-box.center());
    p.drawImage(box, Artwork::image(QStringLiteral("connect_ring"), px, dpr));
}
