#include "PlaylistFetch.h"

#include "PlaylistList.h"
#include "PlaylistReader.h"
#include "base/AppInfo.h"
#include "base/Errors.h"
#include "base/NetworkScope.h"
#include "base/OutsideText.h"
#include "catalogue/ListCipher.h"
#include "online/HttpReader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostInfo>
#include <QTemporaryFile>
#include <QUrl>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <limits>

namespace {

// What a playlist file is read in: a piece at a time.
constexpr qint64 kReadPiece = 1 << 20;

QString tooLarge()
{
    return QStringLiteral("The playlist is larger than %1 MiB.").arg(kMaxPlaylistSize >> 20);
}

// Whether a playlist came from the internet rather than from this computer or its network (a
// TV server on the LAN). Looked up on the worker; a name that does not resolve counts as the
// internet.
bool fromInternet(const QString &origin)
{
    if (!IsWebAddress(origin))
        return false;
    const QString host = QUrl(origin).host();
    if (const auto isPrivate = netscope::IsPrivateHost(host))
        return !*isPrivate;
    const QList<QHostAddress> addresses = QHostInfo::fromName(host).addresses();
    return addresses.isEmpty() || !std::all_of(addresses.cbegin(), addresses.cend(), netscope::IsPrivate);
}

// Reads the playlist in `path` a piece at a time and writes its channel list as it goes: a large
// playlist is never held whole, nor are its entries (only the list's text, group by group). A
// device or a pipe is refused (it could be endless), and a file that grows while it is read
// stops at the limit.
PlaylistFetch::Result readAndStore(const QString &path, const QString &origin, const PlaylistFetch::Job &job,
                                   const std::shared_ptr<std::atomic_bool> &cancelled)
{
    PlaylistFetch::Result r;
    try {
        QFile file(path);
        if (!QFileInfo(path).isFile())
            throw ZError(QStringLiteral("The playlist %1 is not a file.").arg(path));
        if (!file.open(QIODevice::ReadOnly))
            throw ZError(QStringLiteral("The playlist %1 cannot be read: %2").arg(path, file.errorString()));
        if (file.size() > kMaxPlaylistSize)
            throw ZError(tooLarge());
        const bool fromWeb = fromInternet(origin);
        auto list = std::make_unique<ChannelListWriter>(1, job.defaultGroup, fromWeb);
        PlaylistScanner scanner(origin, [&list](PlaylistEntry &&e) {
            list->add(e);
            if (list->size() > kMaxListFileSize)
                throw ZError(QStringLiteral("The playlist makes a channel list larger than %1 MiB.")
                                 .arg(kMaxListFileSize >> 20));
        });
        qint64 read = 0;
        while (!file.atEnd()) {
            const QByteArray piece = file.read(kReadPiece);
            if (piece.isEmpty())
                throw ZError(QStringLiteral("The playlist %1 cannot be read: %2").arg(path, file.errorString()));
            read += piece.size();
            if (read > kMaxPlaylistSize)
                throw ZError(tooLarge());
            scanner.feed(piece);
            if (cancelled->load()) {
                r.cancelled = true;
                return r;
            }
        }
        const PlaylistScanner::Summary summary = scanner.finish();
        if (summary.hls) {
            list = std::make_unique<ChannelListWriter>(1, job.defaultGroup, fromWeb);
            list->add(summary.hlsEntry);
        }
        if (cancelled->load()) {
            r.cancelled = true;
            return r;
        }
        ListFileWriter out(job.listFile);
        list->write([&out](QByteArrayView piece) { out.write(piece); });
        out.commit();
        r.ok = true;
        r.groups = list->groups();
        r.channels = list->channels();
        r.guides = fromWeb ? GuidesOfWebList(summary.guides) : summary.guides;
    } catch (const ZError &e) {
        r.error = e.message();
    } catch (const std::bad_alloc &) {
        r.error = QStringLiteral("The playlist is too large to be read.");
    }
    return r;
}

} // namespace

PlaylistFetch::PlaylistFetch(QObject *parent) : QObject(parent), m_cancelled(std::make_shared<std::atomic_bool>(false))
{
    m_stall.setSingleShot(true);
    m_stall.setInterval(kStallTimeoutMs);
    connect(&m_stall, &QTimer::timeout, this,
            [this] { fail(QStringLiteral("The server sent nothing for %1 seconds.").arg(m_stall.interval() / 1000)); });
    m_pace.setInterval(1000);
    connect(&m_pace, &QTimer::timeout, this, &PlaylistFetch::checkPace);
    connect(&m_work, &QFutureWatcher<Result>::finished, this, [this] {
        m_spool.reset();
        Result r = m_work.result();
        // A cancel that came once the list was stored is too late: the result says what happened.
        r.cancelled = !r.ok && (r.cancelled || m_cancelled->load());
        finish(r);
    });
}

PlaylistFetch::~PlaylistFetch()
{
    m_cancelled->store(true);
}

void PlaylistFetch::start(const Job &job)
{
    Q_ASSERT(!m_running);
    m_job = job;
    m_running = true;
    m_cancelled = std::make_shared<std::atomic_bool>(false);
    m_received = 0;
    m_stallError.clear();
    if (IsWebAddress(job.source)) {
        download();
        return;
    }
    // A file is read on the worker too: it may be large, or on a slow disk.
    const Job copy = job;
    const auto cancelled = m_cancelled;
    m_work.setFuture(QtConcurrent::run([copy, cancelled] {
        return readAndStore(copy.source, QUrl::fromLocalFile(QFileInfo(copy.source).absoluteFilePath()).toString(),
                            copy, cancelled);
    }));
}

