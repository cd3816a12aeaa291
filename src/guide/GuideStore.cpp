#include "GuideStore.h"

#include <QAtomicInteger>
#include <QDateTime>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

QString newConnectionName()
{
    static QAtomicInteger<quint64> counter;
    return QStringLiteral("zentavo-guide-%1").arg(counter.fetchAndAddRelaxed(1));
}

constexpr const char *kSchema[] = {
    "CREATE TABLE IF NOT EXISTS sources(row INTEGER PRIMARY KEY, address TEXT UNIQUE NOT NULL, "
    "from_user INTEGER NOT NULL, refreshed INTEGER NOT NULL DEFAULT 0, ok INTEGER NOT NULL DEFAULT 0, "
    "result TEXT NOT NULL DEFAULT '', etag TEXT NOT NULL DEFAULT '', modified TEXT NOT NULL DEFAULT '', "
    "matched INTEGER NOT NULL DEFAULT 0)",
    "CREATE TABLE IF NOT EXISTS channels(row INTEGER PRIMARY KEY, source INTEGER NOT NULL, id TEXT NOT NULL, "
    "names TEXT, icon TEXT)",
    "CREATE INDEX IF NOT EXISTS channels_of_source ON channels(source)",
    "CREATE TABLE IF NOT EXISTS programmes(channel INTEGER NOT NULL, start INTEGER NOT NULL, stop INTEGER NOT NULL, "
    "title TEXT, subtitle TEXT, description TEXT, categories TEXT, episode TEXT, icon TEXT, rating TEXT)",
    "CREATE UNIQUE INDEX IF NOT EXISTS programmes_at ON programmes(channel, start)",
};

// Names and categories are kept one per line (outside text has no line breaks left).
QString joined(const QStringList &list)
{
    return list.join(u'\n');
}

// SQL's NULL is no text: the columns that must hold text get "" for a null string.
QString text(const QString &value)
{
    return value.isNull() ? QStringLiteral("") : value;
}

QStringList split(const QString &text)
{
    return text.isEmpty() ? QStringList() : text.split(u'\n');
}

GuideProgramme programmeOf(const QSqlQuery &q, bool full)
{
    GuideProgramme p;
    p.channel = q.value(0).toLongLong();
    p.start = q.value(1).toLongLong();
    p.stop = q.value(2).toLongLong();
    p.title = q.value(3).toString();
    if (full) {
        p.subTitle = q.value(4).toString();
        p.description = q.value(5).toString();
        p.categories = split(q.value(6).toString());
        p.episode = q.value(7).toString();
        p.icon = q.value(8).toString();
        p.rating = q.value(9).toString();
    }
    return p;
}

} // namespace

struct GuideStore::Statements
{
    explicit Statements(const QSqlDatabase &db) : channel(db), programme(db)
    {
        channel.prepare(QStringLiteral("INSERT INTO channels(source, id, names, icon) VALUES(?, ?, ?, ?)"));
        programme.prepare(QStringLiteral(
            "INSERT OR IGNORE INTO programmes(channel, start, stop, title, subtitle, description, categories, "
            "episode, icon, rating) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    }
    QSqlQuery channel;
    QSqlQuery programme;
};

GuideStore::GuideStore(const QString &path) : m_connection(newConnectionName())
{
    if (open(path))
        return;
    // A file that is no database, or a damaged one: set aside, and a new guide made from the
    // sources at their next refresh.
    const QString why = m_db.lastError().text();
    m_statements.reset();
    m_db = {};
    QSqlDatabase::removeDatabase(m_connection);
    const QString aside = path + QStringLiteral(".damaged");
    QFile::remove(aside);
    for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
        QFile::rename(path + suffix, aside + suffix);
    if (open(path))
        m_notice = QStringLiteral("The programme guide was damaged (%1); it is kept as %2 and made again from its "
                                  "sources.")
                       .arg(why, aside);
    else
        m_notice = QStringLiteral("The programme guide cannot be kept: %1").arg(m_db.lastError().text());
}

GuideStore::~GuideStore()
{
    abandonImport();
    m_statements.reset();
    m_db.close();
    m_db = {};
    QSqlDatabase::removeDatabase(m_connection);
}

bool GuideStore::open(const QString &path)
{
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    m_db.setDatabaseName(path);
    m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!m_db.open())
        return false;
    // Readers see the old guide while an import writes the new one.
    for (const char *pragma : {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=NORMAL"}) {
        if (!exec(QString::fromLatin1(pragma)))
            return false;
    }
    for (const char *sql : kSchema) {
        if (!exec(QString::fromLatin1(sql)))
            return false;
    }
    QSqlQuery probe(m_db);
    if (!probe.exec(QStringLiteral("SELECT count(*) FROM sources")) || !probe.next())
        return false;
    m_statements = std::make_unique<Statements>(m_db);
    m_open = true;
    return true;
}

bool GuideStore::exec(const QString &sql)
{
    QSqlQuery q(m_db);
    return q.exec(sql);
}

QList<GuideSourceRow> GuideStore::sources()
{
    QList<GuideSourceRow> out;
    QSqlQuery q(m_db);
    q.exec(QStringLiteral(
        "SELECT row, address, from_user, refreshed, ok, result, etag, modified, matched FROM sources ORDER BY row"));
    while (q.next()) {
        out.append({q.value(0).toLongLong(), q.value(1).toString(), q.value(2).toBool(), q.value(3).toLongLong(),
                    q.value(5).toString(), q.value(4).toBool(), q.value(6).toString(), q.value(7).toString(),
                    q.value(8).toInt()});
    }
    return out;
}

qint64 GuideStore::addSource(const QString &address, bool fromUser)
{
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("INSERT OR IGNORE INTO sources(address, from_user) VALUES(?, ?)"));
    q.addBindValue(address);
    q.addBindValue(fromUser ? 1 : 0);
    q.exec();
    q.prepare(QStringLiteral("SELECT row FROM sources WHERE address = ?"));
    q.addBindValue(address);
    return q.exec() && q.next() ? q.value(0).toLongLong() : 0;
}

void GuideStore::removeSource(qint64 row)
{
    m_db.transaction();
    QSqlQuery q(m_db);
    for (const char *sql : {"DELETE FROM programmes WHERE channel IN (SELECT row FROM channels WHERE source = ?)",
                            "DELETE FROM channels WHERE source = ?", "DELETE FROM sources WHERE row = ?"}) {
        q.prepare(QString::fromLatin1(sql));
        q.addBindValue(row);
        q.exec();
    }
    m_db.commit();
}

void GuideStore::setSourceResult(qint64 row, qint64 when, bool ok, const QString &result)
{
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("UPDATE sources SET refreshed = ?, ok = ?, result = ? WHERE row = ?"));
    q.addBindValue(when);
    q.addBindValue(ok ? 1 : 0);
    q.addBindValue(text(result));
    q.addBindValue(row);
    q.exec();
}

void GuideStore::setSourceValidators(qint64 row, const QString &etag, const QString &modified)
{
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("UPDATE sources SET etag = ?, modified = ? WHERE row = ?"));
    q.addBindValue(text(etag));
    q.addBindValue(text(modified));
    q.addBindValue(row);
    q.exec();
}

