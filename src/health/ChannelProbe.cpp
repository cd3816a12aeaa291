#include "ChannelProbe.h"

#include "base/AppInfo.h"
#include "base/NetworkScope.h"
#include "base/OutsideText.h"
#include "online/HttpReader.h"
#include "playback/PlaylistParser.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QTcpSocket>

#include <algorithm>

namespace {

constexpr qsizetype kSniffBytes = 1024;              // enough to tell a stream from a page
constexpr qsizetype kMaxPlaylistBytes = 1024 * 1024; // playlists are read whole, up to this
constexpr int kMaxDepth = 5;                         // playlists within playlists
constexpr qsizetype kMaxHeadBytes = 64 * 1024;       // a reply's headers, at most
constexpr qint64 kReadBuffer = 64 * 1024;            // what Qt may hold for us before we read it
constexpr int kMaxRedirects = 8;

bool isPlaylist(ContentKind kind)
{
    return kind == ContentKind::Pls || kind == ContentKind::M3u || kind == ContentKind::Ram ||
           kind == ContentKind::Smil || kind == ContentKind::HlsMaster || kind == ContentKind::HlsMedia;
}

} // namespace

ChannelProbe::ChannelProbe(const HealthTarget &target, int timeoutMs, QObject *parent)
    : QObject(parent), m_target(target)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(timeoutMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { conclude(Health::State::OffAir, QStringLiteral("timed out")); });
}

ChannelProbe::~ChannelProbe()
{
    dropConnections();
}

QString ChannelProbe::HostOf(const QString &address)
{
    const QUrl url(address.trimmed());
    return url.host().isEmpty() ? QString() : url.host().toLower();
}

void ChannelProbe::start()
{
    m_host = HostOf(m_target.address); // the checker counted it there
    m_clock.start();
    m_timer.start();
    open(QUrl(m_target.address.trimmed()));
}

void ChannelProbe::open(const QUrl &url)
{
    m_url = url;
    m_head.clear();
    if (m_target.fromWeb)
        whenPublic(url, [this, url] { throughHost(url); });
    else
        throughHost(url);
}

void ChannelProbe::throughHost(const QUrl &url)
{
    const QString host = HostOf(url.toString());
    if (host.isEmpty() || host == m_host) {
        connectTo(url);
        return;
    }
    m_waitingFor = url;
    emit hostWanted(host);
}

void ChannelProbe::hostGranted(const QString &host)
{
    m_host = host;
    if (m_done || m_waitingFor.isEmpty())
        return;
    connectTo(std::exchange(m_waitingFor, {}));
}

void ChannelProbe::whenPublic(const QUrl &url, const std::function<void()> &then)
{
    if (const QString why = netscope::WebListRefusal(url); !why.isEmpty()) {
        conclude(Health::State::Unknown, why);
        return;
    }
    if (netscope::IsPrivateHost(url.host()).has_value()) {
        then();
        return;
    }
    // A name: looked up first. One that is not found is left to the connection to report.
    netscope::WhenLookedUp(url.host(), this, [this, then](bool isPrivate) {
        if (m_done)
            return;
        if (isPrivate)
            conclude(Health::State::Unknown, QString::fromLatin1(netscope::kPrivateAddress));
        else
            then();
    });
}

void ChannelProbe::connectTo(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    if (scheme == u"http" || scheme == u"https" || scheme == u"icy")
        openHttp(url);
    else if (scheme == u"rtsp")
        openRtsp(url);
    else if (scheme == u"file" || (scheme.isEmpty() && !url.path().isEmpty()))
        QFileInfo::exists(url.isLocalFile() ? url.toLocalFile() : url.path())
            ? conclude(Health::State::OnAir, QStringLiteral("file"))
            : conclude(Health::State::OffAir, QStringLiteral("file not found"));
    else
        conclude(Health::State::Unknown,
                 (scheme.isEmpty() ? QStringLiteral("no address") : scheme + QStringLiteral(": not checked")));
}

void ChannelProbe::openHttp(const QUrl &given)
{
    QUrl url = given;
    if (url.scheme().compare(QLatin1StringView("icy"), Qt::CaseInsensitive) == 0)
        url.setScheme(QStringLiteral("http"));
    m_url = url;
    // Checked again where the request is made: a target may come from anywhere.
    const QString agent = outside::HeaderValue(m_target.userAgent);
    m_http = new HttpReader({url, agent.isEmpty() ? AppUserAgent() : agent, outside::HeaderValue(m_target.referrer),
                             outside::HeaderValue(m_target.cookie)},
                            kMaxPlaylistBytes + 1, this);
    connect(m_http, &HttpReader::headersRead, this, &ChannelProbe::httpHeaders);
    connect(m_http, &HttpReader::bodyRead, this, &ChannelProbe::httpData);
    connect(m_http, &HttpReader::finished, this, &ChannelProbe::httpDone);
    m_http->start();
}

