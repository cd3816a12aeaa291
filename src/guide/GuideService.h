#pragma once

#include "GuideSchedule.h"
#include "GuideStore.h"

#include <QObject>
#include <QThread>
#include <QTimer>

#include <functional>
#include <memory>

class GuideWorker;

// The programme guide as the window sees it: what is on (a schedule in memory, answered at
// once) and where guides come from. Downloads, imports and the database run on a thread of
// their own; nothing here blocks.
class GuideService : public QObject
{
    Q_OBJECT

public:
    GuideService(const QString &databasePath, const QString &spoolFolder, QObject *parent = nullptr);
    ~GuideService() override;

    // The list files whose channels the guide is kept for.
    void setLists(const QStringList &listFiles);
    // The guides the user's playlists name (kept as sources while a playlist names them).
    void setPlaylistGuides(const QStringList &addresses);
    // Sources are refreshed when this many hours old (checked hourly); 0: only on demand.
    void setRefreshHours(int hours);
    // A download's stall timeout and largest size (tests shorten them).
    void setDownloadLimits(int stallMs, qint64 maxBytes);
    int refreshHours() const { return m_hours; }

    void addSource(const QString &address);
    void removeSource(qint64 row);
    void refreshNow();

    // Asked of the worker; `done` runs on this thread, unless `context` is gone by then.
    using ScheduleDone = std::function<void(std::shared_ptr<const GuideSchedule>)>;
    void requestSchedule(qint64 from, qint64 to, QObject *context, ScheduleDone done);
    void requestDetails(qint64 channel, qint64 start, QObject *context,
                        std::function<void(const GuideProgramme &)> done);
    void requestSearch(const QString &text, QObject *context, std::function<void(const QList<GuideProgramme> &)> done);

    std::shared_ptr<const GuideSchedule> schedule() const { return m_schedule; }
    const QList<GuideSourceRow> &sources() const { return m_sources; }
    // What is on a list channel at `when`; nothing where the guide has no such channel.
    NowNext nowNext(const ListChannel &channel, qint64 when) const;
    bool isEmpty() const { return !m_schedule || m_schedule->size() == 0; }

signals:
    void scheduleChanged();
    void sourcesChanged();
    void progress(const QString &text); // "" when nothing runs
    void notice(const QString &text);

private:
    template<typename F> void onWorker(F &&f);
    // Runs `f` on the worker, then `done(result)` here while `context` lives.
    template<typename Work, typename Done> void ask(QObject *context, Work work, Done done);

    QThread m_thread;
    GuideWorker *m_worker = nullptr; // lives on m_thread, deleted when it ends
    std::shared_ptr<const GuideSchedule> m_schedule;
    QList<GuideSourceRow> m_sources;
    QTimer m_due;
    QTimer m_rebuild;
    int m_hours = 24;
};
