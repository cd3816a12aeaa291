#pragma once

#include "Health.h"

#include <QList>
#include <QObject>
#include <QThread>

class HealthWorker;

// Checks a list of channels on a thread of its own: at most `jobs` at a time and `perHost` per
// host, each within the time given. Results come back on the thread that made the checker,
// each as it is known.
class HealthChecker : public QObject
{
    Q_OBJECT

public:
    static constexpr int kDefaultJobs = 24;
    static constexpr int kDefaultPerHost = 4;
    static constexpr int kDefaultTimeoutMs = 8000;

    explicit HealthChecker(QObject *parent = nullptr);
    ~HealthChecker() override;

    void setJobs(int jobs) { m_jobs = qMax(1, jobs); }
    void setPerHost(int perHost) { m_perHost = qMax(1, perHost); }
    void setTimeout(int ms) { m_timeoutMs = qMax(100, ms); }

    // Starts checking `targets` (a check still running is cancelled first).
    void check(const QList<HealthTarget> &targets);
    void cancel();
    bool isRunning() const { return m_running; }
    int done() const { return m_done; }
    int total() const { return m_total; }

signals:
    void checked(int index, const Health &health);
    void progress(int done, int total);
    void finished(bool cancelled);

private:
    void report(quint64 run, int index, const Health &health);

    QThread m_thread;
    HealthWorker *m_worker; // lives on m_thread
    quint64 m_run = 0;      // tells a cancelled check's late results apart
    int m_jobs = kDefaultJobs;
    int m_perHost = kDefaultPerHost;
    int m_timeoutMs = kDefaultTimeoutMs;
    int m_done = 0;
    int m_total = 0;
    bool m_running = false;
};
