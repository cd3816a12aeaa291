#include "TrayIcon.h"

#include "base/AppInfo.h"
#include "base/PlainText.h"
#include "playback/NowPlaying.h"

#include <QApplication>
#include <QMenu>
#include <QSystemTrayIcon>

TrayIcon::TrayIcon(const Actions &actions, NowPlaying &now, QObject *parent)
    : QObject(parent), m_now(now), m_menu(std::make_unique<QMenu>()), m_icon(new QSystemTrayIcon(this))
{
    m_menu->setObjectName(QStringLiteral("popTray"));
    QAction *window = m_menu->addAction(QStringLiteral("&Show ") + AppTitle());
    connect(window, &QAction::triggered, this, &TrayIcon::showWindowRequested);
    m_menu->addSeparator();
    m_menu->addActions({actions.play, actions.pause, actions.stop});
    m_menu->addSeparator();
    m_menu->addActions({actions.next, actions.previous, actions.mute});
    m_menu->addSeparator();
    connect(m_menu->addAction(QStringLiteral("&Quit")), &QAction::triggered, this, &TrayIcon::quitRequested);
    m_icon->setContextMenu(m_menu.get());
    m_icon->setIcon(QApplication::windowIcon());
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            emit showWindowRequested();
    });
    connect(&m_now, &NowPlaying::trackChanged, this, &TrayIcon::update);
    connect(&m_now, &NowPlaying::stateChanged, this, &TrayIcon::update);
    update();
}

TrayIcon::~TrayIcon()
{
    m_icon->setContextMenu(nullptr);
}

bool TrayIcon::isAvailable()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::show()
{
    if (isAvailable())
        m_icon->show();
}

QString TrayIcon::toolTip() const
{
    return m_icon->toolTip();
}

void TrayIcon::update()
{
    QString tip = AppTitle();
    if (!m_now.isIdle() && m_now.state() != NowPlaying::State::Stopped) {
        tip += u'\n' + m_now.channel();
        if (!m_now.streamTitle().isEmpty())
            tip += u'\n' + m_now.streamTitle();
        if (m_now.state() == NowPlaying::State::Paused)
            tip += QStringLiteral("\n(paused)");
    }
    m_icon->setToolTip(PlainToolTip(tip));
}
