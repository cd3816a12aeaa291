#pragma once

#include <QColor>
#include <QHash>
#include <QRect>
#include <QWidget>

// A panel that paints itself: an optional fill colour and an optional picture stretched over
// it. It keeps its look whatever skin is active. Children may carry an "Anchors" property
// ("left", "right", "top", "bottom", joined by "|"): as the panel grows from its design size,
// a child keeps its distance to the edges it is anchored to, and stretches when anchored to
// both opposite edges (left and top are assumed when neither of a pair is named).
class PicturePanel : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString picture READ picture WRITE setPicture)
    Q_PROPERTY(QColor fillColor READ fillColor WRITE setFillColor)
    Q_PROPERTY(QSize designSize READ designSize WRITE setDesignSize)

public:
    explicit PicturePanel(QWidget *parent = nullptr);

    QString picture() const { return m_picture; }
    void setPicture(const QString &name);
    QColor fillColor() const { return m_fill; }
    void setFillColor(const QColor &color);
    QSize designSize() const { return m_designSize; }
    void setDesignSize(const QSize &size) { m_designSize = size; }

    // Lays the anchored children out for the current size.
    void applyAnchors();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QString m_picture;
    QColor m_fill;
    QSize m_designSize;
    QHash<QWidget *, QRect> m_designGeometry;
};