void ChannelProbe::httpHeaders()
{
    const HttpReader::Reply &r = m_http->reply();
    if (r.status >= 400) {
        conclude(Health::State::OffAir, QStringLiteral("HTTP %1 %2").arg(r.status).arg(r.reason).trimmed());
        return;
    }
    if (r.status < 300 || r.status >= 400 || r.location.isEmpty())
        return;
    // A redirect: a hop like any other.
    const QUrl to = HttpReader::RedirectTarget(m_url, r.location);
    if (++m_redirects > kMaxRedirects || to.isEmpty()) {
        conclude(Health::State::OffAir, QStringLiteral("redirects lead nowhere"));
        return;
    }
    dropConnections();
    open(to);
}

void ChannelProbe::httpData()
{
    const HttpReader::Reply &r = m_http->reply();
    if (m_done || r.status >= 300 || r.body.size() < kSniffBytes)
        return; // a playlist may end here; a stream sends more
    const ContentKind kind = SniffContent(r.contentType, r.body, m_url);
    if (isPlaylist(kind)) {
        if (r.body.size() > kMaxPlaylistBytes)
            conclude(Health::State::OffAir, QStringLiteral("not a media stream (a text without end)"));
        return; // read whole once it ends
    }
    judge(r.contentType, r.body, m_url);
}

void ChannelProbe::httpDone(const QString &error)
{
    if (m_done)
        return;
    if (!error.isEmpty()) {
        conclude(Health::State::OffAir, error == QLatin1StringView(HttpReader::kEndlessHeaders)
                                            ? QStringLiteral("not a media stream (headers without end)")
                                            : error);
        return;
    }
    const HttpReader::Reply &r = m_http->reply();
    judge(r.contentType, r.body, m_url);
}

void ChannelProbe::judge(const QByteArray &contentType, const QByteArray &body, const QUrl &url)
{
    const ContentKind kind = SniffContent(contentType, body, url);
    switch (kind) {
    case ContentKind::Media:
        conclude(Health::State::OnAir, QStringLiteral("stream"));
        return;
    case ContentKind::Empty:
        conclude(Health::State::OffAir, QStringLiteral("empty reply"));
        return;
    case ContentKind::Html:
        conclude(Health::State::OffAir, QStringLiteral("not a media stream (a web page)"));
        return;
    case ContentKind::Text:
        conclude(Health::State::OffAir, QStringLiteral("not a media stream (text)"));
        return;
    case ContentKind::Unknown:
        conclude(Health::State::Unknown, QStringLiteral("could not tell what the server sends"));
        return;
    case ContentKind::HlsMaster:
    case ContentKind::HlsMedia:
        follow(HlsEntries(body, url));
        return;
    case ContentKind::Pls:
        follow(QUrl::fromStringList(ParsePlaylist(body, PlaylistKind::Pls, url)));
        return;
    case ContentKind::M3u:
        follow(QUrl::fromStringList(ParsePlaylist(body, PlaylistKind::M3u, url)));
        return;
    case ContentKind::Ram:
        follow(QUrl::fromStringList(ParsePlaylist(body, PlaylistKind::Ram, url)));
        return;
    case ContentKind::Smil:
        follow(QUrl::fromStringList(ParsePlaylist(body, PlaylistKind::Smil, url)));
        return;
    }
}

void ChannelProbe::follow(const QList<QUrl> &entries)
{
    dropConnections();
    if (entries.isEmpty()) {
        conclude(Health::State::OffAir, QStringLiteral("playlist empty"));
        return;
    }
    if (++m_depth > kMaxDepth) {
        conclude(Health::State::OffAir, QStringLiteral("playlists lead nowhere"));
        return;
    }
    m_viaPlaylist = true;
    open(entries.first());
}

