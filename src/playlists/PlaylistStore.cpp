#include "PlaylistStore.h"

#include "PlaylistReader.h"
#include "base/Errors.h"
#include "base/OutsideText.h"
#include "base/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace {

// Read whole up to this; an index of capped records is far smaller.
constexpr qint64 kMaxIndexSize = 64 << 20;

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

namespace {

bool isOwnId(const QString &id)
{
    // An id names a file: only what this program makes is taken.
    return !id.isEmpty() && id.size() <= 32 &&
           std::all_of(id.cbegin(), id.cend(), [](QChar c) { return c.isLetterOrNumber() && c.unicode() < 128; });
}

std::optional<PlaylistInfo> infoFrom(const QJsonObject &o)
{
    PlaylistInfo p;
    p.id = o.value(QStringLiteral("id")).toString();
    if (!isOwnId(p.id))
        return std::nullopt;
    // Capped as it is read too: an index written by an older version may carry megabytes.
    p.name = outside::Clean(o.value(QStringLiteral("name")).toString(), outside::kName);
    p.source = o.value(QStringLiteral("source")).toString().left(outside::kAddress);
    p.interval = RefreshIntervalFromKey(o.value(QStringLiteral("refresh")).toString());
    p.refreshed = unstamp(o.value(QStringLiteral("refreshed")));
    p.tried = unstamp(o.value(QStringLiteral("tried")));
    p.error = outside::Clean(o.value(QStringLiteral("error")).toString(), outside::kReason);
    p.channels = o.value(QStringLiteral("channels")).toInt();
    for (const QJsonValue &g : o.value(QStringLiteral("guides")).toArray()) {
        if (const QString address = g.toString(); address.size() <= outside::kAddress && p.guides.size() < 8)
            p.guides.append(outside::Clean(address, outside::kAddress));
    }
    return p;
}

// The records that can still be read from a damaged index: each `{...}` that parses alone.
QList<PlaylistInfo> salvage(const QByteArray &text)
{
    constexpr qsizetype kMaxRecord = 64 * 1024; // a capped record is far smaller
    QList<PlaylistInfo> out;
    qsizetype close = -1;
    int tries = 0;
    for (qsizetype open = text.indexOf('{', 1); open >= 0 && tries < 100000; open = text.indexOf('{', open + 1)) {
        if (close < open)
            close = text.indexOf('}', open);
        if (close < 0)
            break;
        if (close - open > kMaxRecord)
            continue;
        ++tries;
        const QJsonDocument doc = QJsonDocument::fromJson(text.mid(open, close - open + 1));
        if (const auto p = infoFrom(doc.object()))
            out.append(*p);
    }
    return out;
}

} // namespace

void PlaylistStore::read()
{
    m_playlists.clear();
    m_damage.clear();
    QFile file(indexPath(m_folder));
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly))
        throw ZError(QStringLiteral("The list of playlists (%1) cannot be read.").arg(file.fileName()));
    // Past the size limit only the start is read, for what can be saved of it.
    const QByteArray text = file.read(kMaxIndexSize);
    QJsonParseError why{};
    const QJsonDocument doc = file.atEnd() ? QJsonDocument::fromJson(text, &why) : QJsonDocument();
    if (file.atEnd() && why.error == QJsonParseError::NoError && doc.isObject()) {
        for (const QJsonValue &v : doc.object().value(QStringLiteral("playlists")).toArray()) {
            if (const auto p = infoFrom(v.toObject()))
                m_playlists.append(*p);
        }
        return;
    }
    m_damage = file.atEnd() ? why.errorString() : QStringLiteral("it is larger than %1 bytes").arg(kMaxIndexSize);
    for (const PlaylistInfo &p : salvage(text)) {
        if (!find(p.id))
            m_playlists.append(p);
    }
    // A list whose record was lost is still the user's: it stays in the menu under its id.
    const QStringList lists = QDir(m_folder).entryList({QStringLiteral("*.CHL")}, QDir::Files, QDir::Name);
    for (const QString &name : lists) {
        PlaylistInfo p;
        p.id = name.chopped(4);
        if (!isOwnId(p.id) || find(p.id))
            continue;
        p.name = QStringLiteral("Playlist %1 (recovered)").arg(p.id);
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
                                {QStringLiteral("channels"), p.channels},
                                {QStringLiteral("guides"), QJsonArray::fromStringList(p.guides)}});
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
    // What a damaged index still held is written back; the damaged file is kept beside it.
    if (!m_damage.isEmpty()) {
        QFile::remove(indexPath(m_folder) + QStringLiteral(".damaged"));
        QFile::copy(indexPath(m_folder), indexPath(m_folder) + QStringLiteral(".damaged"));
    }
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
        added.name = outside::Clean(name, outside::kName);
        added.source = source.left(outside::kAddress);
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
                p.name = outside::Clean(p.name, outside::kName);
                p.source = p.source.left(outside::kAddress);
                p.error = outside::Clean(p.error, outside::kReason);
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

void PlaylistStore::recordRefresh(const QString &id, int channels, const QDateTime &when, const QStringList &guides)
{
    change([&] {
        for (PlaylistInfo &p : m_playlists) {
            if (p.id == id) {
                p.refreshed = p.tried = when.toUTC();
                p.error.clear();
                p.channels = channels;
                p.guides = guides;
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
                // A server's reason phrase can be megabytes: the index keeps a line of it.
                p.error = outside::Clean(error, outside::kReason);
            }
        }
    });
}
