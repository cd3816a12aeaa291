#include "TitleNotifier.h"

#include "Notification.h"
#include "playback/NowPlaying.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

TitleNotifier::TitleNotifier(NowPlaying &now, const QDBusConnection &bus, QObject *parent)
    : QObject(parent), m_now(now), m_bus(bus)
{
    connect(&m_now, &NowPlaying::newTitle, this, &TitleNotifier::notify);
}

void TitleNotifier::notify(const QString &channel, const QString &title)
{
    if (!m_enabled || !m_bus.isConnected())
        return;
    const QDBusMessage message = NotificationMessage(m_lastId, title, channel, {}, QStringLiteral("x-zentavo.title"));
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<uint> reply = *w;
        if (!reply.isError())
            m_lastId = reply.value();
    });
}
