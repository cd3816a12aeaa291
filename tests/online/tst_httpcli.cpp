#include "TestHttpServer.h"
#include "online/HttpCli.h"

#include <QBuffer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QElapsedTimer>
#include <QTimer>

namespace {

// One request: the client, its stream, and what it raised.
struct Fetch
{
    THttpCli cli{QStringLiteral("HttpTest")};
    QBuffer stream;
    std::optional<EHttpException> error;
    QList<qint64> lengthsAtBegin;
    QList<qint64> countsAtData;
    qint64 written = 0;

    Fetch()
    {
        stream.open(QIODevice::ReadWrite);
        QObject::connect(&cli, &THttpCli::OnDocBegin, [this] { lengthsAtBegin.append(cli.ContentLength); });
        QObject::connect(&cli, &THttpCli::OnDocData, [this] {
            countsAtData.append(cli.ReceivedCount);
            written = stream.size();
        });
    }
    void get(const QString &url)
    {
        cli.URL = url;
        cli.ReceiveStream = &stream;
        try {
            cli.Get();
        } catch (const EHttpException &e) {
            error = e;
        }
        cli.ReceiveStream = nullptr;
    }
    QByteArray body() const { return stream.data(); }
};

QByteArray expectedHead(const QByteArray &path, const QByteArray &host)
{
    return "GET " + path +
           " HTTP/1.0\r\nAccept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*\r\n"
           "User-Agent: Mozilla/3.0 (compatible)\r\nHost: " +
           host + "\r\n\r\n";
}

quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

} // namespace

class tst_HttpCli : public QObject
{
    Q_OBJECT

private slots:
    void init() { THttpCli::SetStallTimeoutMs(30000); }
    void requestBytesExactly();
    void hostLineOmitsPort80();
    void contentLengthBodyInPieces();
    void chunkedBody();
    void closeDelimitedBody();
    void largeBodiesArriveWhole();
    void statusesWithoutBody_data();
    void statusesWithoutBody();
    void errorStatusRaisesAfterBodyIsStored();
    void redirectForms_data();
    void redirectForms();
    void redirectToAnotherServer();
    void fiveRedirectsFollowedSixthFails();
    void earlyCloseIsAnError();
    void credentialsRequestIsAnError();
    void stalledServerFails();
    void unresolvableHost();
    void refusedConnection();
    void onlyHttpIsSpoken();
    void locationsWithOtherSchemesAreNotFollowed_data();
    void locationsWithOtherSchemesAreNotFollowed();
    void portsOutOfRangeAreRefused_data();
    void portsOutOfRangeAreRefused();
    void conflictingLengthsAreAnError();
    void bodiesPastTheLimitFail();
    void deadlinesEndDrippingServers();
    void dataArrivingKeepsTheRequestAlive();
    void abortWhileWaiting();
    void getWhileBusy();
    void abortWhenIdle();
    void malformedReplies_data();
    void malformedReplies();
    void quittingAbortsTheRequest(); // last: the application stays quit afterwards
};

void tst_HttpCli::requestBytesExactly()
{
    TestHttpServer server;
    server.script(QStringLiteral("/download/channelsinfo4.txt?v=2"), HttpReply(200, "OK", "12\r\n0\r\n"));
    server.script(QStringLiteral("/"), HttpReply(200, "OK", "root"));
    Fetch f;
    f.get(server.url(QStringLiteral("/download/channelsinfo4.txt?v=2")));
    QVERIFY(!f.error);
    const QByteArray host = "127.0.0.1:" + QByteArray::number(server.port());
    QCOMPARE(server.requests().value(0), expectedHead("/download/channelsinfo4.txt?v=2", host));
    QCOMPARE(f.body(), QByteArray("12\r\n0\r\n"));
    QCOMPARE(f.cli.StatusCode, 200);
    QCOMPARE(f.cli.ReasonPhrase, QStringLiteral("OK"));
    Fetch root;
    root.get(server.url(QString()));
    QCOMPARE(server.requests().value(1), expectedHead("/", host));
    Fetch query;
    query.get(server.url(QStringLiteral("?a=b")));
    QCOMPARE(server.requests().value(2), expectedHead("/?a=b", host));
}