bool GuideStore::beginImport(qint64 source)
{
    if (!m_open || m_importing || !m_db.transaction())
        return false;
    m_importing = true;
    m_importSource = source;
    QSqlQuery q(m_db);
    for (const char *sql : {"DELETE FROM programmes WHERE channel IN (SELECT row FROM channels WHERE source = ?)",
                            "DELETE FROM channels WHERE source = ?"}) {
        q.prepare(QString::fromLatin1(sql));
        q.addBindValue(source);
        if (!q.exec()) {
            abandonImport();
            return false;
        }
    }
    return true;
}

qint64 GuideStore::addChannel(const XmltvChannel &channel)
{
    QSqlQuery &q = m_statements->channel;
    q.bindValue(0, m_importSource);
    q.bindValue(1, channel.id);
    q.bindValue(2, joined(channel.names));
    q.bindValue(3, channel.icon);
    return q.exec() ? q.lastInsertId().toLongLong() : 0;
}

bool GuideStore::addProgramme(qint64 channel, const XmltvProgramme &p)
{
    QSqlQuery &q = m_statements->programme;
    q.bindValue(0, channel);
    q.bindValue(1, p.start);
    q.bindValue(2, p.stop);
    q.bindValue(3, p.title);
    q.bindValue(4, p.subTitle);
    q.bindValue(5, p.description);
    q.bindValue(6, joined(p.categories));
    q.bindValue(7, p.episode);
    q.bindValue(8, p.icon);
    q.bindValue(9, p.rating);
    return q.exec() && q.numRowsAffected() > 0;
}

bool GuideStore::commitImport(int matched)
{
    if (!m_importing)
        return false;
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("UPDATE sources SET matched = ? WHERE row = ?"));
    q.addBindValue(matched);
    q.addBindValue(m_importSource);
    q.exec();
    m_importing = false;
    return m_db.commit();
}

void GuideStore::abandonImport()
{
    if (!m_importing)
        return;
    m_importing = false;
    m_db.rollback();
}

void GuideStore::prune(qint64 before)
{
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("DELETE FROM programmes WHERE stop < ?"));
    q.addBindValue(before);
    q.exec();
}

QList<GuideChannelRow> GuideStore::channels()
{
    QList<GuideChannelRow> out;
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    q.exec(QStringLiteral("SELECT row, source, id, names, icon FROM channels ORDER BY source, row"));
    while (q.next()) {
        out.append({q.value(0).toLongLong(), q.value(1).toLongLong(), q.value(2).toString(),
                    split(q.value(3).toString()), q.value(4).toString()});
    }
    return out;
}

QList<GuideProgramme> GuideStore::schedule(qint64 from, qint64 to)
{
    QList<GuideProgramme> out;
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(
        "SELECT channel, start, stop, title FROM programmes WHERE stop > ? AND start < ? ORDER BY channel, start"));
    q.addBindValue(from);
    q.addBindValue(to);
    q.exec();
    while (q.next())
        out.append(programmeOf(q, false));
    return out;
}

QList<GuideProgramme> GuideStore::programmes(qint64 channel, qint64 from, qint64 to)
{
    QList<GuideProgramme> out;
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT channel, start, stop, title, subtitle, description, categories, episode, icon, "
                             "rating FROM programmes WHERE channel = ? AND stop > ? AND start < ? ORDER BY start"));
    q.addBindValue(channel);
    q.addBindValue(from);
    q.addBindValue(to);
    q.exec();
    while (q.next())
        out.append(programmeOf(q, true));
    return out;
}

QList<GuideProgramme> GuideStore::search(const QString &text, int limit)
{
    QList<GuideProgramme> out;
    QString pattern = text;
    pattern.replace(u'\\', QStringLiteral("\\\\"))
        .replace(u'%', QStringLiteral("\\%"))
        .replace(u'_', QStringLiteral("\\_"));
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT channel, start, stop, title, subtitle, description, categories, episode, icon, "
                             "rating FROM programmes WHERE title LIKE ? ESCAPE '\\' ORDER BY start DESC LIMIT ?"));
    q.addBindValue(QString(QStringLiteral("%") + pattern + QStringLiteral("%")));
    q.addBindValue(limit);
    q.exec();
    while (q.next())
        out.append(programmeOf(q, true));
    return out;
}
