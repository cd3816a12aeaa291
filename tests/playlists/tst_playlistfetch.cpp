#include "TestDirs.h"
#include "TestHttpServer.h"
#include "base/Errors.h"
#include "catalogue/ListCipher.h"
#include "catalogue/XmlDocument.h"
#include "playlists/PlaylistFetch.h"
#include "playlists/PlaylistReader.h"
#include "playlists/PlaylistStore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QProcess>
#include <QSignalSpy>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTest>
#include <QThread>

#include <sys/stat.h>

Q_DECLARE_METATYPE(PlaylistFetch::Result)

namespace {

const QByteArray kPlaylist = "#EXTM3U\n#EXTINF:-1 group-title=\"News\",One\nhttp://a/1\n#EXTINF:-1,Two\nhttp://a/2\n";

// An HTTPS server on 127.0.0.1 with a certificate made for the test: it answers every request
// with `reply`.
class TlsServer
{
public:
    explicit TlsServer(const QString &dir)
    {
        const QString key = dir + QStringLiteral("/key.pem"), cert = dir + QStringLiteral("/cert.pem");
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"),
                      {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                       QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-days"),
                       QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
                       QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1"),
                       QStringLiteral("-keyout"), key, QStringLiteral("-out"), cert});
        if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0)
            return;
        QFile k(key), c(cert);
        if (!k.open(QIODevice::ReadOnly) || !c.open(QIODevice::ReadOnly))
            return;
        certificate = QSslCertificate(c.readAll(), QSsl::Pem);
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.setLocalCertificate(certificate);
        tls.setPrivateKey(QSslKey(k.readAll(), QSsl::Rsa, QSsl::Pem));
        server.setSslConfiguration(tls);
        QObject::connect(&server, &QSslServer::pendingConnectionAvailable, &server, [this] {
            while (QTcpSocket *s = server.nextPendingConnection()) {
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    if (!s->readAll().isEmpty() && s->property("answered").isNull()) {
                        s->setProperty("answered", true);
                        ++requests;
                        s->write(reply);
                        s->disconnectFromHost();
                    }
                });
            }
        });
        server.listen(QHostAddress::LocalHost);
    }
    bool isReady() const { return !certificate.isNull() && server.isListening(); }
    QString url(const QString &path) const
    {
        return QStringLiteral("https://127.0.0.1:%1%2").arg(server.serverPort()).arg(path);
    }

    QSslServer server;
    QSslCertificate certificate;
    QByteArray reply;
    int requests = 0;
};

// zlib data, as HTTP's "deflate" carries it.
QByteArray Deflated(const QByteArray &bytes)
{
    return qCompress(bytes, 9).mid(4);
}

} // namespace

// Fetching a playlist: what arrives is stored only when it is a playlist, and whatever fails
// leaves the stored list as it was.
class tst_PlaylistFetch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void httpsWithCompressionTrustsOnlyWhatItIsGiven();
    void redirectsAreFollowed();
    void failuresKeepTheStoredList_data();
    void failuresKeepTheStoredList();
    void cancelKeepsTheStoredList();
    void localFile();
    void hostileSourcesAreCut();
    void storeKeepsItsIndexAcrossProcesses();
    void damagedIndexKeepsTheUsersPlaylists();
    void refreshIsDue();

private:
    PlaylistFetch::Result run(PlaylistFetch &fetch, const PlaylistFetch::Job &job);
};

void tst_PlaylistFetch::initTestCase()
{
    qRegisterMetaType<PlaylistFetch::Result>();
}

PlaylistFetch::Result tst_PlaylistFetch::run(PlaylistFetch &fetch, const PlaylistFetch::Job &job)
{
    QSignalSpy done(&fetch, &PlaylistFetch::finished);
    fetch.start(job);
    if (!done.wait(20000))
        return {};
    return done.first().first().value<PlaylistFetch::Result>();
}