void tst_HttpCli::hostLineOmitsPort80()
{
    TestHttpServer server(80);
    if (!server.isListening())
        QSKIP("port 80 is not available here");
    server.script(QStringLiteral("/x"), HttpReply(200, "OK", "x"));
    Fetch f;
    f.get(QStringLiteral("http://127.0.0.1/x"));
    QVERIFY(!f.error);
    QCOMPARE(server.requests().value(0), expectedHead("/x", "127.0.0.1"));
    Fetch g;
    g.get(QStringLiteral("http://127.0.0.1:80/x"));
    QCOMPARE(server.requests().value(1), expectedHead("/x", "127.0.0.1"));
}

void tst_HttpCli::contentLengthBodyInPieces()
{
    TestHttpServer server;
    TestHttpServer::Reply r;
    r.raw = "HTTP/1.1 200 Fine Indeed\r\nContent-Length: 12\r\nX-Other: y\r\n\r\nhell";
    r.pieces = {"o wo", "rld!"};
    r.pieceDelayMs = 30;
    r.close = false;
    server.script(QStringLiteral("/doc"), r);
    Fetch f;
    f.get(server.url(QStringLiteral("/doc")));
    QVERIFY(!f.error);
    QCOMPARE(f.body(), QByteArray("hello world!"));
    QCOMPARE(f.cli.ReasonPhrase, QStringLiteral("Fine Indeed"));
    QCOMPARE(f.lengthsAtBegin, QList<qint64>({12}));
    QVERIFY(f.countsAtData.size() >= 3);
    QCOMPARE(f.countsAtData.last(), 12);
    QCOMPARE(f.written, 12); // each event comes after its piece was stored
    for (qsizetype i = 1; i < f.countsAtData.size(); ++i)
        QVERIFY(f.countsAtData[i] > f.countsAtData[i - 1]);
}

void tst_HttpCli::chunkedBody()
{
    TestHttpServer server;
    TestHttpServer::Reply r;
    r.raw = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5;name=val\r\nhel";
    r.pieces = {"lo\r\n6\r\n world\r\n0\r\nTrailer: 1\r\n\r\n"};
    r.pieceDelayMs = 20;
    r.close = false;
    server.script(QStringLiteral("/c"), r);
    Fetch f;
    f.get(server.url(QStringLiteral("/c")));
    QVERIFY2(!f.error, f.error ? qPrintable(f.error->message()) : "");
    QCOMPARE(f.body(), QByteArray("hello world"));
    QCOMPARE(f.lengthsAtBegin, QList<qint64>({-1}));
    QCOMPARE(f.cli.ReceivedCount, 11);
}

void tst_HttpCli::closeDelimitedBody()
{
    TestHttpServer server;
    TestHttpServer::Reply r;
    r.raw = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nfirst ";
    r.pieces = {"second ", "third"};
    r.pieceDelayMs = 20;
    server.script(QStringLiteral("/stream"), r);
    Fetch f;
    f.get(server.url(QStringLiteral("/stream")));
    QVERIFY(!f.error);
    QCOMPARE(f.body(), QByteArray("first second third"));
    QCOMPARE(f.lengthsAtBegin, QList<qint64>({-1}));
}

void tst_HttpCli::largeBodiesArriveWhole()
{
    // Larger than the client's read buffer: the close comes while much is still unread.
    QByteArray big(12 * 1024 * 1024, '\0');
    for (int i = 0; i < big.size(); i += 4096)
        big[i] = char(i / 4096);
    TestHttpServer server;
    server.script(QStringLiteral("/close"), QByteArray("HTTP/1.0 200 OK\r\n\r\n") + big);
    server.script(QStringLiteral("/length"), HttpReply(200, "OK", big));
    for (const QString &path : {QStringLiteral("/close"), QStringLiteral("/length")}) {
        Fetch f;
        f.get(server.url(path));
        QVERIFY2(!f.error, f.error ? qPrintable(f.error->message()) : "");
        QCOMPARE(f.body().size(), big.size());
        QVERIFY(f.body() == big);
        QCOMPARE(f.cli.ReceivedCount, big.size());
    }
}

