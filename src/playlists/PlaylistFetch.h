#pragma once

#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <atomic>
#include <memory>

class HttpReader;
class QTemporaryFile;

// One fetch of a playlist: downloads it (http, https; redirects followed, compressed replies
// unpacked) into a file in the spool folder, or reads it from a regular file, then reads the
// playlist and writes its channel list on a worker thread. A download is never held in memory
// and ends at kMaxPlaylistSize, after kDeadlineMs, or when it is slower on average than
// kMinimumRate once kRateGraceMs have passed. The list file is replaced only when the playlist
// holds at least one channel; whatever fails leaves it as it was. Reports once, by `finished`.
class PlaylistFetch : public QObject
{
    Q_OBJECT

public:
    struct Job
    {
        QString source;       // a file path or an http(s) address
        QString listFile;     // the channel list to write
        QString defaultGroup; // the group of entries without one
        QString spoolFolder;  // where a download is written while it comes (empty: the temp folder)
    };
    struct Result
    {
        bool ok = false;
        bool cancelled = false;
        QString error; // for the user, when !ok
        int groups = 0;
        int channels = 0;
        QStringList guides; // the programme guides the playlist names
    };

    explicit PlaylistFetch(QObject *parent = nullptr);
    ~PlaylistFetch() override;

    void start(const Job &job);
    // Stops the fetch; the list file stays as it was, and `finished` reports a cancelled result
    // (unless the list had been stored already: then it reports that).
    void cancel();
    bool isRunning() const { return m_running; }

    // A download that receives nothing for this long fails.
    void setStallTimeout(int ms) { m_stall.setInterval(ms); }
    // Certificates trusted besides the system's, for this fetch's downloads alone.
    void setExtraCertificates(const QList<QSslCertificate> &certificates) { m_extraCertificates = certificates; }

    // Bounds on a whole download, whatever its pace (tests shorten them).
    void setDeadline(int ms, qint64 minimumRate, int graceMs);

    static constexpr int kStallTimeoutMs = 30000;
    static constexpr int kDeadlineMs = 10 * 60 * 1000;
    static constexpr qint64 kMinimumRate = 2048; // bytes per second, on average
    static constexpr int kRateGraceMs = 60 * 1000;
    static constexpr int kMaxRedirects = 10;

signals:
    void progress(qint64 received, qint64 total); // total -1: unknown
    void finished(const PlaylistFetch::Result &result);

private:
    void download();
    void onHeaders();
    void checkPace();
    // Ends the download with `why` (reported from the event loop).
    void fail(const QString &why);
    void downloadEnded(const QString &error);
    void finish(const Result &result);

    HttpReader *m_reader = nullptr; // the download's, while it runs
    QUrl m_url;                     // where it is read from (after redirects)
    std::shared_ptr<QTemporaryFile> m_spool;
    qint64 m_received = 0;
    QTimer m_stall;
    QTimer m_pace;
    QElapsedTimer m_clock;
    int m_deadlineMs = kDeadlineMs;
    qint64 m_minimumRate = kMinimumRate;
    int m_rateGraceMs = kRateGraceMs;
    QString m_stallError;
    QList<QSslCertificate> m_extraCertificates;
    QFutureWatcher<Result> m_work;
    std::shared_ptr<std::atomic_bool> m_cancelled;
    Job m_job;
    bool m_running = false;
};