void tst_PlaylistFetch::httpsWithCompressionTrustsOnlyWhatItIsGiven()
{
    TempAppDir dir;
    TlsServer tls(dir.path());
    QVERIFY(tls.isReady());
    const QByteArray body = Deflated(kPlaylist);
    tls.reply = "HTTP/1.1 200 OK\r\nContent-Type: audio/x-mpegurl\r\nContent-Encoding: deflate\r\nContent-Length: " +
                QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    const PlaylistFetch::Job job{tls.url(QStringLiteral("/index.m3u")), dir.file(QStringLiteral("p1.CHL")),
                                 QStringLiteral("Mine"), dir.file(QStringLiteral("spool"))};

    PlaylistFetch fetch;
    fetch.setExtraCertificates({tls.certificate});
    const PlaylistFetch::Result r = run(fetch, job);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(r.channels, 2);
    QCOMPARE(r.groups, 2);
    XmlDocument doc;
    doc.loadFromBytes(ReadListFile(job.listFile));
    const QList<XmlNode> groups = doc.documentElement().childNodes();
    QCOMPARE(*groups[1].attribute("Title"), QStringLiteral("Mine"));
    QCOMPARE(groups[1].child(0).text("ChannelName"), QStringLiteral("Two"));

    QFile::remove(job.listFile);
    PlaylistFetch untrusting; // trusts only the system's certificates
    const PlaylistFetch::Result refused = run(untrusting, job);
    QVERIFY(!refused.ok);
    QVERIFY(!refused.error.isEmpty());
    QVERIFY(!QFile::exists(job.listFile));
}

void tst_PlaylistFetch::redirectsAreFollowed()
{
    TempAppDir dir;
    TestHttpServer http;
    http.script(QStringLiteral("/old.m3u"),
                HttpReply(302, "Found", {}, "Location: " + http.url(QStringLiteral("/new.m3u")).toUtf8() + "\r\n"));
    http.script(QStringLiteral("/new.m3u"), HttpReply(200, "OK", kPlaylist));
    PlaylistFetch fetch;
    const PlaylistFetch::Result r = run(fetch, {http.url(QStringLiteral("/old.m3u")), dir.file(QStringLiteral("p.CHL")),
                                                QStringLiteral("x"), dir.file(QStringLiteral("spool"))});
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(r.channels, 2);
}

void tst_PlaylistFetch::failuresKeepTheStoredList_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("silent");
    QTest::addColumn<QString>("why");
    QTest::newRow("not found") << HttpReply(404, "Not Found", "gone") << false << QStringLiteral("Not Found");
    QTest::newRow("a web page") << HttpReply(200, "OK", "<html><body>Sign in, please</body></html>") << false
                                << QStringLiteral("no channel");
    QTest::newRow("binary") << HttpReply(200, "OK", NoiseBytes(70000)) << false << QStringLiteral("not text");
    QTest::newRow("cut short") << QByteArray("HTTP/1.0 200 OK\r\nContent-Length: 9999\r\n\r\n#EXTM3U\n") << false
                               << QString();
    QTest::newRow("silent server") << QByteArray() << true << QStringLiteral("sent nothing");
}

void tst_PlaylistFetch::failuresKeepTheStoredList()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, silent);
    QFETCH(QString, why);
    TempAppDir dir;
    dir.writeList(QStringLiteral("p.CHL"), "<ChannelList><Old Title=\"Old\"/></ChannelList>");
    const QByteArray before = dir.read(QStringLiteral("p.CHL"));
    TestHttpServer http;
    TestHttpServer::Reply r;
    r.raw = reply;
    r.silent = silent;
    http.script(QStringLiteral("/list.m3u"), r);
    PlaylistFetch fetch;
    fetch.setStallTimeout(300);
    const PlaylistFetch::Result result =
        run(fetch, {http.url(QStringLiteral("/list.m3u")), dir.file(QStringLiteral("p.CHL")), QStringLiteral("x"),
                    dir.file(QStringLiteral("spool"))});
    QVERIFY(!result.ok);
    QVERIFY(!result.cancelled);
    QVERIFY2(result.error.contains(why), qPrintable(result.error));
    QCOMPARE(dir.read(QStringLiteral("p.CHL")), before);
}