void PlaylistFetch::setDeadline(int ms, qint64 minimumRate, int graceMs)
{
    m_deadlineMs = ms;
    m_minimumRate = minimumRate;
    m_rateGraceMs = graceMs;
}

void PlaylistFetch::download()
{
    const QString folder = m_job.spoolFolder.isEmpty() ? QDir::tempPath() : m_job.spoolFolder;
    QDir().mkpath(folder);
    m_spool = std::make_shared<QTemporaryFile>(folder + QStringLiteral("/playlist-XXXXXX.part"));
    if (!m_spool->open()) {
        Result r;
        r.error = QStringLiteral("The playlist cannot be downloaded: %1 cannot be written (%2).")
                      .arg(QDir::toNativeSeparators(folder), m_spool->errorString());
        m_spool.reset();
        QMetaObject::invokeMethod(
            this, [this, r] { finish(r); }, Qt::QueuedConnection);
        return;
    }
    m_url = QUrl(m_job.source);
    // The sink bounds the body, as unpacked; the reader itself does not.
    m_reader = new HttpReader({m_url, AppUserAgent(), {}, {}, m_extraCertificates, true, kMaxRedirects},
                              std::numeric_limits<qsizetype>::max(), this);
    // The body goes to the spool file as it comes: never held in memory.
    m_reader->setSink([this](QByteArrayView data) {
        m_received += data.size();
        if (m_received > kMaxPlaylistSize) {
            m_stallError = tooLarge();
            return false;
        }
        if (m_spool->write(data.data(), data.size()) != data.size()) {
            m_stallError = QStringLiteral("%1 cannot be written: %2").arg(m_spool->fileName(), m_spool->errorString());
            return false;
        }
        return true;
    });
    connect(m_reader, &HttpReader::headersRead, this, &PlaylistFetch::onHeaders);
    connect(m_reader, &HttpReader::bodyRead, this, [this] {
        m_stall.start();
        const HttpReader::Reply &r = m_reader->reply();
        emit progress(r.received, r.length > 0 ? r.length : -1);
    });
    connect(m_reader, &HttpReader::finished, this, &PlaylistFetch::downloadEnded);
    m_reader->start();
    m_stall.start();
    m_clock.start();
    m_pace.start();
}

void PlaylistFetch::onHeaders()
{
    m_stall.start();
    const HttpReader::Reply &r = m_reader->reply();
    m_url = m_reader->url();
    if (r.status >= 400)
        fail(QStringLiteral("the server answered %1 %2").arg(r.status).arg(r.reason).trimmed());
}

void PlaylistFetch::fail(const QString &why)
{
    if (!m_reader)
        return;
    m_stallError = why;
    m_reader->stop();
    // Reported from the event loop: a caller may be going through its fetches.
    QMetaObject::invokeMethod(
        this, [this] { downloadEnded({}); }, Qt::QueuedConnection);
}

void PlaylistFetch::checkPace()
{
    const qint64 ms = m_clock.elapsed();
    if (ms > m_deadlineMs) {
        fail(QStringLiteral("The download took longer than %1 minutes.").arg(m_deadlineMs / 60000.0));
    } else if (ms > m_rateGraceMs && m_received * 1000 / ms < m_minimumRate) {
        fail(QStringLiteral("The server sends too slowly (%1 bytes a second).").arg(m_received * 1000 / ms));
    }
}

void PlaylistFetch::downloadEnded(const QString &error)
{
    if (!m_reader)
        return; // reported already
    m_stall.stop();
    m_pace.stop();
    HttpReader *reader = std::exchange(m_reader, nullptr);
    reader->stop();
    reader->deleteLater();
    if (m_cancelled->load()) {
        m_spool.reset();
        Result r;
        r.cancelled = true;
        finish(r);
        return;
    }
    if (!m_stallError.isEmpty() || !error.isEmpty() || !m_spool->flush()) {
        const QString why = outside::Clean(!m_stallError.isEmpty() ? m_stallError
                                           : !error.isEmpty()      ? error
                                                                   : m_spool->errorString(),
                                           outside::kReason);
        m_spool.reset();
        Result r;
        r.error = QStringLiteral("The playlist could not be fetched from %1: %2").arg(m_job.source, why);
        finish(r);
        return;
    }
    const QString path = m_spool->fileName();
    const QString origin = m_url.toString();
    const Job job = m_job;
    const auto cancelled = m_cancelled;
    m_work.setFuture(
        QtConcurrent::run([path, origin, job, cancelled] { return readAndStore(path, origin, job, cancelled); }));
}

void PlaylistFetch::cancel()
{
    if (!m_running)
        return;
    m_cancelled->store(true);
    if (m_reader) {
        m_reader->stop();
        QMetaObject::invokeMethod(
            this, [this] { downloadEnded({}); }, Qt::QueuedConnection);
    }
}

void PlaylistFetch::finish(const Result &result)
{
    m_running = false;
    emit finished(result);
}
