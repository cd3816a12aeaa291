#include "RecentTitles.h"

#include "base/SafeFile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

void RecentTitles::load()
{
    m_entries.clear();
    QFile f(m_file);
    if (!f.open(QIODevice::ReadOnly) || f.size() > 1024 * 1024)
        return;
    const QJsonArray list = QJsonDocument::fromJson(f.readAll()).array();
    for (const QJsonValue &v : list) {
        const QJsonObject o = v.toObject();
        Entry e{QDateTime::fromString(o.value(QLatin1StringView("time")).toString(), Qt::ISODate),
                o.value(QLatin1StringView("channel")).toString(), o.value(QLatin1StringView("title")).toString()};
        if (e.title.isEmpty() || !e.time.isValid())
            continue;
        m_entries.append(e);
        if (m_entries.size() == kMax)
            break;
    }
}

bool RecentTitles::add(const Entry &entry, QString *error)
{
    if (entry.title.isEmpty())
        return true;
    if (!m_entries.isEmpty() && m_entries.first().title == entry.title && m_entries.first().channel == entry.channel)
        return true;
    m_entries.prepend(entry);
    if (m_entries.size() > kMax)
        m_entries.resize(kMax);
    QJsonArray list;
    for (const Entry &e : std::as_const(m_entries))
        list.append(QJsonObject{{QLatin1StringView("time"), e.time.toString(Qt::ISODateWithMs)},
                                {QLatin1StringView("channel"), e.channel},
                                {QLatin1StringView("title"), e.title}});
    return WriteFileAtomically(m_file, QJsonDocument(list).toJson(QJsonDocument::Indented), error);
}
