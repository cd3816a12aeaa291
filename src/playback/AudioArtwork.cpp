#include "AudioArtwork.h"

#include <QEvent>
#include <QPainter>

AudioArtwork::AudioArtwork(QWidget *area) : QWidget(area)
{
    setObjectName(QStringLiteral("imgArtwork"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setGeometry(area->rect());
    area->installEventFilter(this);
    hide();
}

void AudioArtwork::setLogo(const QPixmap &logo)
{
    m_logo = logo;
    update();
}

QRect AudioArtwork::logoRect() const
{
    if (m_logo.isNull())
        return {};
    // At most 60 % of the area and twice the logo's own size: small logos stay sharp enough.
    const QSize room(width() * 6 / 10, height() * 6 / 10);
    const QSize natural = m_logo.deviceIndependentSize().toSize();
    QSize size = natural * 2;
    if (size.width() > room.width() || size.height() > room.height())
        size = natural.scaled(room, Qt::KeepAspectRatio);
    QRect r(QPoint(), size);
    r.moveCenter(rect().center());
    return r;
}

void AudioArtwork::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    if (!m_logo.isNull()) {
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawPixmap(logoRect(), m_logo);
    }
}

bool AudioArtwork::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parent() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}
