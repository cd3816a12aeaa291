#include "ChannelProbe.h"

#include "base/AppInfo.h"
#include "base/NetworkScope.h"
#include "base/OutsideText.h"
#include "playback/PlaylistParser.h"

#include <QFileInfo>
#include <QHostInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTcpSocket>

#include <algorithm>

namespace {

constexpr qsizetype kSniffBytes = 1024;              // enough to tell a stream from a page
constexpr qsizetype kMaxPlaylistBytes = 1024 * 1024; // playlists are read whole, up to this
constexpr int kMaxDepth = 5;                         // playlists within playlists
constexpr qsizetype kMaxHeadBytes = 64 * 1024;       // a reply's headers, at most
constexpr qint64 kReadBuffer = 64 * 1024;            // what Qt may hold for us before we read it

bool isPlaylist(ContentKind kind)
{
    return kind == ContentKind::Pls || kind == ContentKind::M3u || kind == ContentKind::Ram ||
           kind == ContentKind::Smil || kind == ContentKind::HlsMaster || kind == ContentKind::HlsMedia;
}

QString networkReason(QNetworkReply::NetworkError error, const QString &text)
{
    switch (error) {
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("name not found");
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("refused");
    case QNetworkReply::RemoteHostClosedError:
        return QStringLiteral("empty reply");
    case QNetworkReply::SslHandshakeFailedError:
        return QStringLiteral("TLS failure: ") + text;
    case QNetworkReply::UnknownNetworkError:
        if (text.contains(QLatin1StringView("SSL"), Qt::CaseInsensitive) ||
            text.contains(QLatin1StringView("TLS"), Qt::CaseInsensitive) ||
            text.contains(QLatin1StringView("certificate"), Qt::CaseInsensitive))
            return QStringLiteral("TLS failure: ") + text;
        break;
    case QNetworkReply::TooManyRedirectsError:
    case QNetworkReply::InsecureRedirectError:
        return QStringLiteral("redirects lead nowhere");
    default:
        break;
    }
    return text;
}

} // namespace

ChannelProbe::ChannelProbe(QNetworkAccessManager &network, const HealthTarget &target, int timeoutMs, QObject *parent)
    : QObject(parent), m_network(network), m_target(target)
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
    m_clock.start();
    m_timer.start();
    open(QUrl(m_target.address.trimmed()));
}

void ChannelProbe::open(const QUrl &url)
{
    m_url = url;
    m_head.clear();
    if (m_target.fromWeb)
        whenPublic(url, [this, url] { connectTo(url); });
    else
        connectTo(url);
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
    QHostInfo::lookupHost(url.host(), this, [this, then](const QHostInfo &info) {
        if (m_done)
            return;
        const QList<QHostAddress> addresses = info.addresses();
        if (std::any_of(addresses.cbegin(), addresses.cend(), netscope::IsPrivate))
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
    QNetworkRequest request(url);
    // A redirect is a hop like any other: for a list from the internet it is looked at first.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, m_target.fromWeb
                                                                       ? QNetworkRequest::UserVerifiedRedirectPolicy
                                                                       : QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(8);
    // Checked again where the request is made: a target may come from anywhere.
    const QString agent = outside::HeaderValue(m_target.userAgent);
    request.setHeader(QNetworkRequest::UserAgentHeader, agent.isEmpty() ? AppUserAgent() : agent);
    if (const QString referrer = outside::HeaderValue(m_target.referrer); !referrer.isEmpty())
        request.setRawHeader("Referer", referrer.toUtf8());
    if (const QString cookie = outside::HeaderValue(m_target.cookie); !cookie.isEmpty())
        request.setRawHeader("Cookie", cookie.toUtf8());
    m_reply = m_network.get(request);
    // An endless body waits in the socket, not in memory, until it is read.
    m_reply->setReadBufferSize(kReadBuffer);
    connect(m_reply, &QNetworkReply::readyRead, this, &ChannelProbe::httpData);
    if (m_target.fromWeb) {
        connect(m_reply, &QNetworkReply::redirected, this, [this, from = url](const QUrl &to) {
            if (from.scheme() == u"https" && to.scheme() != u"https") {
                conclude(Health::State::OffAir, QStringLiteral("redirects lead nowhere"));
                return;
            }
            QPointer<QNetworkReply> reply = m_reply;
            whenPublic(to, [reply] {
                if (reply)
                    emit reply->redirectAllowed();
            });
        });
    }
    connect(m_reply, &QNetworkReply::finished, this, &ChannelProbe::httpDone);
}

void ChannelProbe::httpData()
{
    QNetworkReply *reply = m_reply;
    if (!reply || m_done)
        return;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status >= 400) {
        httpDone(); // the status says it
        return;
    }
    m_head += reply->read(kMaxPlaylistBytes + 1 - m_head.size());
    if (m_head.size() < kSniffBytes)
        return; // a playlist may end here; a stream sends more
    const QUrl url = reply->url();
    const ContentKind kind = SniffContent(reply->header(QNetworkRequest::ContentTypeHeader).toByteArray(), m_head, url);
    if (isPlaylist(kind)) {
        if (m_head.size() > kMaxPlaylistBytes)
            conclude(Health::State::OffAir, QStringLiteral("not a media stream (a text without end)"));
        return; // read whole once it ends
    }
    judge(reply->header(QNetworkRequest::ContentTypeHeader).toByteArray(), m_head, url);
}

void ChannelProbe::httpDone()
{
    QNetworkReply *reply = m_reply;
    if (!reply || m_done)
        return;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status >= 400) {
        const QString phrase = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        conclude(Health::State::OffAir, QStringLiteral("HTTP %1 %2").arg(status).arg(phrase).trimmed());
        return;
    }
    if (reply->error() != QNetworkReply::NoError &&
        !(reply->error() == QNetworkReply::RemoteHostClosedError && !m_head.isEmpty())) {
        conclude(Health::State::OffAir, networkReason(reply->error(), reply->errorString()));
        return;
    }
    m_head += reply->readAll();
    judge(reply->header(QNetworkRequest::ContentTypeHeader).toByteArray(), m_head, reply->url());
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
    if (m_reply) {
        m_reply->disconnect(this);
        if (m_reply->isRunning())
            m_reply->abort();
        m_reply->deleteLater();
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
