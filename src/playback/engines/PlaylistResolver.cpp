#include "PlaylistResolver.h"

#include "base/NetworkScope.h"
#include "online/HttpReader.h"
#include "playback/PlaylistParser.h"
#include "playback/StreamError.h"

#include <QFile>
#include <QTimer>

PlaylistResolver::PlaylistResolver(QObject *parent) : QObject(parent)
{
}

PlaylistResolver::~PlaylistResolver() = default;

namespace {

StreamFailure downloadFailure(const QString &error)
{
    StreamFailure f;
    f.detail = QStringLiteral("The playlist could not be downloaded: %1").arg(error);
    if (error == u"refused")
        f.fault = StreamFailure::Refused;
    else if (error == u"name not found")
        f.fault = StreamFailure::UnknownHost;
    else if (error == u"timed out")
        f.fault = StreamFailure::TimedOut;
    return f;
}

} // namespace

void PlaylistResolver::cancel()
{
    ++m_serial;
    if (m_reader) {
        m_reader->stop();
        m_reader.release()->deleteLater(); // it may be the one reporting now
    }
    m_seen.clear();
    m_redirects = 0;
}

void PlaylistResolver::resolve(const QString &address, bool fromWeb)
{
    cancel();
    m_fromWeb = fromWeb;
    whenAllowed(address, [this, address] { fetch(StreamUrl(address), address); });
}

void PlaylistResolver::fail(const QString &why)
{
    ++m_serial;
    emit failed(why);
}

void PlaylistResolver::whenAllowed(const QString &address, const std::function<void()> &go)
{
    const int serial = m_serial;
    const auto decide = [this, serial, address, go](const QString &why) {
        // Answered from the event loop, as a download would be.
        QTimer::singleShot(0, this, [this, serial, address, go, why] {
            if (serial != m_serial)
                return;
            if (why.isEmpty())
                go();
            else
                fail(QStringLiteral("The playlist leads to %1, which is not opened: %2.").arg(address, why));
        });
    };
    if (m_fromWeb)
        netscope::WhenJudged(StreamUrl(address), this, decide);
    else
        decide({});
}

void PlaylistResolver::fetch(const QUrl &url, const QString &address)
{
    const int serial = m_serial;
    m_seen.insert(address);
    if (url.isLocalFile()) {
        QFile f(url.toLocalFile());
        QByteArray content;
        const bool ok = f.open(QIODevice::ReadOnly) && f.size() <= kMaxSize;
        if (ok)
            content = f.read(kMaxSize);
        QTimer::singleShot(0, this, [this, serial, address, url, content, ok] {
            if (serial != m_serial)
                return;
            if (!ok)
                fail(QStringLiteral("The playlist could not be read."));
            else
                parsed(address, content, url);
        });
        return;
    }
    if (url.scheme() != u"http" && url.scheme() != u"https") {
        QTimer::singleShot(0, this, [this, serial] {
            if (serial == m_serial)
                fail(QStringLiteral("The playlist's address is not supported."));
        });
        return;
    }
    download(url, address);
}

void PlaylistResolver::download(const QUrl &url, const QString &address)
{
    if (m_reader)
        m_reader.release()->deleteLater();
    HttpReader::Request request;
    request.url = url;
    request.userAgent = QStringLiteral("Zentavo");
    m_reader = std::make_unique<HttpReader>(request, kMaxSize + 1);
    const int serial = m_serial;
    auto *timer = new QTimer(m_reader.get());
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [this, serial, address] {
        if (serial == m_serial)
            downloaded(address, QStringLiteral("timed out"));
    });
    // The stall timeout: the transfer gets longer while it makes progress.
    connect(m_reader.get(), &HttpReader::bodyRead, timer, qOverload<>(&QTimer::start));
    connect(m_reader.get(), &HttpReader::finished, this, [this, serial, address](const QString &error) {
        if (serial == m_serial)
            downloaded(address, error);
    });
    timer->start(kTimeoutMs);
    m_reader->start();
}

void PlaylistResolver::downloaded(const QString &address, const QString &error)
{
    const HttpReader::Reply reply = m_reader->reply();
    const QUrl from = m_reader->url();
    m_reader->stop();
    m_reader.release()->deleteLater();
    if (!error.isEmpty()) {
        fail(downloadFailure(error).describe());
        return;
    }
    if (reply.status >= 300 && reply.status < 400 && !reply.location.isEmpty()) {
        const QUrl target = HttpReader::RedirectTarget(from, reply.location);
        if (target.isEmpty() || ++m_redirects > kMaxRedirects) {
            fail(QStringLiteral("The playlist could not be downloaded: too many or unsafe redirects."));
            return;
        }
        const QString hop = target.toString();
        whenAllowed(hop, [this, target, address] { fetch(target, address); });
        return;
    }
    if (reply.status >= 400) {
        StreamFailure f;
        f.fault = StreamFailure::HttpStatus;
        f.httpStatus = reply.status;
        f.detail = reply.reason;
        fail(f.describe());
        return;
    }
    if (reply.body.size() > kMaxSize) {
        fail(QStringLiteral("The playlist is too large."));
        return;
    }
    parsed(address, reply.body, from); // relative entries are of where it came from
}

void PlaylistResolver::parsed(const QString &address, const QByteArray &content, const QUrl &base)
{
    const QStringList entries = ParsePlaylist(content, PlaylistKindFor(address), base);
    if (entries.isEmpty()) {
        StreamFailure empty;
        empty.fault = StreamFailure::EmptyPlaylist;
        fail(empty.describe());
        return;
    }
    const QString first = entries.first();
    if (m_seen.contains(first)) {
        fail(QStringLiteral("The playlist points at itself."));
        return;
    }
    if (PlaylistKindFor(first) != PlaylistKind::None) {
        if (m_seen.size() >= kMaxDepth) {
            fail(QStringLiteral("The playlist leads to no stream."));
            return;
        }
        whenAllowed(first, [this, first] { fetch(StreamUrl(first), first); });
        return;
    }
    // The stream itself is judged like every hop before it.
    whenAllowed(first, [this, first] { emit resolved(first); });
}
