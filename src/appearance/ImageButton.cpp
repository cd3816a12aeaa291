#include "ImageButton.h"

#include "Artwork.h"

#include <QBitmap>
#include <QPainter>

ImageButton::ImageButton(QWidget *parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
}

void ImageButton::setPicture(const QString &name)
{
    m_picture = name;
    rebuild();
}

QSize ImageButton::sizeHint() const
{
    return QSize(22, 22);
}

void ImageButton::resizeEvent(QResizeEvent *event)
{
    QAbstractButton::resizeEvent(event);
    rebuild();
}

void ImageButton::rebuild()
{
    if (m_picture.isEmpty() || size().isEmpty())
        return;
    m_outline = Artwork::image(m_picture, size());
    m_normal = Artwork::image(m_picture, size(), devicePixelRatioF());
    m_pressed = Artwork::pressedLook(m_normal);
    m_disabled = Artwork::disabledLook(m_normal);
    setMask(QBitmap::fromImage(m_outline.createAlphaMask()));
    update();
}

bool ImageButton::hitButton(const QPoint &pos) const
{
    if (m_outline.isNull())
        return QAbstractButton::hitButton(pos);
    return m_outline.valid(pos) && qAlpha(m_outline.pixel(pos)) > 0;
}

void ImageButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QImage &img = !isEnabled() ? m_disabled : (isDown() || isChecked()) ? m_pressed : m_normal;
    p.drawImage(rect(), img);
}
