#pragma once

#include <QDBusMessage>
#include <QStringList>

// A desktop notification (org.freedesktop.Notifications) of this program, replacing
// `replaces` (0: none). `body` is text: escaped here, as servers read it as simple markup.
QDBusMessage NotificationMessage(uint replaces, const QString &summary, const QString &body, const QStringList &actions,
                                 const QString &category);
