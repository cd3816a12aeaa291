#include "PlaylistResolver.h"

#include "playback/PlaylistParser.h"
#include "playback/StreamError.h"

#include <QFile>
#include <QNetworkReply>
#include <QTimer>

PlaylistResolver::PlaylistResolver(QObject *parent) : QObject(parent)
{
    m_net.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
}

namespace {

StreamFailure downloadFailure(const QNetworkReply &reply)
{
    StreamFailure f;
    f.detail = QStringLiteral("The playlist could not be downloaded: %1").arg(reply.errorString());
    if (const int status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(); status >= 400) {
        f.fault = StreamFailure::HttpStatus;
        f.httpStatus = status;
        f.detail = reply.attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        return f;
    }
    switch (reply.error()) {
    case QNetworkReply::ConnectionRefusedError:
        f.fault = StreamFailure::Refused;
        break;
    case QNetworkReply::HostNotFoundError:
        f.fault = StreamFailure::UnknownHost;
        break;
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError: // the transfer timeout cancels
        f.fault = StreamFailure::TimedOut;
        break;
    default:
        break;
    }
    return f;
}

} // namespace

void PlaylistResolver::cancel()
{
    ++m_serial;
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
    m_seen.clear();
}

void PlaylistResolver::resolve(const QString &address)
{
    cancel();
    fetch(address);
}

void PlaylistResolver::fetch(const QString &address)
{
    const int serial = m_serial;
    m_seen.insert(address);
    const QUrl url = StreamUrl(address);
    if (url.isLocalFile()) {
        QFile f(url.toLocalFile());
        QByteArray content;
        const bool ok = f.open(QIODevice::ReadOnly) && f.size() <= kMaxSize;
        if (ok)
            content = f.readAll();
        // Answer from the event loop, as a download would.
        QTimer::singleShot(0, this, [this, serial, address, content, ok] {
            if (serial != m_serial)
                return;
            if (!ok)
                emit failed(QStringLiteral("The playlist could not be read."));
            else
                parsed(address, content);
        });
        return;
    }
    if (url.scheme() != u"http" && url.scheme() != u"https") {
        QTimer::singleShot(0, this, [this, serial] {
            if (serial == m_serial)
                emit failed(QStringLiteral("The playlist's address is not supported."));
        });
        return;
    }
    QNetworkRequest request(url);
    request.setTransferTimeout(kTimeoutMs);
    request.setMaximumRedirectsAllowed(5);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Zentavo"));
    m_reply = m_net.get(request);
    connect(m_reply, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64) {
        if (received > kMaxSize && m_reply) {
            m_reply->setProperty("tooLarge", true);
            m_reply->abort();
        }
    });
    connect(m_reply, &QNetworkReply::finished, this, [this, serial, address, reply = m_reply] {
        reply->deleteLater();
        if (serial != m_serial)
            return;
        if (reply->property("tooLarge").toBool()) {
            emit failed(QStringLiteral("The playlist is too large."));
            return;
        }
        if (reply->error() != QNetworkReply::NoError) {
            emit failed(downloadFailure(*reply).describe());
            return;
        }
        parsed(address, reply->readAll());
    });
}

void PlaylistResolver::parsed(const QString &address, const QByteArray &content)
{
    const QStringList entries = ParsePlaylist(content, PlaylistKindFor(address), StreamUrl(address));
    if (entries.isEmpty()) {
        StreamFailure empty;
        empty.fault = StreamFailure::EmptyPlaylist;
        emit failed(empty.describe());
        return;
    }
    const QString first = entries.first();
    if (m_seen.contains(first)) {
        emit failed(QStringLiteral("The playlist points at itself."));
        return;
    }
    if (PlaylistKindFor(first) != PlaylistKind::None) {
        if (m_seen.size() >= kMaxDepth) {
            emit failed(QStringLiteral("The playlist leads to no stream."));
            return;
        }
        fetch(first);
        return;
    }
    emit resolved(first);
}
