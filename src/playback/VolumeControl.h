#pragma once

#include <QObject>

class PlaybackController;
class QAbstractButton;
class QWidget;

// The volume scale with its knob, and the sound/muted buttons. Before the engines exist the
// knob and pictures change alone; afterwards each change goes to the current engine.
class VolumeControl : public QObject
{
    Q_OBJECT

public:
    VolumeControl(QWidget *imgRuler, QWidget *imgMove, QAbstractButton *imgnomute, QAbstractButton *imgmute,
                  PlaybackController &playback, QObject *parent);

    // Places the knob `offset` pixels right of the ruler's left edge.
    void placeKnob(int offset);
    int offset() const { return m_offset; }
    // trunc(offset * 100 / 87)
    int volume() const { return m_offset * 100 / 87; }

    void imgRulerMouseDown(int x);
    void imgMoveMouseDown(Qt::MouseButton button, int x);
    void imgMoveMouseMove(int x);
    void imgMoveMouseUp(Qt::MouseButton button);
    void imgnomuteClick();
    void imgmuteClick();

    bool VolumeDragging = false;
    int VolumeGrabX = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void applyVolume();

    QWidget *m_ruler;
    QWidget *m_knob;
    QAbstractButton *m_nomute;
    QAbstractButton *m_mute;
    PlaybackController &m_playback;
    int m_offset = 0;
};