void ChannelProbe::openRtsp(const QUrl &url)
{
    m_rtsp = new QTcpSocket(this);
    m_rtsp->setReadBufferSize(kReadBuffer);
    m_rtspHeadEnd = -1;
    m_rtspStep = 0;
    connect(m_rtsp, &QTcpSocket::connected, this, [this] {
        m_rtspStep = 1;
        m_rtsp->write("OPTIONS " + m_url.toEncoded() +
                      " RTSP/1.0\r\nCSeq: 1\r\nUser-Agent: " + AppUserAgent().toUtf8() + "\r\n\r\n");
    });
    connect(m_rtsp, &QTcpSocket::readyRead, this, &ChannelProbe::rtspData);
    connect(m_rtsp, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (error == QAbstractSocket::HostNotFoundError)
            conclude(Health::State::OffAir, QStringLiteral("name not found"));
        else if (error == QAbstractSocket::ConnectionRefusedError)
            conclude(Health::State::OffAir, QStringLiteral("refused"));
        else if (error == QAbstractSocket::RemoteHostClosedError)
            conclude(Health::State::OffAir, QStringLiteral("empty reply"));
        else
            conclude(Health::State::OffAir, m_rtsp->errorString());
    });
    m_rtsp->connectToHost(url.host(), quint16(url.port(554)));
}

void ChannelProbe::rtspData()
{
    // What is read is bounded, and only what came new is searched for the end of the headers.
    const qsizetype from = std::max<qsizetype>(0, m_head.size() - 3);
    m_head += m_rtsp->read(kMaxPlaylistBytes + 1 - m_head.size());
    if (m_head.size() > kMaxPlaylistBytes) {
        conclude(Health::State::OffAir, QStringLiteral("not an RTSP server (a reply without end)"));
        return;
    }
    const qsizetype end = m_head.indexOf("\r\n\r\n", m_rtspHeadEnd < 0 ? from : 0);
    if (end < 0) {
        if (m_head.size() > kMaxHeadBytes)
            conclude(Health::State::OffAir, QStringLiteral("not an RTSP server (headers without end)"));
        return;
    }
    m_rtspHeadEnd = end;
    static const QRegularExpression statusLine(QStringLiteral("^RTSP/1\\.\\d (\\d{3}) ?([^\\r\\n]*)"));
    const auto m = statusLine.match(QString::fromLatin1(m_head.left(end)));
    if (!m.hasMatch()) {
        conclude(Health::State::OffAir, QStringLiteral("not an RTSP server"));
        return;
    }
    const int code = m.captured(1).toInt();
    if (code == 401) {
        conclude(Health::State::Unknown, QStringLiteral("RTSP asks for a password"));
        return;
    }
    if (code != 200) {
        conclude(Health::State::OffAir, QStringLiteral("RTSP %1 %2").arg(code).arg(m.captured(2)).trimmed());
        return;
    }
    if (m_rtspStep == 1) {
        m_head.clear();
        m_rtspHeadEnd = -1;
        m_rtspStep = 2;
        m_rtsp->write("DESCRIBE " + m_url.toEncoded() + " RTSP/1.0\r\nCSeq: 2\r\nAccept: application/sdp\r\n\r\n");
        return;
    }
    static const QRegularExpression length(QStringLiteral("\\r\\nContent-Length:\\s*(\\d+)"),
                                           QRegularExpression::CaseInsensitiveOption);
    const auto l = length.match(QString::fromLatin1(m_head.left(end + 2)));
    const qsizetype want = l.hasMatch() ? l.captured(1).toLongLong() : 0;
    const QByteArray body = m_head.mid(end + 4);
    if (body.size() < want)
        return;
    if (body.contains("v=0") && body.contains("m="))
        conclude(Health::State::OnAir, QStringLiteral("RTSP stream"));
    else
        conclude(Health::State::OffAir, QStringLiteral("RTSP: no stream described"));
}

void ChannelProbe::dropConnections()
{
    // Deleted later: this may run from within one of its signals. Its connection closes now.
    if (m_http) {
        m_http->disconnect(this);
        m_http->stop();
        m_http->deleteLater();
        m_http.clear();
    }
    if (m_rtsp) {
        m_rtsp->disconnect(this);
        m_rtsp->abort();
        m_rtsp->deleteLater();
    }
}

void ChannelProbe::conclude(Health::State state, const QString &reason)
{
    if (m_done)
        return;
    m_done = true;
    m_timer.stop();
    dropConnections();
    Health h;
    h.state = state;
    // The reason may quote a server's reply phrase: a line of it.
    h.reason = outside::Clean(
        state == Health::State::OffAir && m_viaPlaylist ? QStringLiteral("playlist points nowhere: ") + reason : reason,
        outside::kReason);
    h.checked = QDateTime::currentDateTimeUtc();
    h.ms = int(m_clock.elapsed());
    emit finished(h);
}
