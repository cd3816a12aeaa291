#pragma once

#include <QImage>
#include <QWidget>

// Paints the newest video frame of the second engine, scaled to fit with its aspect kept.
class FrameView : public QWidget
{
    Q_OBJECT

public:
    explicit FrameView(QWidget *parent);
    // displaySize: the frame's size corrected for its pixel aspect ratio.
    void setFrame(const QImage &frame, const QSize &displaySize);
    void clear();
    const QImage &frame() const { return m_frame; }
    int framesShown() const { return m_shown; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_frame;
    QSize m_display;
    int m_shown = 0;
    bool m_fresh = false;
};
