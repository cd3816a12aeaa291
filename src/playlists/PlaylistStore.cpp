#include "PlaylistStore.h"

#include "PlaylistReader.h"
#include "base/Errors.h"
#include "base/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

constexpr qint64 kMaxIndexSize = 4 << 20;

QString indexPath(const QString &folder)
{
    return folder + QStringLiteral("/index.json");
}

QString stamp(const QDateTime &t)
{
    return t.isValid() ? t.toUTC().toString(Qt::ISODate) : QString();
}

QDateTime unstamp(const QJsonValue &v)
{
    QDateTime t = QDateTime::fromString(v.toString(), Qt::ISODate);
    if (t.isValid())
        t = t.toUTC();
    return t;
}

} // namespace

QString RefreshIntervalKey(RefreshInterval interval)
{
    switch (interval) {
    case RefreshInterval::AtStartup:
        return QStringLiteral("startup");
    case RefreshInterval::Daily:
        return QStringLiteral("daily");
    case RefreshInterval::Weekly:
        return QStringLiteral("weekly");
    case RefreshInterval::Never:
        break;
    }
    return QStringLiteral("never");
}

RefreshInterval RefreshIntervalFromKey(const QString &key)
{
    for (RefreshInterval i : {RefreshInterval::AtStartup, RefreshInterval::Daily, RefreshInterval::Weekly}) {
        if (key == RefreshIntervalKey(i))
            return i;
    }
    return RefreshInterval::Never;
}

bool PlaylistInfo::isRemote() const
{
    return IsWebAddress(source);
}

bool PlaylistInfo::isDue(const QDateTime &now, bool startup) const
{
    qint64 period = 0;
    switch (interval) {
    case RefreshInterval::Never:
        return false;
    case RefreshInterval::AtStartup:
        return startup;
    case RefreshInterval::Daily:
        period = 24 * 3600;
        break;
    case RefreshInterval::Weekly:
        period = 7 * 24 * 3600;
        break;
    }
    // A failed attempt is not repeated within the hour, so a server that is down is not pressed.
    if (!error.isEmpty() && tried.isValid() && tried.secsTo(now) < 3600)
        return false;
    return !refreshed.isValid() || refreshed.secsTo(now) >= period;
}

PlaylistStore::PlaylistStore(const QString &folder) : m_folder(QDir::cleanPath(folder))
{
}

QString PlaylistStore::listFile(const QString &id) const
{
    return m_folder + u'/' + id + QStringLiteral(".CHL");
}

bool PlaylistStore::hasList(const QString &id) const
{
    return QFileInfo(listFile(id)).isFile();
}

std::optional<PlaylistInfo> PlaylistStore::find(const QString &id) const
{
    for (const PlaylistInfo &p : m_playlists) {
        if (p.id == id)
            return p;
    }
    return std::nullopt;
}

void PlaylistStore::load()
{
    read();
}

void PlaylistStore::read()
{
    m_playlists.clear();
    QFile file(indexPath(m_folder));
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxIndexSize)
        throw ZError(QStringLiteral("The list of playlists (%1) cannot be read.").arg(file.fileName()));
    QJsonParseError why{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &why);
    if (why.error != QJsonParseError::NoError || !doc.isObject())
        throw ZError(
            QStringLiteral("The list of playlists (%1) is damaged: %2").arg(file.fileName(), why.errorString()));
    for (const QJsonValue &v : doc.object().value(QStringLiteral("playlists")).toArray()) {
        const QJsonObject o = v.toObject();
        PlaylistInfo p;
        p.id = o.value(QStringLiteral("id")).toString();
        // An id names a file: only what this program makes is taken.
        if (p.id.isEmpty() || p.id.size() > 32 || std::any_of(p.id.cbegin(), p.id.cend(), [](QChar c) {
                return !(c.isLetterOrNumber() && c.unicode() < 128);
            }))
            continue;
        p.name = o.value(QStringLiteral("name")).toString();
        p.source = o.value(QStringLiteral("source")).toString();
        p.interval = RefreshIntervalFromKey(o.value(QStringLiteral("refresh")).toString());
        p.refreshed = unstamp(o.value(QStringLiteral("refreshed")));
        p.tried = unstamp(o.value(QStringLiteral("tried")));
        p.error = o.value(QStringLiteral("error")).toString();
        p.channels = o.value(QStringLiteral("channels")).toInt();
        m_playlists.append(p);
    }
}

void PlaylistStore::write() const
{
    QJsonArray list;
    for (const PlaylistInfo &p : m_playlists) {
        list.append(QJsonObject{{QStringLiteral("id"), p.id},
                                {QStringLiteral("name"), p.name},
                                {QStringLiteral("source"), p.source},
                                {QStringLiteral("refresh"), RefreshIntervalKey(p.interval)},
                                {QStringLiteral("refreshed"), stamp(p.refreshed)},
                                {QStringLiteral("tried"), stamp(p.tried)},
                                {QStringLiteral("error"), p.error},
                                {QStringLiteral("channels"), p.channels}});
    }
    const QByteArray bytes = QJsonDocument(QJsonObject{{QStringLiteral("playlists"), list}}).toJson();
    QString why;
    if (!WriteFileAtomically(indexPath(m_folder), bytes, &why))
        throw ZError(QStringLiteral("Unable to write to %1: %2").arg(indexPath(m_folder), why));
}

template<typename Change> void PlaylistStore::change(Change &&change)
{
    if (!QDir().mkpath(m_folder))
        throw ZError(QStringLiteral("Unable to write to %1").arg(m_folder));
    const FileLock lock(indexPath(m_folder));
    if (!lock.isLocked())
        throw ZError(QStringLiteral("The playlists are being changed by another Zentavo. Please try again."));
    read();
    const QList<PlaylistInfo> before = m_playlists;
    change();
    try {
        write();
    } catch (...) {
        m_playlists = before;
        throw;
    }
}

PlaylistInfo PlaylistStore::add(const QString &name, const QString &source, RefreshInterval interval)
{
    PlaylistInfo added;
    change([&] {
        int n = 1;
        const auto taken = [this](const QString &id) {
            return find(id).has_value() || QFileInfo::exists(listFile(id));
        };
        while (taken(QStringLiteral("p%1").arg(n)))
            ++n;
        added.id = QStringLiteral("p%1").arg(n);
        added.name = name;
        added.source = source;
        added.interval = interval;
        m_playlists.append(added);
    });
    return added;
}

void PlaylistStore::update(const PlaylistInfo &info)
{
    change([&] {
        for (PlaylistInfo &p : m_playlists) {
            if (p.id == info.id) {
                p = info;
                return;
            }
        }
        throw ZError(QStringLiteral("The playlist \"%1\" is no longer there.").arg(info.name));
    });
}

void PlaylistStore::remove(const QString &id)
{
    change([&] {
        m_playlists.removeIf([&](const PlaylistInfo &p) { return p.id == id; });
        QFile::remove(listFile(id));
    });
}

void PlaylistStore::recordRefresh(const QString &id, int channels, const QDateTime &when)
{
    change([&] {
        for (PlaylistInfo &p : m_playlists) {
            if (p.id == id) {
                p.refreshed = p.tried = when.toUTC();
                p.error.clear();
                p.channels = channels;
            }
        }
    });
}

void PlaylistStore::recordFailure(const QString &id, const QString &error, const QDateTime &when)
{
    change([&] {
        for (PlaylistInfo &p : m_playlists) {
            if (p.id == id) {
                p.tried = when.toUTC();
                p.error = error;
            }
        }
    });
}
