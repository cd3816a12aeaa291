#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QSslCertificate>
#include <QThreadPool>
#include <QTimer>

#include <atomic>
#include <memory>

class HttpReader;

// Channel logos on disk: fetched on request (bounded reads over connections of their own, each
// with a deadline), at most kMaxConcurrent at a time, scaled down and
// written as PNG under hashed names on a worker thread; the folder is kept under its limit by
// removing the oldest files first. An address that failed is not asked again for a day (the
// failures are remembered across runs).
class LogoCache : public QObject
{
    Q_OBJECT

public:
    explicit LogoCache(const QString &folder, QObject *parent = nullptr);
    ~LogoCache() override;

    // Where the logo of `address` is kept (it exists once `ready` said so).
    QString fileFor(const QString &address) const;
    bool has(const QString &address) const;
    // Fetches the logo unless it is there, being fetched, waiting, or failed within a day.
    void request(const QString &address);
    // Drops the requests still waiting (their rows scrolled away).
    void dropWaiting();

    void setLimit(qint64 bytes) { m_limit = bytes; }
    void setExtraCertificates(const QList<QSslCertificate> &certificates) { m_extraCertificates = certificates; }
    int running() const { return int(m_running.size()); }
    int highestRunning() const { return m_highestRunning; }
    // Waits for the worker (tests, and before the folder goes).
    void waitForWorker() { m_worker.waitForDone(); }

    static constexpr int kMaxConcurrent = 6;
    static constexpr qint64 kDefaultLimit = qint64(50) << 20;
    static constexpr qint64 kMaxDownload = qint64(4) << 20;
    static constexpr int kLargestSide = 256;

signals:
    void ready(const QString &address);
    void failed(const QString &address);

private:
    void pump();
    void finished(HttpReader *reader, const QString &address, const QString &error);
    void fail(const QString &address);
    void loadFailures();
    void saveFailures();
    QString key(const QString &address) const;

    QString m_folder;
    QList<QString> m_waiting;
    QHash<HttpReader *, QString> m_running;
    QSet<QString> m_pending;              // waiting, downloading or being written
    QHash<QString, QDateTime> m_failures; // by key
    QTimer m_saveFailures;
    QThreadPool m_worker;                         // one thread: writes and trimming never race
    std::shared_ptr<std::atomic<qint64>> m_total; // bytes in the folder; -1 until counted
    QList<QSslCertificate> m_extraCertificates;
    qint64 m_limit = kDefaultLimit;
    int m_highestRunning = 0;
    bool m_failuresLoaded = false;
};
