#include "FrameView.h"

#include <QPainter>

FrameView::FrameView(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void FrameView::setFrame(const QImage &frame, const QSize &displaySize)
{
    m_frame = frame;
    m_display = displaySize;
    m_fresh = true;
    update();
}

void FrameView::clear()
{
    m_frame = QImage();
    m_fresh = false;
    update();
}

void FrameView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    if (m_frame.isNull() || m_display.isEmpty())
        return;
    const QSize fit = m_display.scaled(size(), Qt::KeepAspectRatio);
    const QRect target(QPoint((width() - fit.width()) / 2, (height() - fit.height()) / 2), fit);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(target, m_frame);
    if (m_fresh) {
        ++m_shown;
        m_fresh = false;
    }
}
