#include "MediaFixtures.h"
#include "TestDirs.h"
#include "TestHttpServer.h"
#include "base/NetworkScope.h"
#include "health/HealthChecker.h"
#include "health/HealthStore.h"
#include "health/StreamSniff.h"

#include <QElapsedTimer>
#include <QHostInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace {

QByteArray transportStream()
{
    QByteArray ts(188 * 4, '\xff');
    for (int i = 0; i < 4; ++i)
        ts[i * 188] = 0x47;
    return ts;
}

// Runs a check to its end; the results by index.
QList<Health> checkAll(HealthChecker &checker, const QList<HealthTarget> &targets)
{
    QList<Health> results(targets.size());
    QObject::connect(&checker, &HealthChecker::checked, &checker,
                     [&results](int index, const Health &h) { results[index] = h; });
    QSignalSpy finished(&checker, &HealthChecker::finished);
    checker.check(targets);
    if (finished.isEmpty() && !finished.wait(60000))
        qWarning("the check did not end");
    QObject::disconnect(&checker, &HealthChecker::checked, &checker, nullptr);
    return results;
}

} // namespace

class tst_Health : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void sniffsWhatComes_data();
    void sniffsWhatComes();
    void everyVerdictAndReason_data();
    void everyVerdictAndReason();
    void sendsTheChannelsHeaders();
    void keepsToItsShareOfEachHost();
    void aHostsShareCountsAcrossRedirects();
    void aBadChannelHoldsUpNothing();
    void whatIsPrivate_data();
    void whatIsPrivate();
    void listsFromTheWebStayOutOfThisNetwork();
    void cancelStopsAndLateResultsAreDropped();
    void resultsAreTrustedForADay();

private:
    std::unique_ptr<TestHttpServer> m_http;
    QProcess m_rtsp;
    QString m_rtspUrl;
    quint16 m_refusedPort = 0;
    QTcpServer m_plain; // answers a TLS handshake with plain HTTP
};