void tst_PlaylistFetch::cancelKeepsTheStoredList()
{
    TempAppDir dir;
    dir.writeList(QStringLiteral("p.CHL"), "<ChannelList/>");
    const QByteArray before = dir.read(QStringLiteral("p.CHL"));
    TestHttpServer http;
    TestHttpServer::Reply slow;
    slow.raw = "HTTP/1.0 200 OK\r\n\r\n#EXTM3U\n";
    slow.pieces = {"#EXTINF:-1,One\nhttp://a/1\n"};
    slow.pieceDelayMs = 8000; // the rest comes well after the cancel, however slow the build
    http.script(QStringLiteral("/list.m3u"), slow);
    PlaylistFetch fetch;
    QSignalSpy done(&fetch, &PlaylistFetch::finished);
    fetch.start({http.url(QStringLiteral("/list.m3u")), dir.file(QStringLiteral("p.CHL")), QStringLiteral("x"),
                 dir.file(QStringLiteral("spool"))});
    // Cancelled while the download runs (the rest of it comes much later).
    QTRY_VERIFY_WITH_TIMEOUT(!http.requests().isEmpty(), 5000);
    QTest::qWait(200);
    QCOMPARE(done.size(), 0);
    fetch.cancel();
    QTRY_COMPARE(done.size(), 1); // an abort may report at once
    const auto result = done.first().first().value<PlaylistFetch::Result>();
    QVERIFY(result.cancelled);
    QVERIFY(!result.ok);
    QVERIFY(!fetch.isRunning());
    QTest::qWait(300);
    QCOMPARE(dir.read(QStringLiteral("p.CHL")), before);
    QCOMPARE(done.size(), 1);
}

void tst_PlaylistFetch::localFile()
{
    TempAppDir dir;
    dir.write(QStringLiteral("mine.pls"), "[playlist]\nFile1=http://a/1\nTitle1=First\n");
    PlaylistFetch fetch;
    const PlaylistFetch::Result r = run(fetch, {dir.file(QStringLiteral("mine.pls")), dir.file(QStringLiteral("p.CHL")),
                                                QStringLiteral("Mine"), dir.file(QStringLiteral("spool"))});
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(r.channels, 1);
    const PlaylistFetch::Result missing =
        run(fetch, {dir.file(QStringLiteral("gone.m3u")), dir.file(QStringLiteral("q.CHL")), QStringLiteral("x"),
                    dir.file(QStringLiteral("spool"))});
    QVERIFY(!missing.ok);
    QVERIFY(missing.error.contains(QStringLiteral("gone.m3u")));

    // A cancel that comes once the list is stored is too late: the result says it was stored.
    QFile::remove(dir.file(QStringLiteral("p.CHL")));
    QSignalSpy done(&fetch, &PlaylistFetch::finished);
    fetch.start({dir.file(QStringLiteral("mine.pls")), dir.file(QStringLiteral("p.CHL")), QStringLiteral("Mine"),
                 dir.file(QStringLiteral("spool"))});
    QElapsedTimer clock;
    clock.start();
    while (!QFile::exists(dir.file(QStringLiteral("p.CHL"))) && clock.elapsed() < 5000)
        QThread::msleep(1); // no events: the worker's report waits
    QThread::msleep(50);
    fetch.cancel();
    QTRY_COMPARE(done.size(), 1);
    const auto late = done.first().first().value<PlaylistFetch::Result>();
    QVERIFY(late.ok && !late.cancelled);
}

