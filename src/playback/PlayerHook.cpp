#include "PlayerHook.h"

#include "FullScreen.h"
#include "PlaybackControl.h"
#include "PlayerComponents.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMouseEvent>

PlayerHook::PlayerHook(const Widgets &widgets, PlaybackController &playback, FullScreen &fullScreen, QObject *parent)
    : QObject(parent), m_w(widgets), m_playback(playback), m_fullScreen(fullScreen)
{
    qApp->installEventFilter(this);
}

PlayerHook::~PlayerHook()
{
    qApp->removeEventFilter(this);
}

bool PlayerHook::ApplicationEvents1Message(QObject *receiver, QEvent *event)
{
    if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonDblClick)
        return false;
    auto *w = qobject_cast<QWidget *>(receiver);
    const auto *me = static_cast<QMouseEvent *>(event);
    TWmPlayer *wm = m_playback.wmplayer();
    TRePlayer *re = m_playback.rePlayer();
    if (!w || !wm)
        return false;
    const bool inRe = re && re->isAncestorOf(w);
    if (event->type() == QEvent::MouseButtonPress && me->button() == Qt::RightButton) {
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
    const bool inPicture = inRe || w == wm || wm->isAncestorOf(w);
    if (event->type() == QEvent::MouseButtonDblClick && me->button() == Qt::LeftButton && inPicture &&
        !m_fullScreen.isActive())
        m_w.actFull->trigger();
    return false;
}