void tst_Health::initTestCase()
{
    m_http = std::make_unique<TestHttpServer>();
    Media::AudioOnly();
    m_http->serveDirectory(Media::Folder());
    const auto url = [this](const char *path) {
        return m_http->url(QLatin1StringView(path)).toUtf8();
    };
    const QByteArray m3u8 = "Content-Type: application/vnd.apple.mpegurl\r\n";
    m_http->script(QStringLiteral("/master.m3u8"),
                   HttpReply(200, "OK",
                             "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=800000\nlow/index.m3u8\n"
                             "#EXT-X-STREAM-INF:BANDWIDTH=1600000\nhigh/index.m3u8\n",
                             m3u8));
    m_http->script(
        QStringLiteral("/low/index.m3u8"),
        HttpReply(200, "OK", "#EXTM3U\n#EXT-X-TARGETDURATION:6\n#EXT-X-MEDIA-SEQUENCE:7\n#EXTINF:6,\nseg7.ts\n", m3u8));
    m_http->script(QStringLiteral("/low/seg7.ts"),
                   HttpReply(200, "OK", transportStream(), "Content-Type: video/mp2t\r\n"));
    m_http->script(QStringLiteral("/stale.m3u8"),
                   HttpReply(200, "OK", "#EXTM3U\n#EXT-X-TARGETDURATION:6\n#EXTINF:6,\nold.ts\n", m3u8));
    m_http->script(QStringLiteral("/live.pls"), HttpReply(200, "OK", "[playlist]\nFile1=" + url("/tone.mp3") + "\n"));
    m_http->script(QStringLiteral("/dead.pls"), HttpReply(200, "OK", "[playlist]\nFile1=" + url("/gone.mp3") + "\n"));
    m_http->script(QStringLiteral("/empty.pls"), HttpReply(200, "OK", "[playlist]\nNumberOfEntries=0\n"));
    m_http->script(QStringLiteral("/station.m3u"),
                   HttpReply(200, "OK", "#EXTM3U\n#EXTINF:-1,Station\n" + url("/moved") + "\n",
                             "Content-Type: audio/x-mpegurl\r\n"));
    m_http->script(QStringLiteral("/moved"), HttpReply(302, "Found", {}, "Location: " + url("/tone.mp3") + "\r\n"));
    m_http->script(QStringLiteral("/forbidden"), HttpReply(403, "Forbidden", "no"));
    m_http->script(QStringLiteral("/page"),
                   HttpReply(200, "OK", "<!DOCTYPE html><html><body>Our radio moved</body></html>",
                             "Content-Type: text/html; charset=utf-8\r\n"));
    m_http->script(QStringLiteral("/empty"), QByteArray("HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n"));
    m_http->script(QStringLiteral("/text"), HttpReply(200, "OK", "station closed", "Content-Type: text/plain\r\n"));
    TestHttpServer::Reply silent;
    silent.silent = true;
    m_http->script(QStringLiteral("/silent"), silent);
    // An endless radio stream: only its first bytes are read.
    TestHttpServer::Reply endless;
    QFile mp3(Media::AudioOnly());
    QVERIFY(mp3.open(QIODevice::ReadOnly));
    endless.raw = "HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n" + mp3.read(4000);
    endless.pieces = QList<QByteArray>(60, mp3.read(4000));
    endless.pieceDelayMs = 500;
    m_http->script(QStringLiteral("/endless"), endless);
    // Hostile servers: a reason phrase of 5,000 characters; RTSP headers that never end.
    m_http->script(QStringLiteral("/long-reason"), "HTTP/1.1 404 " + QByteArray(5000, 'x') + "\r\n\r\n");
    m_http->script(QStringLiteral("/endless-headers"), EndlessHeaders());
    m_http->script(QStringLiteral("/icy"), "ICY 200 OK\r\nicy-name: Old Server\r\nContent-Type: audio/mpeg\r\n\r\n" +
                                               QByteArray("\xff\xfb\x90\x64", 4) + QByteArray(4000, '\x55'));
    m_http->script(
        m_http->url(QStringLiteral("/endless-headers")).replace(QStringLiteral("http:"), QStringLiteral("rtsp:")),
        EndlessHeaders("RTSP/1.0 200 OK\r\nCSeq: 1"));

    QVERIFY(m_plain.listen(QHostAddress::LocalHost));
    connect(&m_plain, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *s = m_plain.nextPendingConnection()) {
            s->write("HTTP/1.0 400 Bad Request\r\nContent-Length: 0\r\n\r\n");
            s->disconnectFromHost();
            connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        }
    });

    QTcpServer refused;
    QVERIFY(refused.listen(QHostAddress::LocalHost));
    m_refusedPort = refused.serverPort();
    refused.close();

    m_rtsp.start(QStringLiteral(ZENTAVO_TEST_RTSP), {});
    QVERIFY(m_rtsp.waitForReadyRead(10000));
    m_rtspUrl = QStringLiteral("rtsp://127.0.0.1:%1/test").arg(QString::fromLatin1(m_rtsp.readLine().trimmed().mid(5)));
}

void tst_Health::cleanupTestCase()
{
    m_rtsp.kill();
    m_rtsp.waitForFinished(3000);
}

void tst_Health::sniffsWhatComes_data()
{
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("kind");
    const QString any = QStringLiteral("http://h/stream");
    QTest::newRow("mp3 frames, no type") << QByteArray() << QByteArray("\xff\xfb\x90\x64", 4) << any
                                         << int(ContentKind::Media);
    QTest::newRow("aac by type") << QByteArray("audio/aacp") << QByteArray("\x01\x02\x03\x04", 4) << any
                                 << int(ContentKind::Media);
    QTest::newRow("transport stream") << QByteArray("application/octet-stream") << transportStream() << any
                                      << int(ContentKind::Media);
    QTest::newRow("text starting with G is no stream")
        << QByteArray("text/plain") << QByteArray("Gone fishing") << any << int(ContentKind::Text);
    QTest::newRow("hls master") << QByteArray() << QByteArray("#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=1\na.m3u8\n") << any
                                << int(ContentKind::HlsMaster);
    QTest::newRow("plain m3u with BOM") << QByteArray("text/plain") << QByteArray("\xef\xbb\xbf#EXTM3U\nhttp://a/\n")
                                        << any << int(ContentKind::M3u);
    QTest::newRow("pls in any case") << QByteArray() << QByteArray("[Playlist]\nFile1=x\n") << any
                                     << int(ContentKind::Pls);
    QTest::newRow("bare lines named .m3u") << QByteArray("text/plain") << QByteArray("http://a/one\n")
                                           << QStringLiteral("http://h/list.m3u?x=1") << int(ContentKind::M3u);
    QTest::newRow("html without type") << QByteArray() << QByteArray("  <html><head>") << any << int(ContentKind::Html);
    QTest::newRow("nothing") << QByteArray("audio/mpeg") << QByteArray() << any << int(ContentKind::Empty);
}

