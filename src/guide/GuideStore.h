#pragma once

#include "XmltvReader.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>

// A programme as the guide keeps it.
struct GuideProgramme : ProgrammeInfo
{
    qint64 channel = 0; // the guide channel's row
};

struct GuideChannelRow
{
    qint64 row = 0;
    qint64 source = 0;
    QString id;
    QStringList names;
    QString icon;
};

// Where a guide comes from and how its last refresh went.
struct GuideSourceRow
{
    qint64 row = 0;
    QString address;      // a file or an http(s) address
    bool fromUser = true; // added in Guide Sources (not named by a playlist)
    qint64 refreshed = 0; // Unix seconds of the last attempt; 0: never
    QString result;       // what it came to, in words
    bool ok = false;
    QString etag;
    QString modified;
    int matched = 0; // list channels it has programmes for
};

// The programme guide in SQLite (guide.sqlite in the cache folder). One connection per thread:
// a store is used on the thread that made it. An import of a source replaces that source's
// channels and programmes in one transaction, so that a failed or killed import leaves the
// guide as it was; readers on other connections see the old guide until it commits (WAL).
class GuideStore
{
public:
    explicit GuideStore(const QString &path);
    ~GuideStore();
    GuideStore(const GuideStore &) = delete;
    GuideStore &operator=(const GuideStore &) = delete;

    bool isOpen() const { return m_open; }
    // Why it is not open, or what happened when it was opened (a damaged file set aside).
    QString notice() const { return m_notice; }

    // Sources.
    QList<GuideSourceRow> sources();
    qint64 addSource(const QString &address, bool fromUser);
    void removeSource(qint64 row);
    void setSourceResult(qint64 row, qint64 when, bool ok, const QString &result);
    void setSourceValidators(qint64 row, const QString &etag, const QString &modified);

    // An import: begin, add what is read, then commit (or let it go: rolled back).
    bool beginImport(qint64 source);
    qint64 addChannel(const XmltvChannel &channel);
    bool addProgramme(qint64 channel, const XmltvProgramme &p); // false: a duplicate, passed over
    bool commitImport(int matched);
    void abandonImport();

    // Programmes that ended before `before` are gone.
    void prune(qint64 before);

    // Reading.
    QList<GuideChannelRow> channels();
    // Of every channel, those on the air at some time in [from, to), by channel and start;
    // titles and times only.
    QList<GuideProgramme> schedule(qint64 from, qint64 to);
    QList<GuideProgramme> programmes(qint64 channel, qint64 from, qint64 to);
    // Programmes whose title contains `text` (case ignored), newest first.
    QList<GuideProgramme> search(const QString &text, int limit);

private:
    bool open(const QString &path);
    bool exec(const QString &sql);

    QString m_connection;
    QSqlDatabase m_db;
    bool m_open = false;
    bool m_importing = false;
    qint64 m_importSource = 0;
    QString m_notice;
    struct Statements;
    std::unique_ptr<Statements> m_statements;
};
