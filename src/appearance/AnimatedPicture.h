#pragma once

#include <QTimer>
#include <QWidget>

// The connecting picture: a still emblem that shows a turning ring of lights while Animate is on.
class AnimatedPicture : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(bool Animate READ Animate WRITE setAnimate)

public:
    explicit AnimatedPicture(QWidget *parent = nullptr);

    bool Animate() const { return m_timer.isActive(); }
    void setAnimate(bool on);
    int frame() const { return m_frame; }

    QSize sizeHint() const override { return QSize(100, 100); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    static constexpr int kFrames = 12;
    QTimer m_timer;
    int m_frame = 0;
};