void tst_Health::sniffsWhatComes()
{
    QFETCH(QByteArray, type);
    QFETCH(QByteArray, head);
    QFETCH(QString, address);
    QFETCH(int, kind);
    QCOMPARE(int(SniffContent(type, head, QUrl(address))), kind);
}

void tst_Health::everyVerdictAndReason_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("reason");
    const auto on = int(Health::State::OnAir), off = int(Health::State::OffAir), unknown = int(Health::State::Unknown);
    const auto url = [this](const char *path) {
        return m_http->url(QLatin1StringView(path));
    };
    QTest::newRow("media") << url("/tone.mp3") << on << "stream";
    QTest::newRow("endless stream") << url("/endless") << on << "stream";
    QTest::newRow("HLS master to variant to segment") << url("/master.m3u8") << on << "stream";
    QTest::newRow("HLS segment gone") << url("/stale.m3u8") << off << "playlist points nowhere: HTTP 404 Not Found";
    QTest::newRow("pls to a stream") << url("/live.pls") << on << "stream";
    QTest::newRow("pls to nothing") << url("/dead.pls") << off << "playlist points nowhere: HTTP 404 Not Found";
    QTest::newRow("pls without entries") << url("/empty.pls") << off << "playlist empty";
    QTest::newRow("m3u to a redirect to a stream") << url("/station.m3u") << on << "stream";
    QTest::newRow("404") << url("/gone.mp3") << off << "HTTP 404 Not Found";
    QTest::newRow("403") << url("/forbidden") << off << "HTTP 403 Forbidden";
    QTest::newRow("web page") << url("/page") << off << "not a media stream (a web page)";
    QTest::newRow("text") << url("/text") << off << "not a media stream (text)";
    QTest::newRow("empty reply") << url("/empty") << off << "empty reply";
    QTest::newRow("no answer") << url("/silent") << off << "timed out";
    QTest::newRow("refused") << QStringLiteral("http://127.0.0.1:%1/").arg(m_refusedPort) << off << "refused";
    QTest::newRow("TLS failure") << QStringLiteral("https://127.0.0.1:%1/").arg(m_plain.serverPort()) << off
                                 << "TLS failure";
    QTest::newRow("rtsp") << m_rtspUrl << on << "RTSP stream";
    QTest::newRow("headers without end") << url("/endless-headers") << off
                                         << "not a media stream (headers without end)";
    QTest::newRow("ICY 200 OK") << url("/icy") << on << "stream";
    QTest::newRow("reason phrase capped")
        << url("/long-reason") << off << QStringLiteral("HTTP 404 ") + QString(291, u'x');
    QTest::newRow("rtsp headers without end")
        << url("/endless-headers").replace(QStringLiteral("http:"), QStringLiteral("rtsp:")) << off
        << "not an RTSP server (headers without end)";
    QTest::newRow("rtsp refused") << QStringLiteral("rtsp://127.0.0.1:%1/test").arg(m_refusedPort) << off << "refused";
    QTest::newRow("mms") << QStringLiteral("mms://example.com/live") << unknown << "mms: not checked";
    QTest::newRow("pnm") << QStringLiteral("pnm://example.com/live.ra") << unknown << "pnm: not checked";
    QTest::newRow("no address") << QString() << unknown << "no address";
}

void tst_Health::everyVerdictAndReason()
{
    QFETCH(QString, address);
    QFETCH(int, state);
    QFETCH(QString, reason);
    HealthChecker checker;
    checker.setTimeout(1500);
    const Health h = checkAll(checker, {{QStringLiteral("channel"), address, {}, {}, {}}}).value(0);
    if (reason == u"TLS failure") // and what the TLS library says
        QVERIFY2(h.reason.startsWith(QStringLiteral("TLS failure: ")), qPrintable(h.reason));
    else
        QCOMPARE(h.reason, reason);
    QCOMPARE(int(h.state), state);
    QVERIFY(h.checked.isValid());
    QVERIFY(h.ms <= 3000);
}

