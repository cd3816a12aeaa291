#include "PlayerHook.h"

#include "FullScreen.h"
#include "PlaybackControl.h"
#include "PlayerComponents.h"
#include "VolumeControl.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QWheelEvent>

PlayerHook::PlayerHook(const Widgets &widgets, PlaybackController &playback, FullScreen &fullScreen,
                       VolumeControl &volume, QObject *parent)
    : QObject(parent), m_w(widgets), m_playback(playback), m_fullScreen(fullScreen), m_volume(volume)
{
    qApp->installEventFilter(this);
}

PlayerHook::~PlayerHook()
{
    qApp->removeEventFilter(this);
}

bool PlayerHook::inPicture(const QWidget *w) const
{
    return w && (w == m_w.imgWmplay || m_w.imgWmplay->isAncestorOf(w));
}

bool PlayerHook::pictureKey(int key)
{
    switch (key) {
    case Qt::Key_Space:
        (m_w.actPause->isEnabled() ? m_w.actPause : m_w.actPlay)->trigger();
        return true;
    case Qt::Key_M:
        m_w.actMute->trigger();
        return true;
    case Qt::Key_F:
        m_w.actFull->trigger();
        return true;
    case Qt::Key_Up:
        m_volume.stepVolume(1);
        return true;
    case Qt::Key_Down:
        m_volume.stepVolume(-1);
        return true;
    case Qt::Key_Backspace:
        m_w.actLastChannel->trigger();
        return true;
    default:
        return false;
    }
}

bool PlayerHook::ApplicationEvents1Message(QObject *receiver, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::KeyPress) {
        auto *w = qobject_cast<QWidget *>(receiver);
        const auto *ke = static_cast<QKeyEvent *>(event);
        const Qt::KeyboardModifiers mods = ke->modifiers() & ~Qt::KeypadModifier;
        if (mods == Qt::NoModifier && w &&
            (m_fullScreen.isActive() ? w->window() == m_w.imgWmplay->window() : inPicture(w)))
            return pictureKey(ke->key());
        return false;
    }
    if (type == QEvent::Wheel) {
        if (!inPicture(qobject_cast<QWidget *>(receiver)))
            return false;
        m_volume.wheel(static_cast<QWheelEvent *>(event)->angleDelta().y());
        return true;
    }
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick)
        return false;
    auto *w = qobject_cast<QWidget *>(receiver);
    const auto *me = static_cast<QMouseEvent *>(event);
    TWmPlayer *wm = m_playback.wmplayer();
    TRePlayer *re = m_playback.rePlayer();
    if (!w || !wm)
        return false;
    const bool inRe = re && re->isAncestorOf(w);
    if (type == QEvent::MouseButtonPress && me->button() == Qt::RightButton) {
        const bool onPlayer = w == wm || wm->isAncestorOf(w) || w == m_w.imgWmplay || inRe;
        if (!onPlayer)
            return false;
        const bool video = m_playback.CurrentChannelType != 2;
        for (QAction *a : {m_w.act50, m_w.act100, m_w.act200, m_w.actFull})
            a->setEnabled(video);
        m_w.popControl->popup(me->globalPosition().toPoint());
        return true;
    }
    // A double-click on either engine's picture goes full screen (full screen itself handles
    // the one that returns).
    const bool onPicture = inRe || w == wm || wm->isAncestorOf(w);
    if (type == QEvent::MouseButtonDblClick && me->button() == Qt::LeftButton && onPicture && !m_fullScreen.isActive())
        m_w.actFull->trigger();
    return false;
}
