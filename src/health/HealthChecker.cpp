#include "HealthChecker.h"

#include "ChannelProbe.h"

#include <QHash>
#include <QSet>
#include <functional>

// The scheduler on the checker's thread: probes start while the limits allow.
class HealthWorker : public QObject
{
public:
    using Report = std::function<void(quint64 run, int index, const Health &health)>;

    explicit HealthWorker(Report report) : m_report(std::move(report)) {}

    void start(quint64 run, const QList<HealthTarget> &targets, int jobs, int perHost, int timeoutMs)
    {
        stop();
        m_run = run;
        m_targets = targets;
        m_jobs = jobs;
        m_perHost = perHost;
        m_timeoutMs = timeoutMs;
        for (int i = 0; i < m_targets.size(); ++i) {
            const QString host = ChannelProbe::HostOf(m_targets[i].address);
            auto it = m_waiting.find(host);
            if (it == m_waiting.end()) {
                it = m_waiting.insert(host, {});
                m_hosts.append(host);
            }
            it->append(i);
        }
        pump();
    }

    void stop()
    {
        // Probes abort their connections as they go.
        for (ChannelProbe *p : std::as_const(m_running))
            delete p;
        m_running.clear();
        m_held.clear();
        m_hostWaiters.clear();
        m_perHostRunning.clear();
        m_waiting.clear();
        m_hosts.clear();
        m_turn = 0;
    }

private:
    void pump()
    {
        // The hosts take turns: a host with many channels, or with slow ones, does not hold up
        // the others; none gets more than its share at once.
        qsizetype idle = 0; // hosts passed in a row without starting anything
        while (m_running.size() < m_jobs && !m_hosts.isEmpty() && idle < m_hosts.size()) {
            m_turn %= m_hosts.size();
            const QString host = m_hosts[m_turn];
            QList<int> &queue = m_waiting[host];
            if (!host.isEmpty() && m_perHostRunning.value(host) >= m_perHost) {
                ++m_turn;
                ++idle;
                continue;
            }
            idle = 0;
            launch(queue.takeFirst(), host);
            if (queue.isEmpty()) {
                m_waiting.remove(host);
                m_hosts.removeAt(m_turn); // the next host is at this turn now
            } else {
                ++m_turn;
            }
        }
    }

    // A probe's share of a host ends; a probe waiting for that host takes it first.
    void release(const QString &host)
    {
        if (host.isEmpty())
            return;
        if (--m_perHostRunning[host] <= 0)
            m_perHostRunning.remove(host);
        QList<ChannelProbe *> &waiting = m_hostWaiters[host];
        while (!waiting.isEmpty() && m_perHostRunning.value(host) < m_perHost) {
            ChannelProbe *probe = waiting.takeFirst();
            ++m_perHostRunning[host];
            m_held[probe] = host;
            probe->hostGranted(host);
        }
        if (waiting.isEmpty())
            m_hostWaiters.remove(host);
    }

    // A redirect or a playlist leads a probe to another host: it counts there from now on, and
    // waits while that host has its share.
    void moveProbe(ChannelProbe *probe, const QString &host)
    {
        if (!m_running.contains(probe))
            return;
        release(m_held.take(probe));
        if (m_perHostRunning.value(host) < m_perHost && m_hostWaiters.value(host).isEmpty()) {
            ++m_perHostRunning[host];
            m_held[probe] = host;
            probe->hostGranted(host);
        } else {
            m_hostWaiters[host].append(probe);
        }
        pump();
    }

    void launch(int index, const QString &host)
    {
        auto *probe = new ChannelProbe(m_targets[index], m_timeoutMs, this);
        m_running.insert(probe);
        if (!host.isEmpty())
            ++m_perHostRunning[host];
        m_held[probe] = host;
        connect(
            probe, &ChannelProbe::hostWanted, this, [this, probe](const QString &wanted) { moveProbe(probe, wanted); },
            Qt::QueuedConnection);
        // Queued: a probe that knows its answer at once (a scheme not checked) must not start
        // the next ones from within this pump.
        connect(
            probe, &ChannelProbe::finished, this,
            [this, probe, index](const Health &h) {
                if (!m_running.remove(probe))
                    return; // stopped meanwhile: the probe is gone
                for (QList<ChannelProbe *> &waiting : m_hostWaiters)
                    waiting.removeOne(probe);
                release(m_held.take(probe));
                probe->deleteLater();
                m_report(m_run, index, h);
                pump();
            },
            Qt::QueuedConnection);
        probe->start();
    }

    Report m_report;
    quint64 m_run = 0;
    QList<HealthTarget> m_targets;
    QHash<QString, QList<int>> m_waiting; // by host, in list order
    QStringList m_hosts;                  // those with channels waiting, in turn
    qsizetype m_turn = 0;
    QSet<ChannelProbe *> m_running;
    QHash<ChannelProbe *, QString> m_held;               // the host each probe counts on
    QHash<QString, QList<ChannelProbe *>> m_hostWaiters; // probes led to a host that has its share
    QHash<QString, int> m_perHostRunning;
    int m_jobs = 1;
    int m_perHost = 1;
    int m_timeoutMs = 8000;
};

HealthChecker::HealthChecker(QObject *parent) : QObject(parent)
{
    m_worker = new HealthWorker([this](quint64 run, int index, const Health &health) {
        // The checker's thread: hand over to the thread of this object.
        QMetaObject::invokeMethod(
            this, [this, run, index, health] { report(run, index, health); }, Qt::QueuedConnection);
    });
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, [this] {
        m_worker->stop();
        delete m_worker;
    });
    m_thread.setObjectName(QStringLiteral("health checks"));
    m_thread.start();
}

HealthChecker::~HealthChecker()
{
    m_thread.quit();
    m_thread.wait();
}

void HealthChecker::check(const QList<HealthTarget> &targets)
{
    const quint64 run = ++m_run;
    m_running = !targets.isEmpty();
    m_done = 0;
    m_total = int(targets.size());
    const int jobs = m_jobs, perHost = m_perHost, timeout = m_timeoutMs;
    QMetaObject::invokeMethod(m_worker, [worker = m_worker, run, targets, jobs, perHost, timeout] {
        worker->start(run, targets, jobs, perHost, timeout);
    });
    if (!m_running)
        emit finished(false);
}

void HealthChecker::cancel()
{
    if (!m_running)
        return;
    ++m_run;
    m_running = false;
    QMetaObject::invokeMethod(m_worker, [worker = m_worker] { worker->stop(); });
    emit finished(true);
}

void HealthChecker::report(quint64 run, int index, const Health &health)
{
    if (run != m_run || !m_running)
        return; // from a check since cancelled or replaced
    ++m_done;
    emit checked(index, health);
    emit progress(m_done, m_total);
    if (m_done == m_total) {
        m_running = false;
        emit finished(false);
    }
}