void tst_Health::sendsTheChannelsHeaders()
{
    HealthChecker checker;
    const Health h = checkAll(checker, {{QStringLiteral("c"), m_http->url(QStringLiteral("/tone.mp3?headers")),
                                         QStringLiteral("Box/2.0"), QStringLiteral("http://portal.example/"),
                                         QStringLiteral("k=v")}})
                         .value(0);
    QCOMPARE(h.state, Health::State::OnAir);
    const QByteArray head = m_http->requestWith("?headers");
    QVERIFY2(head.contains("User-Agent: Box/2.0\r\n") && head.contains("Referer: http://portal.example/\r\n") &&
                 head.contains("Cookie: k=v\r\n"),
             head.constData());
    // A value with a line break would be a header (or a request) of its own: it is not sent.
    checkAll(checker, {{QStringLiteral("c"), m_http->url(QStringLiteral("/tone.mp3?smuggle")),
                        QStringLiteral("Box\r\nX-Agent: 1"), QStringLiteral("http://a/\nX-Referer: 1"),
                        QStringLiteral("k=v\r\n\r\nGET /smuggled HTTP/1.1")}});
    const QByteArray smuggle = m_http->requestWith("?smuggle");
    QVERIFY2(!smuggle.isEmpty() && !smuggle.contains("X-Agent") && !smuggle.contains("X-Referer") &&
                 !smuggle.contains("Cookie"),
             smuggle.constData());
    QCOMPARE(m_http->requestsFor("/smuggled"), 0);
    // A name under .invalid is found nowhere (where the resolver answers at all).
    QElapsedTimer t;
    t.start();
    const bool answers =
        QHostInfo::fromName(QStringLiteral("nothing.invalid")).error() == QHostInfo::HostNotFound && t.elapsed() < 1000;
    if (answers) {
        const Health n =
            checkAll(checker, {{QStringLiteral("c"), QStringLiteral("http://nothing.invalid/"), {}, {}, {}}}).value(0);
        QCOMPARE(n.reason, QStringLiteral("name not found"));
    }
}

void tst_Health::whatIsPrivate_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("isPrivate");
    for (const char *a : {"127.0.0.1", "127.8.9.10", "10.1.2.3", "172.16.0.1", "172.31.255.255", "192.168.1.1",
                          "169.254.10.20", "100.64.0.1", "0.0.0.0", "::1", "fe80::1", "fd12:3456::1", "fc00::1",
                          "::ffff:127.0.0.1", "::ffff:192.168.0.1", "::", "224.0.0.1"})
        QTest::newRow(a) << QString::fromLatin1(a) << true;
    for (const char *a :
         {"8.8.8.8", "172.32.0.1", "192.169.0.1", "100.128.0.1", "2001:4860:4860::8888", "::ffff:1.2.3.4"})
        QTest::newRow(a) << QString::fromLatin1(a) << false;
}

void tst_Health::whatIsPrivate()
{
    QFETCH(QString, address);
    QFETCH(bool, isPrivate);
    QCOMPARE(netscope::IsPrivate(QHostAddress(address)), isPrivate);
    const QString host = address.contains(u':') ? u'[' + address + u']' : address;
    QCOMPARE(netscope::IsPrivateHost(QUrl(QStringLiteral("http://%1:9/").arg(host)).host()), isPrivate);
}

