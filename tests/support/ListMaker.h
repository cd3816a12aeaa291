#pragma once

#include <QByteArray>
#include <QString>

// Channel lists for tests and benchmarks: plain XML or enciphered, in the shipped schema.
namespace ListMaker {

// `groups` groups of `perGroup` channels; every 7th channel a radio station, categories cycled.
QByteArray Plain(int groups, int perGroup, const QString &prefix = QStringLiteral("Channel"));

// One channel element with the ten attributes; `extra` is spliced into the element as is.
QByteArray Item(const QString &name, const QString &url, int ty = 1, const QString &sp = QStringLiteral("300"),
                const QString &category = QString(), const QString &id = QStringLiteral("1"),
                const QByteArray &extra = {});

// A document with the given groups (name, items) around a root element.
QByteArray Document(const QList<QPair<QString, QByteArray>> &groups, const QByteArray &root = "ChannelList");

} // namespace ListMaker
