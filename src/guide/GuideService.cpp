#include "GuideService.h"

#include "GuideWorker.h"

#include <QPointer>

GuideService::GuideService(const QString &databasePath, const QString &spoolFolder, QObject *parent) : QObject(parent)
{
    QPointer<GuideService> self(this);
    // Reports come from the worker thread; they run here, on the GUI thread.
    const auto post = [self](auto f) {
        QMetaObject::invokeMethod(
            self.data(),
            [self, f = std::move(f)] {
                if (self)
                    f(*self);
            },
            Qt::QueuedConnection);
    };
    GuideWorker::Reports reports;
    reports.schedule = [post](std::shared_ptr<const GuideSchedule> s) {
        post([s = std::move(s)](GuideService &g) {
            g.m_schedule = s;
            emit g.scheduleChanged();
        });
    };
    reports.sources = [post](const QList<GuideSourceRow> &rows) {
        post([rows](GuideService &g) {
            g.m_sources = rows;
            emit g.sourcesChanged();
        });
    };
    reports.progress = [post](const QString &text) {
        post([text](GuideService &g) { emit g.progress(text); });
    };
    reports.notice = [post](const QString &text) {
        post([text](GuideService &g) { emit g.notice(text); });
    };
    m_worker = new GuideWorker(databasePath, spoolFolder, std::move(reports));
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread.setObjectName(QStringLiteral("guide"));
    m_thread.start(QThread::LowPriority);
    onWorker([](GuideWorker &w) { w.open(); });

    // Due sources are looked for hourly; what is on is re-read every few hours (the schedule
    // in memory spans two days).
    m_due.setInterval(3600 * 1000);
    connect(&m_due, &QTimer::timeout, this, [this] {
        const int hours = m_hours;
        onWorker([hours](GuideWorker &w) { w.refresh(false, hours); });
    });
    m_due.start();
    m_rebuild.setInterval(6 * 3600 * 1000);
    connect(&m_rebuild, &QTimer::timeout, this, [this] { onWorker([](GuideWorker &w) { w.rebuildSchedule(); }); });
    m_rebuild.start();
}

GuideService::~GuideService()
{
    m_thread.quit();
    m_thread.wait();
}

template<typename F> void GuideService::onWorker(F &&f)
{
    QMetaObject::invokeMethod(
        m_worker, [w = m_worker, f = std::forward<F>(f)] { f(*w); }, Qt::QueuedConnection);
}

template<typename Work, typename Done> void GuideService::ask(QObject *context, Work work, Done done)
{
    // The service outlives its worker (it joins the thread): the answer comes back through it.
    QPointer<QObject> guard(context);
    onWorker([this, guard, work = std::move(work), done = std::move(done)](GuideWorker &w) {
        auto result = work(w);
        QMetaObject::invokeMethod(
            this,
            [guard, done, result = std::move(result)] {
                if (guard)
                    done(result);
            },
            Qt::QueuedConnection);
    });
}

void GuideService::requestSchedule(qint64 from, qint64 to, QObject *context, ScheduleDone done)
{
    ask(
        context, [from, to](GuideWorker &w) { return std::shared_ptr<const GuideSchedule>(w.scheduleFor(from, to)); },
        std::move(done));
}

void GuideService::requestDetails(qint64 channel, qint64 start, QObject *context,
                                  std::function<void(const GuideProgramme &)> done)
{
    ask(
        context, [channel, start](GuideWorker &w) { return w.details(channel, start); }, std::move(done));
}

void GuideService::requestSearch(const QString &text, QObject *context,
                                 std::function<void(const QList<GuideProgramme> &)> done)
{
    ask(
        context, [text](GuideWorker &w) { return w.search(text, 200); }, std::move(done));
}

void GuideService::setLists(const QStringList &listFiles)
{
    onWorker([listFiles](GuideWorker &w) { w.setLists(listFiles); });
}

void GuideService::setPlaylistGuides(const QStringList &addresses)
{
    const int hours = m_hours;
    onWorker([addresses, hours](GuideWorker &w) {
        w.setPlaylistGuides(addresses);
        w.refresh(false, hours);
    });
}

void GuideService::setRefreshHours(int hours)
{
    m_hours = hours;
}

void GuideService::setDownloadLimits(int stallMs, qint64 maxBytes)
{
    onWorker([stallMs, maxBytes](GuideWorker &w) { w.setLimits(stallMs, maxBytes); });
}

void GuideService::addSource(const QString &address)
{
    onWorker([address](GuideWorker &w) { w.addSource(address); });
}

void GuideService::removeSource(qint64 row)
{
    onWorker([row](GuideWorker &w) { w.removeSource(row); });
}

void GuideService::refreshNow()
{
    onWorker([](GuideWorker &w) { w.refresh(true, 0); });
}

NowNext GuideService::nowNext(const ListChannel &channel, qint64 when) const
{
    if (!m_schedule)
        return {};
    const qint64 key = m_schedule->channelOf(channel);
    if (!key)
        return {};
    // The guide's times moved by the channel's shift.
    NowNext n = m_schedule->at(key, when - channel.shift);
    for (std::optional<Airing> *a : {&n.now, &n.next}) {
        if (*a) {
            (*a)->start += channel.shift;
            (*a)->stop += channel.shift;
        }
    }
    return n;
}
