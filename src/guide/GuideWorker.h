#pragma once

#include "GuideMatch.h"
#include "GuideSchedule.h"
#include "GuideStore.h"

#include <QFile>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>

class HttpReader;

// The guide's side of its worker thread: owns the store, downloads and imports the sources one
// at a time, and hands the GUI thread what it shows. Every function runs on the worker thread;
// what it reports goes through the callbacks (which post to the GUI thread).
class GuideWorker : public QObject
{
    Q_OBJECT

public:
    struct Reports
    {
        std::function<void(std::shared_ptr<const GuideSchedule>)> schedule;
        std::function<void(const QList<GuideSourceRow> &)> sources;
        std::function<void(const QString &)> progress; // "" when nothing runs
        std::function<void(const QString &)> notice;   // something the user should read
    };

    GuideWorker(const QString &databasePath, const QString &spoolFolder, Reports reports);
    ~GuideWorker() override;

    void open();
    void setLists(const QStringList &listFiles);
    void setPlaylistGuides(const QStringList &addresses);
    void addSource(const QString &address);
    void removeSource(qint64 row);
    // Refreshes the sources due (refreshed longer than `hours` ago; never with 0), or all.
    void refresh(bool all, int hours);
    void rebuildSchedule();
    // How long a download may receive nothing, and how large it may be (tests shorten them).
    void setLimits(int stallMs, qint64 maxDownload);
    // What is on in [from, to) on every guide channel, titles and times.
    std::shared_ptr<GuideSchedule> scheduleFor(qint64 from, qint64 to);
    // A programme whole (description and all); its channel 0 where there is none.
    GuideProgramme details(qint64 channel, qint64 start);
    QList<GuideProgramme> search(const QString &text, int limit);

    static constexpr int kStallMs = 30000;
    static constexpr int kDeadlineMs = 30 * 60 * 1000;
    static constexpr qint64 kKeepDays = 14;

private:
    void next();
    void download(const GuideSourceRow &source);
    void downloaded(const QString &error);
    void import(const GuideSourceRow &source, const QString &file, bool keepValidators);
    void finish(const GuideSourceRow &source, bool ok, const QString &result);
    const ListIndex &lists();
    void postSources();

    QString m_path;
    QString m_spoolFolder;
    Reports m_reports;
    std::unique_ptr<GuideStore> m_store;
    QStringList m_listFiles;
    std::unique_ptr<ListIndex> m_lists;
    QList<qint64> m_queue;
    bool m_busy = false;
    // The download on its way.
    std::unique_ptr<HttpReader> m_reader;
    GuideSourceRow m_current;
    QFile m_spool;
    qint64 m_maxDownload;
    bool m_tooLarge = false;
    QTimer m_stall{this}; // children, so that they move to the worker's thread with it
    QTimer m_deadline{this};
};