void tst_PlaylistFetch::hostileSourcesAreCut()
{
    TempAppDir dir;
    const QString spool = dir.file(QStringLiteral("spool"));
    const auto job = [&](const QString &source) {
        return PlaylistFetch::Job{source, dir.file(QStringLiteral("p.CHL")), QStringLiteral("x"), spool};
    };
    TestHttpServer http;
    const QByteArray head = "HTTP/1.0 200 OK\r\nContent-Type: audio/x-mpegurl\r\n\r\n#EXTM3U\n";
    // A body without end, as fast as loopback goes: refused at the limit, and nothing is left over.
    TestHttpServer::Reply endless;
    endless.raw = head;
    endless.pieces = QList<QByteArray>((kMaxPlaylistSize >> 20) + 2, QByteArray(1 << 20, '#'));
    http.script(QStringLiteral("/endless.m3u"), endless);
    // A byte now and then: never stalled long enough for the stall timeout.
    TestHttpServer::Reply drip;
    drip.raw = head;
    drip.pieces = QList<QByteArray>(200, "#");
    drip.pieceDelayMs = 100;
    http.script(QStringLiteral("/drip.m3u"), drip);
    // Headers without end: cut at their limit, and nothing goes on reading them afterwards.
    http.script(QStringLiteral("/headers.m3u"), EndlessHeaders());

    PlaylistFetch fetch;
    const PlaylistFetch::Result endlessHeaders = run(fetch, job(http.url(QStringLiteral("/headers.m3u"))));
    QVERIFY2(endlessHeaders.error.contains(QStringLiteral("headers without end")), qPrintable(endlessHeaders.error));
    const double before = ProcessCpuSeconds();
    QTest::qWait(1000);
    QVERIFY2(ProcessCpuSeconds() - before < 0.4, qPrintable(QString::number(ProcessCpuSeconds() - before)));

    const PlaylistFetch::Result big = run(fetch, job(http.url(QStringLiteral("/endless.m3u"))));
    QVERIFY2(big.error.contains(QStringLiteral("larger than 128 MiB")), qPrintable(big.error));
    QVERIFY(QDir(spool).entryList(QDir::Files).isEmpty());

    fetch.setDeadline(60000, 1000, 1000); // at least 1000 bytes a second after the first second
    const PlaylistFetch::Result slow = run(fetch, job(http.url(QStringLiteral("/drip.m3u"))));
    QVERIFY2(slow.error.contains(QStringLiteral("too slowly")), qPrintable(slow.error));
    fetch.setDeadline(1500, 0, 60000);
    const PlaylistFetch::Result late = run(fetch, job(http.url(QStringLiteral("/drip.m3u"))));
    QVERIFY2(late.error.contains(QStringLiteral("took longer than")), qPrintable(late.error));
    QVERIFY(QDir(spool).entryList(QDir::Files).isEmpty());

    // Only regular files are read: a device or a pipe never ends.
    QVERIFY(::mkfifo(QFile::encodeName(dir.file(QStringLiteral("pipe.m3u"))).constData(), 0600) == 0);
    for (const QString &source : {QStringLiteral("/dev/zero"), dir.file(QStringLiteral("pipe.m3u"))}) {
        const PlaylistFetch::Result device = run(fetch, job(source));
        QVERIFY2(device.error.contains(QStringLiteral("is not a file")), qPrintable(device.error));
    }
}

void tst_PlaylistFetch::storeKeepsItsIndexAcrossProcesses()
{
    TempAppDir dir;
    const QString folder = dir.file(QStringLiteral("playlists"));
    PlaylistStore mine(folder), theirs(folder);
    const PlaylistInfo a = mine.add(QStringLiteral("Alpha"), QStringLiteral("https://x/a.m3u"), RefreshInterval::Daily);
    // Another process adds one meanwhile: both are kept, with different ids.
    const PlaylistInfo b = theirs.add(QStringLiteral("Beta"), QStringLiteral("/home/u/b.m3u"), RefreshInterval::Never);
    QVERIFY(a.id != b.id);
    const QDateTime when = QDateTime(QDate(2026, 12, 1), QTime(8, 0), Qt::UTC);
    dir.writeList(QStringLiteral("playlists/") + a.id + QStringLiteral(".CHL"), "<ChannelList/>");
    mine.recordRefresh(a.id, 42, when, {QStringLiteral("http://g/1.xml.gz")});
    PlaylistInfo renamed = *mine.find(b.id);
    renamed.name = QStringLiteral("Beta, renamed");
    mine.update(renamed);

    PlaylistStore later(folder);
    later.load();
    QCOMPARE(later.playlists().size(), 2);
    QCOMPARE(later.playlists()[0].channels, 42);
    QCOMPARE(later.playlists()[0].refreshed, when);
    QCOMPARE(later.playlists()[0].guides, QStringList({QStringLiteral("http://g/1.xml.gz")}));
    QCOMPARE(later.playlists()[0].interval, RefreshInterval::Daily);
    QCOMPARE(later.playlists()[1].name, QStringLiteral("Beta, renamed"));
    QVERIFY(later.hasList(a.id));
    later.remove(a.id);
    QVERIFY(!QFile::exists(later.listFile(a.id)));
    mine.load();
    QCOMPARE(mine.playlists().size(), 1);
    QVERIFY_THROWS_EXCEPTION(ZError, mine.update(a)); // removed meanwhile
}

