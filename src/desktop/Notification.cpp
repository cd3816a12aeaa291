#include "Notification.h"

#include "base/AppInfo.h"

#include <QVariantMap>

QDBusMessage NotificationMessage(uint replaces, const QString &summary, const QString &body, const QStringList &actions,
                                 const QString &category)
{
    QDBusMessage message = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), AppId()}, {QStringLiteral("category"), category}};
    message << AppTitle() << replaces << AppId() << summary << body.toHtmlEscaped() << actions << hints << qint32(-1);
    return message;
}
