#include "AudioArtwork.h"

#include <QEvent>
#include <QFontMetrics>
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

void AudioArtwork::setCaption(const QString &channel, const QString &title)
{
    m_channel = channel;
    m_title = title;
    update();
}

QRect AudioArtwork::textRect() const
{
    // Two lines at the bottom: the name, then the title.
    const int lines = QFontMetrics(font()).lineSpacing() * 7 / 2;
    return QRect(8, height() - lines - 8, width() - 16, lines);
}

QRect AudioArtwork::logoRect() const
{
    if (m_logo.isNull())
        return {};
    // At most 60 % of the area above the text and twice the logo's own size: small logos
    // stay sharp enough.
    const QRect above(0, 0, width(), textRect().top());
    const QSize room(above.width() * 6 / 10, above.height() * 6 / 10);
    const QSize natural = m_logo.deviceIndependentSize().toSize();
    QSize size = natural * 2;
    if (size.width() > room.width() || size.height() > room.height())
        size = natural.scaled(room, Qt::KeepAspectRatio);
    QRect r(QPoint(), size);
    r.moveCenter(above.center());
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
    const QRect text = textRect();
    QFont name = font();
    name.setPointSizeF(name.pointSizeF() * 1.6);
    name.setBold(true);
    QFont title = font();
    title.setPointSizeF(title.pointSizeF() * 1.3);
    const QRect top(text.left(), text.top(), text.width(), text.height() / 2);
    const QRect bottom(text.left(), top.bottom() + 1, text.width(), text.height() - top.height());
    p.setFont(name);
    p.setPen(QColor(0xe8, 0xf2, 0xff));
    p.drawText(top, Qt::AlignHCenter | Qt::AlignBottom,
               QFontMetrics(name).elidedText(m_channel, Qt::ElideRight, top.width()));
    p.setFont(title);
    p.setPen(QColor(0xbf, 0xe3, 0xff));
    p.drawText(bottom, Qt::AlignHCenter | Qt::AlignTop,
               QFontMetrics(title).elidedText(m_title, Qt::ElideRight, bottom.width()));
}

bool AudioArtwork::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parent() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}
