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

    static constexpr int kMaxOffset = 87;
    static constexpr int kStep = 5; // volume points per key press or wheel notch

    // Places the knob `offset` pixels right of the ruler's left edge.
    void placeKnob(int offset);
    int offset() const { return m_offset; }
    // trunc(offset * 100 / 87)
    int volume() const { return m_offset * 100 / kMaxOffset; }
    // The knob's place for a volume (the smallest offset that shows at least that volume).
    static int offsetFor(int volume);
    bool muted() const;

    void imgRulerMouseDown(int x);
    void imgMoveMouseDown(Qt::MouseButton button, int x);
    void imgMoveMouseMove(int x);
    void imgMoveMouseUp(Qt::MouseButton button);
    void imgnomuteClick();
    void imgmuteClick();

    // Keys, wheel and menu: louder or softer by `steps` times kStep (sound on first, as the
    // ruler does); mute on or off.
    void stepVolume(int steps);
    // The knob to `volume` (0..100) and the engines to what it shows; the mute state stays.
    void setVolume(int volume);
    void setMuted(bool mute);
    // Wheel turns over the picture or the ruler: 120 units a notch, finer wheels add up.
    void wheel(int angleDelta);

    bool VolumeDragging = false;
    int VolumeGrabX = 0;

signals:
    void muteChanged(bool muted);
    void volumeChanged(int volume);

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
    int m_wheelRest = 0;
};