void tst_PlaylistFetch::damagedIndexKeepsTheUsersPlaylists()
{
    TempAppDir dir;
    const QString folder = dir.file(QStringLiteral("playlists"));
    PlaylistStore store(folder);
    const PlaylistInfo web =
        store.add(QStringLiteral("Web"), QStringLiteral("https://x/a.m3u"), RefreshInterval::Daily);
    const PlaylistInfo own = store.add(QStringLiteral("Mine"), QStringLiteral("/home/u/b.m3u"), RefreshInterval::Never);
    for (const PlaylistInfo &p : {web, own})
        dir.writeList(QStringLiteral("playlists/") + p.id + QStringLiteral(".CHL"), "<ChannelList/>");
    // A server's 5 MB reason phrase with control characters: a line of it is kept.
    QByteArray reason(5 << 20, '\x01');
    reason.prepend("HTTP 500 ");
    store.recordFailure(web.id, QString::fromLatin1(reason) + QStringLiteral("tail"), QDateTime::currentDateTimeUtc());
    QCOMPARE(store.find(web.id)->error, QStringLiteral("HTTP 500 tail"));
    const QByteArray index = dir.read(QStringLiteral("playlists/index.json"));
    QVERIFY(index.size() < 4096);

    // The index is cut inside the second record: the first is read, the second list stays as recovered.
    const QByteArray cut = index.left(index.indexOf(own.id.toUtf8()));
    dir.write(QStringLiteral("playlists/index.json"), cut);
    PlaylistStore later(folder);
    later.load();
    QVERIFY(!later.damage().isEmpty());
    QCOMPARE(later.playlists().size(), 2);
    QCOMPARE(later.playlists()[0].name, QStringLiteral("Web"));
    QCOMPARE(later.playlists()[0].source, web.source);
    QCOMPARE(later.playlists()[1].id, own.id);
    QCOMPARE(later.playlists()[1].name, QStringLiteral("Playlist %1 (recovered)").arg(own.id));
    // Nothing readable at all: the lists are still there.
    dir.write(QStringLiteral("playlists/index.json"), "{\"playlists\": [");
    later.load();
    QCOMPARE(later.playlists().size(), 2);
    // The next change writes a sound index and keeps the damaged one.
    later.add(QStringLiteral("New"), QStringLiteral("/home/u/c.m3u"), RefreshInterval::Never);
    QCOMPARE(dir.read(QStringLiteral("playlists/index.json.damaged")), QByteArray("{\"playlists\": ["));
    PlaylistStore again(folder);
    again.load();
    QVERIFY(again.damage().isEmpty());
    QCOMPARE(again.playlists().size(), 3);
}

void tst_PlaylistFetch::refreshIsDue()
{
    const QDateTime now = QDateTime(QDate(2026, 12, 9), QTime(12, 0), Qt::UTC);
    PlaylistInfo p;
    p.interval = RefreshInterval::Daily;
    QVERIFY(p.isDue(now, false)); // never fetched
    p.refreshed = now.addSecs(-23 * 3600);
    QVERIFY(!p.isDue(now, false));
    p.refreshed = now.addSecs(-25 * 3600);
    QVERIFY(p.isDue(now, false));
    p.tried = now.addSecs(-600);
    p.error = QStringLiteral("down");
    QVERIFY(!p.isDue(now, true)); // failed ten minutes ago
    p.tried = now.addSecs(-2 * 3600);
    QVERIFY(p.isDue(now, false));
    p.interval = RefreshInterval::Weekly;
    QVERIFY(!p.isDue(now, false));
    p.interval = RefreshInterval::AtStartup;
    QVERIFY(p.isDue(now, true));
    QVERIFY(!p.isDue(now, false));
    p.interval = RefreshInterval::Never;
    QVERIFY(!p.isDue(now, true));
}

QTEST_GUILESS_MAIN(tst_PlaylistFetch)
#include "tst_playlistfetch.moc"