void tst_HttpCli::statusesWithoutBody_data()
{
    QTest::addColumn<int>("status");
    for (int s : {204, 304, 301, 302})
        QTest::addRow("%d", s) << s;
}

void tst_HttpCli::statusesWithoutBody()
{
    QFETCH(int, status);
    TestHttpServer server;
    TestHttpServer::Reply r;
    r.raw = "HTTP/1.0 " + QByteArray::number(status) + " Whatever\r\n\r\n";
    r.close = false; // the reply is over without the connection closing
    server.script(QStringLiteral("/n"), r);
    Fetch f;
    f.get(server.url(QStringLiteral("/n")));
    QVERIFY(!f.error);
    QCOMPARE(f.cli.StatusCode, status);
    QVERIFY(f.lengthsAtBegin.isEmpty()); // no body, no OnDocBegin
    QVERIFY(f.body().isEmpty());
}

void tst_HttpCli::errorStatusRaisesAfterBodyIsStored()
{
    TestHttpServer server;
    Fetch f;
    f.get(server.url(QStringLiteral("/missing.txt"))); // the folder server answers 404 with a page
    QVERIFY(f.error);
    QCOMPARE(f.error->ErrorCode, 404);
    QCOMPARE(f.error->message(), QStringLiteral("Not Found"));
    QCOMPARE(f.body(), QByteArray("<html>no such file</html>"));
    server.script(QStringLiteral("/boom"), HttpReply(500, "Internal Server Error", "oops"));
    Fetch g;
    g.get(server.url(QStringLiteral("/boom")));
    QCOMPARE(g.error->ErrorCode, 500);
    QCOMPARE(g.body(), QByteArray("oops"));
}

void tst_HttpCli::redirectForms_data()
{
    QTest::addColumn<QByteArray>("location");
    QTest::addColumn<QByteArray>("finalPath");
    QTest::newRow("rooted") << QByteArray("/elsewhere/final.txt") << QByteArray("/elsewhere/final.txt");
    QTest::newRow("relative") << QByteArray("final.txt?q=1") << QByteArray("/a/b/final.txt?q=1");
    QTest::newRow("relative up") << QByteArray("sub/final.txt") << QByteArray("/a/b/sub/final.txt");
    QTest::newRow("absolute same host") << QByteArray("ABSOLUTE") << QByteArray("/abs/final.txt");
}

void tst_HttpCli::redirectForms()
{
    QFETCH(QByteArray, location);
    QFETCH(QByteArray, finalPath);
    TestHttpServer server;
    if (location == "ABSOLUTE")
        location = server.url(QStringLiteral("/abs/final.txt")).toUtf8().replace("http", "HTTP");
    // The moving reply has a body (and a 200 status): the Location header alone counts.
    server.script(QStringLiteral("/a/b/start"), HttpReply(200, "OK", "moved body", "Location: " + location + "\r\n"));
    server.script(QString::fromLatin1(finalPath), HttpReply(200, "OK", "the final document"));
    Fetch f;
    f.get(server.url(QStringLiteral("/a/b/start?x=1")));
    QVERIFY2(!f.error, f.error ? qPrintable(f.error->message()) : "");
    QCOMPARE(f.body(), QByteArray("the final document"));
    QCOMPARE(server.requests().size(), 2);
    QVERIFY(server.requests()[1].startsWith("GET " + finalPath + " HTTP/1.0\r\n"));
    QCOMPARE(f.lengthsAtBegin.size(), 1); // only the final reply's body began
}

void tst_HttpCli::redirectToAnotherServer()
{
    TestHttpServer first, second;
    second.script(QStringLiteral("/there"), HttpReply(200, "OK", "arrived"));
    TestHttpServer::Reply moved;
    moved.raw = "HTTP/1.0 302 Found\r\nLocation: " + second.url(QStringLiteral("/there")).toUtf8() + "\r\n\r\n";
    first.script(QStringLiteral("/here"), moved);
    Fetch f;
    f.get(first.url(QStringLiteral("/here")));
    QVERIFY(!f.error);
    QCOMPARE(f.body(), QByteArray("arrived"));
    QCOMPARE(second.requests().value(0), expectedHead("/there", "127.0.0.1:" + QByteArray::number(second.port())));
}

