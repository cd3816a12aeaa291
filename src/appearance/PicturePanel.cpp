#include "PicturePanel.h"

#include "Artwork.h"

#include <QPainter>
#include <QVariant>

PicturePanel::PicturePanel(QWidget *parent) : QWidget(parent)
{
}

void PicturePanel::setPicture(const QString &name)
{
    m_picture = name;
    update();
}

void PicturePanel::setFillColor(const QColor &color)
{
    m_fill = color;
    update();
}

void PicturePanel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    if (m_fill.isValid())
        p.fillRect(rect(), m_fill);
    if (!m_picture.isEmpty())
        p.drawImage(rect(), Artwork::image(m_picture, size(), devicePixelRatioF()));
}

void PicturePanel::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    applyAnchors();
}

void PicturePanel::applyAnchors()
{
    if (m_designSize.isEmpty())
        return;
    const int dx = width() - m_designSize.width();
    const int dy = height() - m_designSize.height();
    for (QObject *o : children()) {
        auto *w = qobject_cast<QWidget *>(o);
        if (!w || w->isWindow())
            continue;
        const QString anchors = w->property("Anchors").toString();
        if (anchors.isEmpty())
            continue;
        auto it = m_designGeometry.find(w);
        if (it == m_designGeometry.end())
            it = m_designGeometry.insert(w, w->geometry());
        QRect r = *it;
        const bool left = anchors.contains(u"left") || !anchors.contains(u"right");
        const bool right = anchors.contains(u"right");
        const bool top = anchors.contains(u"top") || !anchors.contains(u"bottom");
        const bool bottom = anchors.contains(u"bottom");
        if (left && right)
            r.setWidth(r.width() + dx);
        else if (right)
            r.translate(dx, 0);
        if (top && bottom)
            r.setHeight(r.height() + dy);
        else if (bottom)
            r.translate(0, dy);
        w->setGeometry(r.x(), r.y(), qMax(0, r.width()), qMax(0, r.height()));
    }
}
