#include "VolumeControl.h"

#include "PlaybackControl.h"

#include <QAbstractButton>
#include <QMouseEvent>
#include <QWheelEvent>

VolumeControl::VolumeControl(QWidget *imgRuler, QWidget *imgMove, QAbstractButton *imgnomute, QAbstractButton *imgmute,
                             PlaybackController &playback, QObject *parent)
    : QObject(parent), m_ruler(imgRuler), m_knob(imgMove), m_nomute(imgnomute), m_mute(imgmute), m_playback(playback)
{
    m_ruler->installEventFilter(this);
    m_knob->installEventFilter(this);
    connect(m_nomute, &QAbstractButton::clicked, this, &VolumeControl::imgnomuteClick);
    connect(m_mute, &QAbstractButton::clicked, this, &VolumeControl::imgmuteClick);
}

void VolumeControl::placeKnob(int offset)
{
    const bool changed = offset != m_offset;
    m_offset = offset;
    m_knob->move(m_ruler->x() + offset, m_knob->y());
    if (changed)
        emit volumeChanged(volume());
}

int VolumeControl::offsetFor(int volume)
{
    volume = qBound(0, volume, 100);
    return qMin(kMaxOffset, (volume * kMaxOffset + 99) / 100);
}

bool VolumeControl::muted() const
{
    // The image's own flag: the bar may be hidden (full screen).
    return !m_mute->isHidden();
}

void VolumeControl::applyVolume()
{
    m_playback.applyVolume(volume());
}

void VolumeControl::imgRulerMouseDown(int x)
{
    if (muted())
        imgmuteClick();
    const int limit = m_ruler->width() - m_knob->width();
    placeKnob(x > limit ? limit : qMax(0, x));
    applyVolume();
}

void VolumeControl::imgMoveMouseDown(Qt::MouseButton button, int x)
{
    if (muted())
        imgmuteClick();
    if (button == Qt::LeftButton && !VolumeDragging) {
        VolumeDragging = true;
        VolumeGrabX = x;
    }
}

void VolumeControl::imgMoveMouseMove(int x)
{
    if (!VolumeDragging)
        return;
    const int left = m_knob->x() + x - VolumeGrabX;
    const int rulerLeft = m_ruler->x();
    if (left >= rulerLeft && left < rulerLeft + m_ruler->width() - m_knob->width() + 2) {
        placeKnob(left - rulerLeft);
        applyVolume();
    }
}

void VolumeControl::imgMoveMouseUp(Qt::MouseButton button)
{
    if (button == Qt::LeftButton)
        VolumeDragging = false;
}

void VolumeControl::imgnomuteClick()
{
    m_playback.applyMute(true);
    m_mute->show();
    m_nomute->hide();
    emit muteChanged(true);
}

void VolumeControl::imgmuteClick()
{
    m_playback.applyMute(false);
    m_nomute->show();
    m_mute->hide();
    emit muteChanged(false);
}

void VolumeControl::setMuted(bool mute)
{
    if (mute)
        imgnomuteClick();
    else
        imgmuteClick();
}

void VolumeControl::stepVolume(int steps)
{
    if (steps == 0)
        return;
    if (muted())
        imgmuteClick();
    placeKnob(offsetFor(volume() + steps * kStep));
    applyVolume();
}

void VolumeControl::setVolume(int volume)
{
    placeKnob(offsetFor(volume));
    applyVolume();
}

void VolumeControl::wheel(int angleDelta)
{
    m_wheelRest += angleDelta;
    const int notches = m_wheelRest / 120;
    m_wheelRest -= notches * 120;
    stepVolume(notches);
}

bool VolumeControl::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::Wheel && (watched == m_ruler || watched == m_knob)) {
        wheel(static_cast<QWheelEvent *>(event)->angleDelta().y());
        return true;
    }
    if (watched == m_ruler) {
        if (type == QEvent::Move)
            placeKnob(m_offset); // the knob rides with the ruler when the bar is laid out
        else if (type == QEvent::MouseButtonPress && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
            imgRulerMouseDown(int(static_cast<QMouseEvent *>(event)->position().x()));
    } else if (watched == m_knob &&
               (type == QEvent::MouseButtonPress || type == QEvent::MouseMove || type == QEvent::MouseButtonRelease)) {
        const auto *me = static_cast<QMouseEvent *>(event);
        if (type == QEvent::MouseButtonPress)
            imgMoveMouseDown(me->button(), int(me->position().x()));
        else if (type == QEvent::MouseMove)
            imgMoveMouseMove(int(me->position().x()));
        else
            imgMoveMouseUp(me->button());
        return true;
    }
    return QObject::eventFilter(watched, event);
}
