#include "PanelSplitter.h"

#include <QMouseEvent>

PanelSplitter::PanelSplitter(QWidget *parent) : QWidget(parent)
{
    setCursor(Qt::SplitHCursor);
    setFixedWidth(1);
}

void PanelSplitter::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_panel)
        return;
    m_dragging = true;
    m_grabX = int(event->globalPosition().x());
    m_startWidth = m_panel->width();
}

void PanelSplitter::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragging || !m_panel)
        return;
    const int maxWidth = qMax(kMinPanelWidth, window()->width() - 60);
    const int w = qBound(kMinPanelWidth, m_startWidth + int(event->globalPosition().x()) - m_grabX, maxWidth);
    m_panel->setFixedWidth(w);
}

void PanelSplitter::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_dragging)
        return;
    m_dragging = false;
    emit moved();
}
