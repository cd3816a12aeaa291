#include "PlaylistFetch.h"

#include "PlaylistList.h"
#include "PlaylistReader.h"
#include "base/AppInfo.h"
#include "base/Errors.h"
#include "catalogue/ListCipher.h"

#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QUrl>
#include <QtConcurrent/QtConcurrentRun>

namespace {

PlaylistFetch::Result readAndStore(const QByteArray &bytes, const QString &origin, const PlaylistFetch::Job &job,
                                   const std::shared_ptr<std::atomic_bool> &cancelled)
{
    PlaylistFetch::Result r;
    try {
        const Playlist playlist = ReadPlaylist(bytes, origin);
        const PlaylistList list = ChannelListOf(playlist, 1, job.defaultGroup);
        if (cancelled->load()) {
            r.cancelled = true;
            return r;
        }
        WriteListFile(job.listFile, list.xml);
        r.ok = true;
        r.groups = list.groups;
        r.channels = list.channels;
    } catch (const ZError &e) {
        r.error = e.message();
    } catch (const std::bad_alloc &) {
        r.error = QStringLiteral("The playlist is too large to be read.");
    }
    return r;
}

} // namespace

PlaylistFetch::PlaylistFetch(QNetworkAccessManager *network, QObject *parent)
    : QObject(parent), m_network(network), m_cancelled(std::make_shared<std::atomic_bool>(false))
{
    m_stall.setSingleShot(true);
    m_stall.setInterval(kStallTimeoutMs);
    connect(&m_stall, &QTimer::timeout, this, [this] {
        if (!m_reply)
            return;
        m_stallError = QStringLiteral("The server sent nothing for %1 seconds.").arg(m_stall.interval() / 1000);
        m_reply->abort();
    });
    connect(&m_work, &QFutureWatcher<Result>::finished, this, [this] {
        Result r = m_work.result();
        // A cancel that came once the list was stored is too late: the result says what happened.
        r.cancelled = !r.ok && (r.cancelled || m_cancelled->load());
        finish(r);
    });
}

PlaylistFetch::~PlaylistFetch()
{
    m_cancelled->store(true);
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
}

void PlaylistFetch::start(const Job &job)
{
    Q_ASSERT(!m_running);
    m_job = job;
    m_running = true;
    m_cancelled = std::make_shared<std::atomic_bool>(false);
    m_received.clear();
    m_stallError.clear();
    if (IsWebAddress(job.source)) {
        download();
        return;
    }
    // A file is read on the worker too: it may be large, or on a slow disk.
    const Job copy = job;
    const auto cancelled = m_cancelled;
    m_work.setFuture(QtConcurrent::run([copy, cancelled] {
        QFile file(copy.source);
        if (!file.open(QIODevice::ReadOnly)) {
            Result r;
            r.error = QStringLiteral("The playlist %1 cannot be read: %2").arg(copy.source, file.errorString());
            return r;
        }
        if (file.size() > kMaxPlaylistSize) {
            Result r;
            r.error = QStringLiteral("The playlist is larger than 512 MiB.");
            return r;
        }
        return readAndStore(file.readAll(), QUrl::fromLocalFile(QFileInfo(copy.source).absoluteFilePath()).toString(),
                            copy, cancelled);
    }));
}

void PlaylistFetch::download()
{
    if (!m_network) {
        Result r;
        r.error = QStringLiteral("The network is not available.");
        QMetaObject::invokeMethod(
            this, [this, r] { finish(r); }, Qt::QueuedConnection);
        return;
    }
    QNetworkRequest request{QUrl(m_job.source)};
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(10);
    request.setHeader(QNetworkRequest::UserAgentHeader, AppUserAgent());
    if (!m_extraCertificates.isEmpty()) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.addCaCertificates(m_extraCertificates);
        request.setSslConfiguration(tls);
    }
    m_reply = m_network->get(request);
    connect(m_reply, &QNetworkReply::readyRead, this, &PlaylistFetch::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &PlaylistFetch::onFinished);
    connect(m_reply, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64 total) {
        m_stall.start();
        emit progress(received, total > 0 ? total : -1);
    });
    m_stall.start();
}

void PlaylistFetch::onReadyRead()
{
    m_stall.start();
    m_received += m_reply->readAll();
    if (m_received.size() > kMaxPlaylistSize) {
        m_stallError = QStringLiteral("The playlist is larger than 512 MiB.");
        m_reply->abort();
    }
}

void PlaylistFetch::onFinished()
{
    m_stall.stop();
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    reply->deleteLater();
    if (m_cancelled->load()) {
        Result r;
        r.cancelled = true;
        finish(r);
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        Result r;
        const QString why = !m_stallError.isEmpty() ? m_stallError : reply->errorString();
        r.error = QStringLiteral("The playlist could not be fetched from %1: %2").arg(m_job.source, why);
        finish(r);
        return;
    }
    m_received += reply->readAll();
    const QByteArray bytes = std::exchange(m_received, {});
    const QString origin = reply->url().toString();
    const Job job = m_job;
    const auto cancelled = m_cancelled;
    m_work.setFuture(
        QtConcurrent::run([bytes, origin, job, cancelled] { return readAndStore(bytes, origin, job, cancelled); }));
}

void PlaylistFetch::cancel()
{
    if (!m_running)
        return;
    m_cancelled->store(true);
    if (m_reply)
        m_reply->abort(); // onFinished reports
}

void PlaylistFetch::finish(const Result &result)
{
    m_running = false;
    emit finished(result);
}