void tst_Health::listsFromTheWebStayOutOfThisNetwork()
{
    QCOMPARE(netscope::IsPrivateHost(QStringLiteral("LocalHost.")), true);
    QCOMPARE(netscope::IsPrivateHost(QStringLiteral("router.localhost")), true);
    QVERIFY(!netscope::IsPrivateHost(QStringLiteral("example.com")).has_value()); // known once looked up

    // 127.0.0.3 plays a server on the internet; what it lists points back into this computer.
    TestHttpServer web(0, QHostAddress(QStringLiteral("127.0.0.3")));
    netscope::TreatAsPublic({QHostAddress(QStringLiteral("127.0.0.3"))});
    const auto restore = qScopeGuard([] { netscope::TreatAsPublic({}); });
    QFile mp3(Media::AudioOnly());
    QVERIFY(mp3.open(QIODevice::ReadOnly));
    web.script(QStringLiteral("/stream"), HttpReply(200, "OK", mp3.read(4000), "Content-Type: audio/mpeg\r\n"));
    const QByteArray home = m_http->url(QStringLiteral("/tone.mp3?home")).toUtf8();
    web.script(QStringLiteral("/moved"), HttpReply(302, "Found", {}, "Location: " + home + "\r\n"));
    web.script(QStringLiteral("/home.pls"), HttpReply(200, "OK", "[playlist]\nFile1=" + home + "\n"));
    const auto fromWeb = [](const QString &address) {
        return HealthTarget{QStringLiteral("c"), address, {}, {}, {}, true};
    };
    m_http->clearRequests();
    HealthChecker checker;
    checker.setTimeout(3000);
    const QList<Health> r =
        checkAll(checker, {fromWeb(web.url(QStringLiteral("/stream"))), fromWeb(QString::fromUtf8(home)),
                           fromWeb(web.url(QStringLiteral("/moved"))), fromWeb(web.url(QStringLiteral("/home.pls"))),
                           fromWeb(QStringLiteral("file:///etc/hostname")), fromWeb(QStringLiteral("/etc/hostname")),
                           fromWeb(QStringLiteral("http://[::1]:9/")), fromWeb(QStringLiteral("rtsp://localhost:9/"))});
    QCOMPARE(r.at(0).state, Health::State::OnAir);
    const QString local = QStringLiteral("a playlist from the web cannot open local files");
    const QStringList reasons{r.at(1).reason, r.at(2).reason, r.at(3).reason, r.at(4).reason,
                              r.at(5).reason, r.at(6).reason, r.at(7).reason};
    QCOMPARE(reasons, QStringList({QStringLiteral("private address"), QStringLiteral("private address"),
                                   QStringLiteral("private address"), local, local, QStringLiteral("private address"),
                                   QStringLiteral("private address")}));
    for (int i = 1; i < r.size(); ++i)
        QCOMPARE(r.at(i).state, Health::State::Unknown);
    QCOMPARE(m_http->requestsFor("/tone.mp3?home"), 0); // nothing of this computer was asked
    // The same channels from a list of the user's own are checked as ever.
    QCOMPARE(checkAll(checker, {{QStringLiteral("c"), QString::fromUtf8(home), {}, {}, {}}}).value(0).state,
             Health::State::OnAir);
}

void tst_Health::aBadChannelHoldsUpNothing()
{
    // Six channels whose server sends headers without end, and two good ones on the same host.
    QList<HealthTarget> targets;
    for (int i = 0; i < 6; ++i)
        targets.append({QStringLiteral("bad"), m_http->url(QStringLiteral("/endless-headers?%1").arg(i)), {}, {}, {}});
    for (int i = 0; i < 2; ++i)
        targets.append({QStringLiteral("good"), m_http->url(QStringLiteral("/tone.mp3?%1").arg(i)), {}, {}, {}});
    HealthChecker checker;
    checker.setTimeout(5000);
    checker.setPerHost(4);
    const QList<Health> r = checkAll(checker, targets);
    for (int i = 0; i < 6; ++i)
        QCOMPARE(r.at(i).reason, QStringLiteral("not a media stream (headers without end)"));
    QCOMPARE(r.at(6).state, Health::State::OnAir);
    QCOMPARE(r.at(7).state, Health::State::OnAir);
    // Once the check is over, nothing goes on reading: the process is idle.
    const double before = ProcessCpuSeconds();
    QTest::qWait(1000);
    QVERIFY2(ProcessCpuSeconds() - before < 0.4, qPrintable(QString::number(ProcessCpuSeconds() - before)));
}

void tst_Health::keepsToItsShareOfEachHost()
{
    // Eight channels on one host that never answers, two on another: four at a time on the
    // first, and the second's are not held up behind them.
    TestHttpServer other;
    TestHttpServer::Reply silent;
    silent.silent = true;
    other.script(QStringLiteral("/silent"), silent);
    QList<HealthTarget> targets;
    for (int i = 0; i < 8; ++i)
        targets.append({QStringLiteral("s%1").arg(i), m_http->url(QStringLiteral("/silent?%1").arg(i)), {}, {}, {}});
    const QString otherHost =
        other.url(QStringLiteral("/silent")).replace(QStringLiteral("127.0.0.1"), QStringLiteral("localhost"));
    targets.append({QStringLiteral("o1"), otherHost + QStringLiteral("?1"), {}, {}, {}});
    targets.append({QStringLiteral("o2"), otherHost + QStringLiteral("?2"), {}, {}, {}});
    m_http->clearRequests();
    HealthChecker checker;
    checker.setTimeout(1000);
    checker.setPerHost(4);
    QElapsedTimer t;
    t.start();
    QSignalSpy finished(&checker, &HealthChecker::finished);
    checker.check(targets);
    QTRY_COMPARE(other.requests().size(), 2);
    QTest::qWait(300);
    QCOMPARE(m_http->requests().size(), 4);
    QVERIFY(finished.wait(10000));
    QCOMPARE(m_http->requests().size(), 8);
    QVERIFY2(t.elapsed() >= 1900, qPrintable(QString::number(t.elapsed()))); // two rounds of four
}