void tst_HttpCli::fiveRedirectsFollowedSixthFails()
{
    TestHttpServer server;
    for (int i = 0; i < 6; ++i)
        server.script(QStringLiteral("/r%1").arg(i),
                      HttpReply(301, "Moved", {}, "Location: /r" + QByteArray::number(i + 1) + "\r\n"));
    server.script(QStringLiteral("/r5"), HttpReply(200, "OK", "five"));
    Fetch f;
    f.get(server.url(QStringLiteral("/r0")));
    QVERIFY(!f.error);
    QCOMPARE(f.body(), QByteArray("five"));
    server.script(QStringLiteral("/r5"), HttpReply(301, "Moved", {}, "Location: /r6\r\n"));
    server.script(QStringLiteral("/r6"), HttpReply(200, "OK", "six"));
    Fetch g;
    g.get(server.url(QStringLiteral("/r0")));
    QVERIFY(g.error);
    QCOMPARE(server.requests().size(), 12); // the sixth location is not asked for
    QVERIFY(g.error->message().contains(QStringLiteral("location changes")));
    QVERIFY(g.body().isEmpty());
}

void tst_HttpCli::earlyCloseIsAnError()
{
    TestHttpServer server;
    server.script(QStringLiteral("/short"), QByteArray("HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nonly ten b"));
    Fetch f;
    f.get(server.url(QStringLiteral("/short")));
    QVERIFY(f.error);
    QCOMPARE(f.error->ErrorCode, 404);
    QVERIFY(f.error->message().contains(QStringLiteral("10 of 100")));
    QCOMPARE(f.body(), QByteArray("only ten b")); // what arrived stays in the stream
    server.script(QStringLiteral("/cut"), QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10\r\nabc"));
    Fetch g;
    g.get(server.url(QStringLiteral("/cut")));
    QVERIFY(g.error);
    server.script(QStringLiteral("/none"), QByteArray());
    Fetch h;
    h.get(server.url(QStringLiteral("/none")));
    QVERIFY(h.error);
}

void tst_HttpCli::credentialsRequestIsAnError()
{
    TestHttpServer server;
    for (int code : {401, 407}) {
        TestHttpServer::Reply r;
        r.raw = "HTTP/1.0 " + QByteArray::number(code) + " Credentials Wanted\r\nWWW-Authenticate: Basic\r\n\r\n";
        r.close = false;
        server.script(QStringLiteral("/secret"), r);
        Fetch f;
        f.get(server.url(QStringLiteral("/secret")));
        QVERIFY(f.error);
        QCOMPARE(f.error->ErrorCode, code);
    }
}

void tst_HttpCli::stalledServerFails()
{
    THttpCli::SetStallTimeoutMs(300);
    TestHttpServer server;
    TestHttpServer::Reply silent;
    silent.silent = true;
    server.script(QStringLiteral("/stall"), silent);
    Fetch f;
    QElapsedTimer t;
    t.start();
    f.get(server.url(QStringLiteral("/stall")));
    QVERIFY(f.error);
    QCOMPARE(f.error->ErrorCode, 404);
    QVERIFY(f.error->message().startsWith(QStringLiteral("No data received")));
    QVERIFY(t.elapsed() < 5000);
    // A body that stops half-way stalls the same way.
    TestHttpServer::Reply stuck;
    stuck.raw = "HTTP/1.0 200 OK\r\nContent-Length: 50\r\n\r\nabc";
    stuck.close = false;
    server.script(QStringLiteral("/stuck"), stuck);
    Fetch g;
    g.get(server.url(QStringLiteral("/stuck")));
    QVERIFY(g.error);
    QCOMPARE(g.body(), QByteArray("abc"));
}

void tst_HttpCli::unresolvableHost()
{
    Fetch f;
    f.get(QStringLiteral("http://no-such-host.invalid/download/updateinfo.txt"));
    QVERIFY(f.error);
    QCOMPARE(f.error->ErrorCode, 404);
    QCOMPARE(f.error->message(), QStringLiteral("can't resolve hostname to IP address"));
    QCOMPARE(f.cli.StatusCode, 404);
    QCOMPARE(f.cli.ReasonPhrase, QStringLiteral("can't resolve hostname to IP address"));
}

void tst_HttpCli::refusedConnection()
{
    Fetch f;
    f.get(QStringLiteral("http://127.0.0.1:%1/x").arg(closedPort()));
    QVERIFY(f.error);
    QCOMPARE(f.error->ErrorCode, 404);
    QVERIFY2(f.error->message().startsWith(QStringLiteral("can't connect: ")), qPrintable(f.error->message()));
    QVERIFY(f.error->message().contains(QStringLiteral("(Error #111)")));
}

void tst_HttpCli::onlyHttpIsSpoken()
{
    Fetch f;
    f.get(QStringLiteral("https://127.0.0.1/x"));
    QVERIFY(f.error);
    QCOMPARE(f.error->ErrorCode, 501);
    QCOMPARE(f.error->message(), QStringLiteral("Protocol \"https\" not implemented"));
    TestHttpServer server;
    server.script(QStringLiteral("/up"), HttpReply(301, "Moved", {}, "Location: https://127.0.0.1/secure\r\n"));
    Fetch g;
    g.get(server.url(QStringLiteral("/up")));
    QVERIFY(g.error);
    QCOMPARE(g.error->ErrorCode, 501);
    Fetch h;
    h.get(QStringLiteral("ftp://127.0.0.1/x"));
    QCOMPARE(h.error->message(), QStringLiteral("Protocol \"ftp\" not implemented"));
}

void tst_HttpCli::locationsWithOtherSchemesAreNotFollowed_data()
{
    QTest::addColumn<QByteArray>("location");
    QTest::newRow("file") << QByteArray("file:///etc/passwd");
    QTest::newRow("ftp") << QByteArray("ftp://127.0.0.1/list.chl");
    QTest::newRow("https") << QByteArray("HTTPS://127.0.0.1/secure");
    QTest::newRow("mailto") << QByteArray("mailto:someone@example.com");
}

void tst_HttpCli::locationsWithOtherSchemesAreNotFollowed()
{
    QFETCH(QByteArray, location);
    TestHttpServer server;
    server.script(QStringLiteral("/up"), HttpReply(302, "Found", {}, "Location: " + location + "\r\n"));
    Fetch f;
    f.get(server.url(QStringLiteral("/up")));
    QVERIFY(f.error);
    QCOMPARE(f.error->ErrorCode, 501);
    QVERIFY2(f.error->message().endsWith(QStringLiteral("not implemented")), qPrintable(f.error->message()));
    QCOMPARE(server.requests().size(), 1); // never taken as a path on the same server
}

void tst_HttpCli::portsOutOfRangeAreRefused_data()
{
    QTest::addColumn<QString>("address");
    QTest::newRow("name") << QStringLiteral("http://localhost:65536/x");
    QTest::newRow("IPv4") << QStringLiteral("http://127.0.0.1:70000/x");
    QTest::newRow("IPv6") << QStringLiteral("http://[::1]:65617/x"); // 65617 is 81 modulo 65536
    QTest::newRow("IPv6, no number") << QStringLiteral("http://[::1]:http/x");
    QTest::newRow("IPv6, port zero") << QStringLiteral("http://[::1]:0/x");
}

void tst_HttpCli::portsOutOfRangeAreRefused()
{
    QFETCH(QString, address);
    Fetch f;
    f.get(address);
    QVERIFY(f.error);
    QVERIFY2(f.error->message().startsWith(QStringLiteral("Invalid address")), qPrintable(f.error->message()));
}

void tst_HttpCli::conflictingLengthsAreAnError()
{
    TestHttpServer server;
    server.script(QStringLiteral("/two"),
                  QByteArray("HTTP/1.0 200 OK\r\nContent-Length: 5\r\nContent-Length: 50\r\n\r\n") +
                      QByteArray(50, 'x'));
    server.script(QStringLiteral("/same"),
                  QByteArray("HTTP/1.0 200 OK\r\nContent-Length: 5\r\nContent-Length: 5\r\n\r\nhello"));
    Fetch f;
    f.get(server.url(QStringLiteral("/two")));
    QVERIFY(f.error);
    QVERIFY(f.error->message().contains(QStringLiteral("Conflicting Content-Length")));
    QVERIFY(f.body().isEmpty());
    Fetch g;
    g.get(server.url(QStringLiteral("/same")));
    QVERIFY(!g.error);
    QCOMPARE(g.body(), QByteArray("hello"));
}

void tst_HttpCli::bodiesPastTheLimitFail()
{
    TestHttpServer server;
    const QByteArray big(300 * 1024, 'b');
    server.script(QStringLiteral("/announced"), HttpReply(200, "OK", big));
    TestHttpServer::Reply unannounced;
    unannounced.raw = "HTTP/1.0 200 OK\r\n\r\n" + big;
    server.script(QStringLiteral("/unannounced"), unannounced);
    server.script(QStringLiteral("/small"), HttpReply(200, "OK", QByteArray(1000, 's')));
    for (const QString &path : {QStringLiteral("/announced"), QStringLiteral("/unannounced")}) {
        Fetch f;
        f.cli.MaxBodySize = 64 * 1024;
        f.get(server.url(path));
        QVERIFY2(f.error, qPrintable(path));
        QCOMPARE(f.error->message(), QStringLiteral("The document is larger than 65536 bytes"));
        QVERIFY(f.body().size() <= 64 * 1024);
    }
    Fetch ok;
    ok.cli.MaxBodySize = 64 * 1024;
    ok.get(server.url(QStringLiteral("/small")));
    QVERIFY(!ok.error);
    QCOMPARE(ok.body().size(), 1000);
}

void tst_HttpCli::deadlinesEndDrippingServers()
{
    // A byte every 100 ms keeps the inactivity timer from ever firing.
    THttpCli::SetStallTimeoutMs(2000);
    TestHttpServer server;
    TestHttpServer::Reply headers;
    headers.raw = "HTTP/1.0 200 OK\r\n";
    for (int i = 0; i < 200; ++i)
        headers.pieces.append("X");
    headers.pieceDelayMs = 100;
    server.script(QStringLiteral("/headers"), headers);
    TestHttpServer::Reply body;
    body.raw = "HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n\r\n";
    for (int i = 0; i < 200; ++i)
        body.pieces.append("b");
    body.pieceDelayMs = 100;
    server.script(QStringLiteral("/body"), body);
    QElapsedTimer t;
    t.start();
    Fetch f;
    f.cli.HeaderTimeoutMs = 800;
    f.get(server.url(QStringLiteral("/headers")));
    QVERIFY(f.error);
    QVERIFY2(f.error->message().contains(QStringLiteral("did not reply within")), qPrintable(f.error->message()));
    QVERIFY(t.elapsed() < 5000);
    t.restart();
    Fetch g;
    g.cli.TotalTimeoutMs = 1200;
    g.get(server.url(QStringLiteral("/body")));
    QVERIFY(g.error);
    QVERIFY2(g.error->message().contains(QStringLiteral("took longer than")), qPrintable(g.error->message()));
    QVERIFY(t.elapsed() < 5000);
}

void tst_HttpCli::dataArrivingKeepsTheRequestAlive()
{
    // Pieces every 100 ms for three times the inactivity limit: each one restarts it.
    THttpCli::SetStallTimeoutMs(400);
    TestHttpServer server;
    TestHttpServer::Reply slow;
    slow.raw = "HTTP/1.0 200 OK\r\nContent-Length: 12\r\n\r\n";
    for (int i = 0; i < 12; ++i)
        slow.pieces.append("x");
    slow.pieceDelayMs = 100;
    server.script(QStringLiteral("/slow"), slow);
    Fetch f;
    f.get(server.url(QStringLiteral("/slow")));
    QVERIFY2(!f.error, f.error ? qPrintable(f.error->message()) : "");
    QCOMPARE(f.body(), QByteArray(12, 'x'));
}

void tst_HttpCli::abortWhileWaiting()
{
    TestHttpServer server;
    TestHttpServer::Reply slow;
    slow.raw = "HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n\r\nsome";
    slow.close = false;
    server.script(QStringLiteral("/slow"), slow);
    Fetch f;
    QTimer::singleShot(150, [&] { f.cli.Abort(); });
    f.get(server.url(QStringLiteral("/slow")));
    QVERIFY(f.error);
    QCOMPARE(f.error->ErrorCode, 404);
    QCOMPARE(f.error->message(), QStringLiteral("Connection aborted on request"));
    QVERIFY(!f.cli.isBusy());
    // The same client serves the next request.
    server.script(QStringLiteral("/ok"), HttpReply(200, "OK", "fine"));
    f.stream.buffer().clear();
    f.stream.seek(0);
    f.error.reset();
    f.get(server.url(QStringLiteral("/ok")));
    QVERIFY(!f.error);
    QCOMPARE(f.body(), QByteArray("fine"));
}

void tst_HttpCli::getWhileBusy()
{
    TestHttpServer server;
    TestHttpServer::Reply r;
    r.raw = "HTTP/1.0 200 OK\r\nContent-Length: 8\r\n\r\nfirst";
    r.pieces = {"...", "never"};
    r.pieceDelayMs = 300;
    r.close = false;
    server.script(QStringLiteral("/long"), r);
    Fetch f;
    QString busy;
    QTimer::singleShot(100, [&] {
        try {
            f.cli.Get();
        } catch (const EHttpException &e) {
            busy = e.message();
        }
    });
    f.get(server.url(QStringLiteral("/long")));
    QCOMPARE(busy, QStringLiteral("HTTP component HttpTest is busy"));
    QVERIFY(!f.error); // the request under way went on undisturbed
    QCOMPARE(f.body(), QByteArray("first..."));
}

void tst_HttpCli::abortWhenIdle()
{
    THttpCli cli(QStringLiteral("Idle"));
    cli.StatusCode = 404;
    cli.Abort();
    QCOMPARE(cli.StatusCode, 200);
    QCOMPARE(cli.ReasonPhrase, QStringLiteral("OK"));
}

void tst_HttpCli::malformedReplies_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::newRow("not http") << QByteArray("SSH-2.0-OpenSSH\r\n\r\n");
    QTest::newRow("no status") << QByteArray("HTTP/1.0 OK\r\n\r\n");
    QTest::newRow("bad length") << QByteArray("HTTP/1.0 200 OK\r\nContent-Length: -4\r\n\r\nabc");
    QTest::newRow("bad chunk") << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nabc\r\n");
    QTest::newRow("huge header") << QByteArray("HTTP/1.0 200 OK\r\nX: ") + QByteArray(100000, 'a');
}

void tst_HttpCli::malformedReplies()
{
    QFETCH(QByteArray, raw);
    TestHttpServer server;
    server.script(QStringLiteral("/bad"), raw);
    Fetch f;
    f.get(server.url(QStringLiteral("/bad")));
    QVERIFY(f.error);
    QCOMPARE(f.error->ErrorCode, 404);
}

void tst_HttpCli::quittingAbortsTheRequest()
{
    TestHttpServer server;
    TestHttpServer::Reply silent;
    silent.silent = true;
    server.script(QStringLiteral("/forever"), silent);
    Fetch f;
    QTimer::singleShot(100, [] { QCoreApplication::exit(0); }); // as quitting does to every loop
    f.get(server.url(QStringLiteral("/forever")));
    QVERIFY(f.error);
    QCOMPARE(f.error->message(), QStringLiteral("Connection aborted on request"));
}

QTEST_GUILESS_MAIN(tst_HttpCli)
#include "tst_httpcli.moc"
