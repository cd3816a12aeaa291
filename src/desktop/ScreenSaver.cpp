#include "ScreenSaver.h"

#include "base/AppInfo.h"
#include "playback/NowPlaying.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace {

QDBusMessage call(const char *method)
{
    return QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.ScreenSaver"),
                                          QStringLiteral("/org/freedesktop/ScreenSaver"),
                                          QStringLiteral("org.freedesktop.ScreenSaver"), QLatin1StringView(method));
}

} // namespace

ScreenSaver::ScreenSaver(NowPlaying &now, const QDBusConnection &bus, QObject *parent)
    : QObject(parent), m_now(now), m_bus(bus)
{
    connect(&m_now, &NowPlaying::stateChanged, this, &ScreenSaver::follow);
    connect(&m_now, &NowPlaying::trackChanged, this, &ScreenSaver::follow);
}

ScreenSaver::~ScreenSaver()
{
    m_held->wanted = false;
    release(*m_held, m_bus);
}

void ScreenSaver::follow()
{
    const bool want = m_now.state() == NowPlaying::State::Playing && m_now.hasVideo();
    if (want == m_held->wanted)
        return;
    m_held->wanted = want;
    if (want)
        inhibit();
    else
        release(*m_held, m_bus);
}

void ScreenSaver::inhibit()
{
    if (m_held->pending || m_held->cookie || !m_bus.isConnected())
        return;
    QDBusMessage message = call("Inhibit");
    message << AppTitle() << QStringLiteral("Playing video");
    m_held->pending = true;
    // Not owned by this object: a window closing mid-call still lets the screen saver go.
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [held = m_held, bus = m_bus](QDBusPendingCallWatcher *w) mutable {
                         w->deleteLater();
                         held->pending = false;
                         const QDBusPendingReply<uint> reply = *w;
                         if (reply.isError())
                             return; // no screen saver service: nothing to keep away
                         held->cookie = reply.value();
                         if (!held->wanted)
                             release(*held, bus); // the picture stopped while the call was on its way
                     });
}

void ScreenSaver::release(Held &held, QDBusConnection &bus)
{
    if (!held.cookie)
        return;
    QDBusMessage message = call("UnInhibit");
    message << std::exchange(held.cookie, 0u);
    bus.send(message);
}