void tst_Health::aHostsShareCountsAcrossRedirects()
{
    // Eight channels on two hosts (four each), each redirected to a third host that never
    // answers: that host never has more than its four at once, however the channels reached it.
    TestHttpServer other(0, QHostAddress(QStringLiteral("127.0.0.5")));
    TestHttpServer::Reply silent;
    silent.silent = true;
    other.script(QStringLiteral("/silent"), silent);
    QList<HealthTarget> targets;
    for (int i = 0; i < 8; ++i) {
        const QString path = QStringLiteral("/hop%1").arg(i);
        m_http->script(path,
                       HttpReply(302, "Found", {},
                                 "Location: " + other.url(QStringLiteral("/silent?%1").arg(i)).toUtf8() + "\r\n"));
        QString address = m_http->url(path);
        if (i % 2)
            address.replace(QStringLiteral("127.0.0.1"), QStringLiteral("localhost"));
        targets.append({QStringLiteral("h%1").arg(i), address, {}, {}, {}});
    }
    HealthChecker checker;
    checker.setTimeout(1500);
    checker.setPerHost(4);
    QSignalSpy finished(&checker, &HealthChecker::finished);
    checker.check(targets);
    QTRY_COMPARE(other.requests().size(), 4);
    QTest::qWait(300);
    QCOMPARE(other.requests().size(), 4);
    QVERIFY(finished.wait(20000));
}

void tst_Health::cancelStopsAndLateResultsAreDropped()
{
    HealthChecker checker;
    checker.setTimeout(1000);
    QList<HealthTarget> targets;
    for (int i = 0; i < 6; ++i)
        targets.append({QStringLiteral("s"), m_http->url(QStringLiteral("/silent?c%1").arg(i)), {}, {}, {}});
    QSignalSpy checked(&checker, &HealthChecker::checked);
    QSignalSpy finished(&checker, &HealthChecker::finished);
    checker.check(targets);
    QTest::qWait(200);
    checker.cancel();
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.first().first().toBool(), true);
    QTest::qWait(1500); // past the timeouts of the probes that were running
    QCOMPARE(checked.size(), 0);
    QVERIFY(!checker.isRunning());
    // A new check after it runs whole.
    const QList<Health> results =
        checkAll(checker, {{QStringLiteral("t"), m_http->url(QStringLiteral("/tone.mp3")), {}, {}, {}}});
    QCOMPARE(results.value(0).state, Health::State::OnAir);
}

void tst_Health::resultsAreTrustedForADay()
{
    TempAppDir dir;
    const QString file = dir.file(QStringLiteral("health.json"));
    const QDateTime now = QDateTime::currentDateTimeUtc();
    {
        HealthStore store(file);
        store.put(QStringLiteral("http://a/"),
                  {Health::State::OffAir, QStringLiteral("refused"), now.addSecs(-3600), 12});
        store.put(QStringLiteral("http://b/"),
                  {Health::State::OnAir, QStringLiteral("stream"), now.addSecs(-25 * 3600), 30});
        store.put(QStringLiteral("http://c/"), {Health::State::OnAir, QStringLiteral("stream"), now.addDays(-8), 30});
        QVERIFY(store.save());
    }
    HealthStore store(file);
    store.load();
    const auto a = store.trusted(QStringLiteral(" http://a/ "), now);
    QVERIFY(a.has_value());
    QCOMPARE(a->state, Health::State::OffAir);
    QCOMPARE(a->reason, QStringLiteral("refused"));
    QVERIFY(!store.trusted(QStringLiteral("http://b/"), now)); // older than a day
    QCOMPARE(store.size(), 2);                                 // older than a week: forgotten

    // However many channels were ever checked, the file keeps the newest results only.
    {
        HealthStore few(file, 3);
        for (int i = 0; i < 10; ++i)
            few.put(QStringLiteral("http://h/%1").arg(i),
                    {Health::State::OnAir, QStringLiteral("stream"), now.addSecs(-60 * i), 1});
        QVERIFY(few.save());
    }
    HealthStore again(file);
    again.load();
    QCOMPARE(again.size(), 3);
    for (int i = 0; i < 3; ++i)
        QVERIFY(again.trusted(QStringLiteral("http://h/%1").arg(i), now));
}

QTEST_GUILESS_MAIN(tst_Health)
#include "tst_health.moc"
