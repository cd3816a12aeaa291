#include "VolumeControl.h"

#include "PlaybackControl.h"

#include <QAbstractButton>
#include <QMouseEvent>

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
    m_offset = offset;
    m_knob->move(m_ruler->x() + offset, m_knob->y());
}

void VolumeControl::applyVolume()
{
    m_playback.applyVolume(volume());
}

void VolumeControl::imgRulerMouseDown(int x)
{
    if (!m_mute->isHidden())
        imgmuteClick();
    const int limit = m_ruler->width() - m_knob->width();
    placeKnob(x > limit ? limit : qMax(0, x));
    applyVolume();
}

void VolumeControl::imgMoveMouseDown(Qt::MouseButton button, int x)
{
    if (!m_mute->isHidden())
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
}

void VolumeControl::imgmuteClick()
{
    m_playback.applyMute(false);
    m_nomute->show();
    m_mute->hide();
}

bool VolumeControl::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_ruler) {
        if (event->type() == QEvent::Move)
            placeKnob(m_offset); // the knob rides with the ruler when the bar is laid out
        else if (event->type() == QEvent::MouseButtonPress &&
                 static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
            imgRulerMouseDown(int(static_cast<QMouseEvent *>(event)->position().x()));
    } else if (watched == m_knob) {
        const auto *me = static_cast<QMouseEvent *>(event);
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            imgMoveMouseDown(me->button(), int(me->position().x()));
            return true;
        case QEvent::MouseMove:
            imgMoveMouseMove(int(me->position().x()));
            return true;
        case QEvent::MouseButtonRelease:
            imgMoveMouseUp(me->button());
            return true;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}
