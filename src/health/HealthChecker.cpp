#include "HealthChecker.h"

#include "ChannelProbe.h"

#include <QHash>
#include <QNetworkAccessManager>
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
        if (!m_network)
            m_network = new QNetworkAccessManager(this);
        m_run = run;
        m_targets = targets;
        m_jobs = jobs;
        m_perHost = perHost;
        m_timeoutMs = timeoutMs;
        m_waiting.clear();
        for (int i = 0; i < m_targets.size(); ++i)
            m_waiting.append(i);
        pump();
    }

    void stop()
    {
        // Probes abort their connections as they go.
        for (ChannelProbe *p : std::as_const(m_running))
            delete p;
        m_running.clear();
        m_perHostRunning.clear();
        m_waiting.clear();
    }

private:
    void pump()
    {
        // The first waiting channel whose host has room; channels of a busy host wait their turn
        // without holding up the others.
        for (qsizetype w = 0; w < m_waiting.size() && m_running.size() < m_jobs;) {
            const int index = m_waiting[w];
            const HealthTarget &t = m_targets[index];
            const QString host = ChannelProbe::HostOf(t.address);
            if (!host.isEmpty() && m_perHostRunning.value(host) >= m_perHost) {
                ++w;
                continue;
            }
            m_waiting.removeAt(w);
            auto *probe = new ChannelProbe(*m_network, t, m_timeoutMs, this);
            m_running.insert(probe);
            if (!host.isEmpty())
                ++m_perHostRunning[host];
            connect(probe, &ChannelProbe::finished, this, [this, probe, index, host](const Health &h) {
                m_running.remove(probe);
                if (!host.isEmpty() && --m_perHostRunning[host] <= 0)
                    m_perHostRunning.remove(host);
                probe->deleteLater();
                m_report(m_run, index, h);
                pump();
            });
            probe->start();
        }
    }

    Report m_report;
    QNetworkAccessManager *m_network = nullptr;
    quint64 m_run = 0;
    QList<HealthTarget> m_targets;
    QList<int> m_waiting;
    QSet<ChannelProbe *> m_running;
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
