#include "TitleNotifier.h"

#include "base/AppInfo.h"
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
    QDBusMessage message = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), AppId()},
                            {QStringLiteral("category"), QStringLiteral("x-zentavo.title")}};
    // Notification servers read the body as simple markup: the channel's name is text.
    message << AppTitle() << m_lastId << AppId() << title << channel.toHtmlEscaped() << QStringList() << hints
            << qint32(-1);
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<uint> reply = *w;
        if (!reply.isError())
            m_lastId = reply.value();
    });
}
