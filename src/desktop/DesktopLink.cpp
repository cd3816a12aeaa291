#include "DesktopLink.h"

#include "Mpris.h"
#include "ScreenSaver.h"
#include "TitleNotifier.h"

#include <QAction>

DesktopLink::DesktopLink(const TrayIcon::Actions &actions, NowPlaying &now, const QDBusConnection &bus, QObject *parent)
    : QObject(parent), m_mpris(new Mpris(now, this)), m_tray(new TrayIcon(actions, now, this)),
      m_screenSaver(new ScreenSaver(now, bus, this)), m_notifier(new TitleNotifier(now, bus, this))
{
    // Actions run only while enabled, as from the menus: Play while playing does nothing.
    connect(m_mpris, &Mpris::playRequested, actions.play, &QAction::trigger);
    connect(m_mpris, &Mpris::pauseRequested, actions.pause, &QAction::trigger);
    connect(m_mpris, &Mpris::playPauseRequested, this,
            [actions] { (actions.pause->isEnabled() ? actions.pause : actions.play)->trigger(); });
    connect(m_mpris, &Mpris::stopRequested, actions.stop, &QAction::trigger);
    connect(m_mpris, &Mpris::nextRequested, actions.next, &QAction::trigger);
    connect(m_mpris, &Mpris::previousRequested, actions.previous, &QAction::trigger);
    connect(m_mpris, &Mpris::raiseRequested, this, &DesktopLink::raiseRequested);
    connect(m_mpris, &Mpris::quitRequested, this, &DesktopLink::quitRequested);
    connect(m_mpris, &Mpris::openUriRequested, this, &DesktopLink::openRequested);
    connect(m_mpris, &Mpris::volumeRequested, this, [this](double v) { emit volumeRequested(qRound(v * 100)); });
    connect(m_tray, &TrayIcon::showWindowRequested, this, &DesktopLink::raiseRequested);
    connect(m_tray, &TrayIcon::quitRequested, this, &DesktopLink::quitRequested);
    m_mpris->start(bus);
    m_tray->show();
}

DesktopLink::~DesktopLink() = default;

void DesktopLink::setVolume(int volume)
{
    m_mpris->setVolume(volume / 100.0);
}

void DesktopLink::setNotifications(bool on)
{
    m_notifier->setEnabled(on);
}
