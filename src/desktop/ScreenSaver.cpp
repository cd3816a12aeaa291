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
    m_wanted = false;
    release();
}

void ScreenSaver::follow()
{
    const bool want = m_now.state() == NowPlaying::State::Playing && m_now.hasVideo();
    if (want == m_wanted)
        return;
    m_wanted = want;
    if (want)
        inhibit();
    else
        release();
}

void ScreenSaver::inhibit()
{
    if (m_pending || m_cookie || !m_bus.isConnected())
        return;
    QDBusMessage message = call("Inhibit");
    message << AppTitle() << QStringLiteral("Playing video");
    m_pending = true;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        m_pending = false;
        const QDBusPendingReply<uint> reply = *w;
        if (reply.isError())
            return; // no screen saver service: nothing to keep away
        m_cookie = reply.value();
        if (!m_wanted)
            release(); // the picture stopped while the call was on its way
    });
}

void ScreenSaver::release()
{
    if (!m_cookie)
        return;
    QDBusMessage message = call("UnInhibit");
    message << std::exchange(m_cookie, 0u);
    m_bus.send(message);
}
