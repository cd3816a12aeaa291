#include "MediaFixtures.h"
#include "TestHttpServer.h"
#include "base/NetworkScope.h"
#include "playback/PlayerComponents.h"
#include "playback/engines/FrameView.h"

#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

extern "C" engine::Factory *zentavo_player_engines();

namespace {

QImage shot(QWidget *w)
{
    return w->grab().toImage();
}

QColor centre(const QImage &img)
{
    return img.isNull() ? QColor() : img.pixelColor(img.width() / 2, img.height() / 2);
}

// The clips have a band of another colour along their bottom.
bool rightWayUp(const QImage &img)
{
    return !img.isNull() &&
           Media::Alike(img.pixelColor(img.width() / 2, img.height() * 11 / 12), Media::BottomColor()) &&
           Media::Alike(img.pixelColor(img.width() / 2, img.height() / 12), Media::ClipColor());
}

// Both engines in a shown window, with what they report.
struct Rig
{
    QWidget host;
    std::unique_ptr<TWmPlayer> wm;
    std::unique_ptr<TRePlayer> re;
    QList<int> wmStates, reStates;
    QStringList reStatus;
    int wmErrors = 0;

    Rig()
    {
        host.resize(400, 300);
        engine::Factory *f = zentavo_player_engines();
        QString why;
        const auto maker = [f, &why](engine::Kind k) {
            return [f, k, &why](QWidget *p, engine::Events &e) {
                return f->create(k, p, e, &why);
            };
        };
        wm = std::make_unique<TWmPlayer>(&host, maker(engine::Kind::Media));
        re = std::make_unique<TRePlayer>(&host, maker(engine::Kind::Stream));
        if (!wm->isValid() || !re->isValid())
            qFatal("engines unavailable: %s", qPrintable(why));
        wm->setGeometry(0, 0, 320, 240);
        re->setGeometry(0, 0, 320, 240);
        QObject::connect(wm.get(), &TWmPlayer::OnPlayStateChange, [this](int s) { wmStates.append(s); });
        QObject::connect(wm.get(), &TWmPlayer::OnError, [this] { ++wmErrors; });
        QObject::connect(re.get(), &TRePlayer::OnPlayStateChange, [this](int s) { reStates.append(s); });
        QObject::connect(re.get(), &TRePlayer::OnShowStatus, [this](const QString &s) { reStatus.append(s); });
        host.show();
    }
    void playWm(const QString &address)
    {
        wm->setURL(address);
        wm->controls.play();
    }
    void playRe(const QString &address)
    {
        re->SetSource(address);
        re->DoPlay();
    }
    QImage reFrame() const { return re->findChild<FrameView *>()->frame(); }
};

} // namespace

class tst_Engines : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void mediaEnginePlaysHttpClip();
    void mediaEnginePausesStopsAndEnds();
    void mediaEngineVolumeAndMute();
    void mediaEngineAudioOnly();
    void mediaEngineErrors_data();
    void mediaEngineErrors();
    void streamEnginePlaysRealMedia();
    void streamEnginePausesStopsAndEnds();
    void streamEngineVolumeAndMute();
    void streamEngineErrors_data();
    void streamEngineErrors();
    void streamEngineResolvesPlaylists();
    void streamEnginePlaysRtsp();
    void oddAddressesEndQuietly();
    void switchingAndClosingMidStream();
    void requestHeadersReachTheServer();
    void webListsStayOffThisComputer();

private:
    std::unique_ptr<TestHttpServer> m_http;
};

void tst_Engines::initTestCase()
{
    qputenv("ZENTAVO_AUDIO_OUTPUT", "null");
    qputenv("ZENTAVO_CONTACT_TIMEOUT_MS", "6000");
    m_http = std::make_unique<TestHttpServer>();
    Media::VideoMp4();
    Media::ShortMp4();
    Media::RealMedia();
    Media::AudioOnly();
    Media::RandomBytes();
    m_http->serveDirectory(Media::Folder());
    m_http->script(QStringLiteral("/page.html"),
                   HttpReply(200, "OK", "<html><body><p>Welcome to our station!</p></body></html>",
                             "Content-Type: text/html\r\n"));
    m_http->script(QStringLiteral("/empty.mp4"), HttpReply(200, "OK", {}));
    m_http->script(QStringLiteral("/empty.rm"), HttpReply(200, "OK", {}));
    TestHttpServer::Reply silent;
    silent.silent = true;
    m_http->script(QStringLiteral("/silent.mp4"), silent);
    m_http->script(QStringLiteral("/silent.rm"), silent);
}

void tst_Engines::mediaEnginePlaysHttpClip()
{
    Rig rig;
    const QString url = m_http->url(QStringLiteral("/clip.mp4"));
    rig.playWm(url);
    QCOMPARE(rig.wm->status(), QStringLiteral("Connecting..."));
    QTRY_COMPARE_WITH_TIMEOUT(rig.wm->playState(), 3, 15000);
    QCOMPARE(rig.wmStates.first(), 9);
    QCOMPARE(rig.wm->status(), QStringLiteral("Playing"));
    QCOMPARE(rig.wm->currentMedia.imageSourceWidth(), 320);
    QCOMPARE(rig.wm->currentMedia.imageSourceHeight(), 240);
    QCOMPARE(rig.wm->currentMedia.sourceURL(), url);
    QCOMPARE(rig.wm->URL(), url);
    QTRY_VERIFY_WITH_TIMEOUT(Media::Alike(centre(shot(rig.wm.get())), Media::ClipColor()), 5000);
    QVERIFY(rightWayUp(shot(rig.wm.get())));
    QCOMPARE(rig.wmErrors, 0);
}

void tst_Engines::mediaEnginePausesStopsAndEnds()
{
    Rig rig;
    rig.playWm(m_http->url(QStringLiteral("/clip.mp4")));
    QTRY_COMPARE_WITH_TIMEOUT(rig.wm->playState(), 3, 15000);
    rig.wm->controls.pause();
    QTRY_COMPARE(rig.wm->playState(), 2);
    QCOMPARE(rig.wm->status(), QStringLiteral("Paused"));
    rig.wm->controls.play();
    QTRY_COMPARE(rig.wm->playState(), 3);
    rig.wm->controls.stop();
    QTRY_COMPARE(rig.wm->playState(), 1);
    QCOMPARE(rig.wm->status(), QStringLiteral("Stopped"));
    // Play after stop opens the stream again.
    rig.wm->controls.play();
    QTRY_COMPARE_WITH_TIMEOUT(rig.wm->playState(), 3, 15000);
    // A short clip plays to its end.
    rig.wmStates.clear();
    rig.playWm(m_http->url(QStringLiteral("/short.mp4")));
    QTRY_COMPARE_WITH_TIMEOUT(rig.wm->playState(), 1, 15000);
    QVERIFY(rig.wmStates.contains(3));
    QCOMPARE(rig.wmStates.mid(rig.wmStates.size() - 2), QList<int>({8, 1}));
    // Replacing a stream reports no stop in between.
    rig.playWm(m_http->url(QStringLiteral("/clip.mp4")));
    QTRY_COMPARE_WITH_TIMEOUT(rig.wm->playState(), 3, 15000);
    rig.wmStates.clear();
    rig.playWm(m_http->url(QStringLiteral("/clip.mp4")));
    QTRY_COMPARE_WITH_TIMEOUT(rig.wmStates.lastIndexOf(3) > 0, true, 15000);
    QVERIFY(!rig.wmStates.contains(1));
}

void tst_Engines::mediaEngineVolumeAndMute()
{
    Rig rig;
    rig.wm->settings.setVolume(30);
    QTRY_COMPARE(qRound(rig.wm->engine().outputVolume() * 100), 30);
    rig.wm->settings.setMute(true);
    QTRY_VERIFY(rig.wm->engine().outputMuted());
    rig.playWm(m_http->url(QStringLiteral("/clip.mp4")));
    QTRY_COMPARE_WITH_TIMEOUT(rig.wm->playState(), 3, 15000);
    rig.wm->settings.setVolume(100);
    rig.wm->settings.setMute(false);
    QTRY_COMPARE(qRound(rig.wm->engine().outputVolume() * 100), 100);
    QTRY_VERIFY(!rig.wm->engine().outputMuted());
}

void tst_Engines::mediaEngineAudioOnly()
{
    Rig rig;
    rig.playWm(m_http->url(QStringLiteral("/tone.mp3")));
    QTRY_COMPARE_WITH_TIMEOUT(rig.wm->playState(), 3, 15000);
    QCOMPARE(rig.wm->currentMedia.imageSourceWidth(), 0);
    QCOMPARE(rig.wm->currentMedia.imageSourceHeight(), 0);
}

// Failures the engines report in words a user understands, whatever engine met them.
void addFailureRows(const QString &ext)
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("says");
    QTest::newRow("404") << QStringLiteral("/missing") + ext << QStringLiteral("no stream at this address (HTTP 404");
    QTest::newRow("random bytes") << QStringLiteral("/noise.mp4") << QStringLiteral("no audio or video");
    QTest::newRow("html page") << QStringLiteral("/page.html") << QStringLiteral("no audio or video");
    QTest::newRow("empty reply") << QStringLiteral("/empty") + ext << QStringLiteral("no audio or video");
    QTest::newRow("unresolvable host") << QStringLiteral("http://no-such-host.invalid/clip") + ext
                                       << QStringLiteral("name could not be found");
    QTest::newRow("refused connection") << QStringLiteral("http://127.0.0.1:1/clip") + ext
                                        << QStringLiteral("refused the connection");
    QTest::newRow("silent server") << QStringLiteral("/silent") + ext << QStringLiteral("did not answer in time");
}

void tst_Engines::mediaEngineErrors_data()
{
    addFailureRows(QStringLiteral(".mp4"));
    QTest::newRow("missing local file") << QStringLiteral("file:///nonexistent/dir/clip.mp4")
                                        << QStringLiteral("file does not exist");
}

void tst_Engines::mediaEngineErrors()
{
    QFETCH(QString, address);
    QFETCH(QString, says);
    Rig rig;
    rig.playWm(address.startsWith(u'/') ? m_http->url(address) : address);
    QTRY_COMPARE_WITH_TIMEOUT(rig.wmErrors, 1, 20000);
    QCOMPARE(rig.wm->playState(), 10);
    QVERIFY2(rig.wm->status().startsWith(QStringLiteral("Error: ")) && rig.wm->status().contains(says),
             qPrintable(rig.wm->status()));
    QVERIFY(!rig.wm->errorDescription().isEmpty());
    QVERIFY(!rig.wmStates.contains(3));
}

void tst_Engines::streamEnginePlaysRealMedia()
{
    Rig rig;
    rig.playRe(m_http->url(QStringLiteral("/clip.rm")));
    QCOMPARE(rig.re->GetPlayState(), 1);
    QCOMPARE(rig.reStatus.first(), QStringLiteral("Contacting..."));
    QTRY_COMPARE_WITH_TIMEOUT(rig.re->GetPlayState(), 3, 15000);
    QCOMPARE(rig.reStates.first(), 1);
    QCOMPARE(rig.reStatus.last(), QStringLiteral("Playing"));
    QTRY_COMPARE(rig.re->GetClipWidth(), 320);
    QCOMPARE(rig.re->GetClipHeight(), 240);
    QTRY_VERIFY(Media::Alike(centre(rig.reFrame()), Media::ClipColor()));
    QVERIFY(Media::Alike(centre(shot(rig.re.get())), Media::ClipColor()));
    QVERIFY(rightWayUp(rig.reFrame()));
    QVERIFY(rightWayUp(shot(rig.re.get())));
    // The first engine's formats play here as well.
    rig.playRe(m_http->url(QStringLiteral("/clip.mp4")));
    QTRY_COMPARE_WITH_TIMEOUT(rig.re->GetPlayState(), 3, 15000);
}

void tst_Engines::streamEnginePausesStopsAndEnds()
{
    Rig rig;
    rig.playRe(m_http->url(QStringLiteral("/clip.rm")));
    QTRY_COMPARE_WITH_TIMEOUT(rig.re->GetPlayState(), 3, 15000);
    rig.re->DoPlayPause();
    QTRY_COMPARE(rig.re->GetPlayState(), 4);
    QCOMPARE(rig.reStatus.last(), QStringLiteral("Paused"));
    rig.re->DoPlayPause();
    QTRY_COMPARE(rig.re->GetPlayState(), 3);
    rig.re->DoStop();
    QCOMPARE(rig.re->GetPlayState(), 0);
    QCOMPARE(rig.reStatus.last(), QStringLiteral("Stopped"));
    rig.re->DoPlay();
    QTRY_COMPARE_WITH_TIMEOUT(rig.re->GetPlayState(), 3, 15000);
    rig.reStates.clear();
    QTRY_COMPARE_WITH_TIMEOUT(rig.re->GetPlayState(), 0, 15000); // the clip ends
    QCOMPARE(rig.reStatus.last(), QStringLiteral("Stopped"));
}

void tst_Engines::streamEngineVolumeAndMute()
{
    Rig rig;
    rig.re->SetVolume(40);
    QCOMPARE(qRound(rig.re->engine().outputVolume() * 100), 40);
    rig.re->SetMute(true);
    QVERIFY(rig.re->engine().outputMuted());
    rig.re->SetMute(false);
    QVERIFY(!rig.re->engine().outputMuted());
}

void tst_Engines::streamEngineErrors_data()
{
    addFailureRows(QStringLiteral(".rm"));
    QTest::newRow("rtsp refused") << QStringLiteral("rtsp://127.0.0.1:1/test")
                                  << QStringLiteral("refused the connection");
    QTest::newRow("rtsp unresolvable host")
        << QStringLiteral("rtsp://no-such-host.invalid/test") << QStringLiteral("name could not be found");
    QTest::newRow("playlist to nowhere") << QStringLiteral("http://127.0.0.1:1/list.pls")
                                         << QStringLiteral("refused the connection");
}

void tst_Engines::streamEngineErrors()
{
    QFETCH(QString, address);
    QFETCH(QString, says);
    Rig rig;
    rig.playRe(address.startsWith(u'/') ? m_http->url(address) : address);
    QTRY_VERIFY_WITH_TIMEOUT(rig.reStatus.last().startsWith(QStringLiteral("Error: ")), 20000);
    QVERIFY2(rig.reStatus.last().contains(says), qPrintable(rig.reStatus.last()));
    QCOMPARE(rig.re->GetPlayState(), 0);
    QVERIFY(!rig.reStates.contains(3));
}

void tst_Engines::streamEngineResolvesPlaylists()
{
    QTemporaryDir dir;
    Rig rig;
    m_http->script(
        QStringLiteral("/live.pls"),
        HttpReply(200, "OK", "[playlist]\nFile1=" + m_http->url(QStringLiteral("/clip.rm")).toUtf8() + "\n"));
    rig.playRe(m_http->url(QStringLiteral("/live.pls")));
    QTRY_COMPARE_WITH_TIMEOUT(rig.re->GetPlayState(), 3, 15000);
    QTRY_COMPARE(rig.re->GetClipWidth(), 320);

    // A local .m3u with a relative entry, leading to an .ram that leads to the clip.
    m_http->script(QStringLiteral("/show.ram"),
                   HttpReply(200, "OK", m_http->url(QStringLiteral("/clip.rm")).toUtf8() + "\n"));
    QFile m3u(dir.filePath(QStringLiteral("list.m3u")));
    QVERIFY(m3u.open(QIODevice::WriteOnly));
    m3u.write("#EXTM3U\n" + m_http->url(QStringLiteral("/show.ram")).toUtf8() + "\n");
    m3u.close();
    rig.playRe(m3u.fileName());
    QTRY_COMPARE_WITH_TIMEOUT(rig.re->GetPlayState(), 3, 15000);

    // Pointing nowhere, at itself, or at nothing at all.
    m_http->script(
        QStringLiteral("/nowhere.pls"),
        HttpReply(200, "OK", "[playlist]\nFile1=" + m_http->url(QStringLiteral("/gone.rm")).toUtf8() + "\n"));
    m_http->script(QStringLiteral("/self.m3u"),
                   HttpReply(200, "OK", m_http->url(QStringLiteral("/self.m3u")).toUtf8() + "\n"));
    m_http->script(QStringLiteral("/empty.smil"), HttpReply(200, "OK", "<smil><body/></smil>"));
    const QList<QPair<QString, QString>> broken = {
        {QStringLiteral("/nowhere.pls"), QString()},
        {QStringLiteral("/self.m3u"), QStringLiteral("Error: The playlist points at itself.")},
        {QStringLiteral("/empty.smil"), QStringLiteral("Error: The playlist names no stream to play.")},
        {QStringLiteral("/missing.pls"), QString()},
    };
    for (const auto &[path, expected] : broken) {
        rig.reStatus.clear();
        rig.playRe(m_http->url(path));
        QTRY_VERIFY_WITH_TIMEOUT(!rig.reStatus.isEmpty() && rig.reStatus.last().startsWith(QStringLiteral("Error: ")),
                                 15000);
        if (!expected.isEmpty())
            QCOMPARE(rig.reStatus.last(), expected);
        QCOMPARE(rig.re->GetPlayState(), 0);
    }
}

void tst_Engines::streamEnginePlaysRtsp()
{
    QProcess server;
    server.start(QStringLiteral(ZENTAVO_TEST_RTSP), {});
    QVERIFY(server.waitForReadyRead(10000));
    const QByteArray line = server.readLine().trimmed();
    QVERIFY2(line.startsWith("port "), line.constData());
    Rig rig;
    rig.playRe(QStringLiteral("rtsp://127.0.0.1:%1/test").arg(QString::fromLatin1(line.mid(5))));
    QTRY_COMPARE_WITH_TIMEOUT(rig.re->GetPlayState(), 3, 20000);
    QTRY_COMPARE(rig.re->GetClipWidth(), 320);
    QTRY_VERIFY_WITH_TIMEOUT(Media::Alike(centre(rig.reFrame()), Media::ClipColor()), 5000);
    rig.re->DoStop();
    server.kill();
    server.waitForFinished();
}

void tst_Engines::oddAddressesEndQuietly()
{
    Rig rig;
    for (const QString &address : {m_http->url(QStringLiteral("/a file é.mp4")), QStringLiteral("   "),
                                   QStringLiteral("http://[::1"), QStringLiteral("ftp://127.0.0.1:1/x.rm")}) {
        rig.playWm(address);
        rig.playRe(address);
        QTRY_VERIFY_WITH_TIMEOUT(rig.re->GetPlayState() == 0, 15000);
        QTRY_VERIFY_WITH_TIMEOUT(rig.wm->playState() != 9 && rig.wm->playState() != 6, 15000);
        QVERIFY(rig.wm->playState() != 3);
    }
}

void tst_Engines::switchingAndClosingMidStream()
{
    for (int round = 0; round < 3; ++round) {
        Rig rig;
        rig.playWm(m_http->url(QStringLiteral("/clip.mp4")));
        rig.playRe(m_http->url(QStringLiteral("/clip.rm")));
        QTest::qWait(50 * round);
        rig.wm->controls.stop();
        rig.playRe(m_http->url(QStringLiteral("/clip.mp4")));
        rig.playWm(m_http->url(QStringLiteral("/short.mp4")));
        // After the churn both engines still play what they are given last...
        QTRY_COMPARE_WITH_TIMEOUT(rig.wm->playState(), 3, 15000);
        QTRY_COMPARE_WITH_TIMEOUT(rig.re->GetPlayState(), 3, 15000);
        QCOMPARE(rig.wm->currentMedia.sourceURL(), m_http->url(QStringLiteral("/short.mp4")));
    } // ...and each rig is destroyed mid-stream.
}

void tst_Engines::requestHeadersReachTheServer()
{
    Rig rig;
    const engine::RequestHeaders wanted{QStringLiteral("Box/1.0 (test)"), QStringLiteral("http://portal.example/"),
                                        QStringLiteral("token=a1, b2; session=x")};
    rig.wm->setRequestHeaders(wanted);
    rig.playWm(m_http->url(QStringLiteral("/tone.mp3?wm-with")));
    rig.re->SetRequestHeaders(wanted);
    rig.playRe(m_http->url(QStringLiteral("/tone.mp3?re-with")));
    for (const char *tag : {"wm-with", "re-with"}) {
        QTRY_VERIFY_WITH_TIMEOUT(!m_http->requestWith(tag).isEmpty(), 15000);
        const QByteArray head = m_http->requestWith(tag);
        QVERIFY2(head.contains("User-Agent: Box/1.0 (test)\r\n"), head.constData());
        QVERIFY2(head.contains("Referer: http://portal.example/\r\n"), head.constData());
        QVERIFY2(head.contains("Cookie: token=a1, b2; session=x\r\n"), head.constData());
    }
    // Cleared, the engines' own headers come back.
    rig.wm->setRequestHeaders({});
    rig.playWm(m_http->url(QStringLiteral("/tone.mp3?wm-without")));
    rig.re->SetRequestHeaders({});
    rig.playRe(m_http->url(QStringLiteral("/tone.mp3?re-without")));
    for (const char *tag : {"wm-without", "re-without"}) {
        QTRY_VERIFY_WITH_TIMEOUT(!m_http->requestWith(tag).isEmpty(), 15000);
        const QByteArray head = m_http->requestWith(tag);
        QVERIFY2(head.contains("User-Agent: ") && !head.contains("Box/1.0"), head.constData());
        QVERIFY2(!head.contains("Referer:") && !head.contains("Cookie:"), head.constData());
    }
}

void tst_Engines::webListsStayOffThisComputer()
{
    // 127.0.0.3 plays a server on the internet; its playlists point back into this computer.
    TestHttpServer web(0, QHostAddress(QStringLiteral("127.0.0.3")));
    netscope::TreatAsPublic({QHostAddress(QStringLiteral("127.0.0.3"))});
    const auto restore = qScopeGuard([] { netscope::TreatAsPublic({}); });
    const QByteArray home = m_http->url(QStringLiteral("/clip.mp4?home")).toUtf8();
    web.script(QStringLiteral("/home.pls"), HttpReply(200, "OK", "[playlist]\nFile1=" + home + "\n"));
    web.script(QStringLiteral("/moved.pls"),
               HttpReply(302, "Found", {}, "Location: " + m_http->url(QStringLiteral("/list.pls")).toUtf8() + "\r\n"));
    web.script(QStringLiteral("/disk.m3u"), HttpReply(200, "OK", "file://" + Media::VideoMp4().toUtf8() + "\n"));
    m_http->script(QStringLiteral("/list.pls"), HttpReply(200, "OK", "[playlist]\nFile1=" + home + "\n"));
    m_http->clearRequests();
    engine::RequestHeaders fromWeb;
    fromWeb.fromWeb = true;

    Rig rig;
    rig.re->SetRequestHeaders(fromWeb);
    for (const char *path : {"/home.pls", "/moved.pls", "/disk.m3u"}) {
        rig.reStatus.clear();
        rig.playRe(web.url(QString::fromLatin1(path)));
        QTRY_VERIFY_WITH_TIMEOUT(!rig.reStatus.isEmpty() && rig.reStatus.last().startsWith(QStringLiteral("Error: ")),
                                 15000);
        QVERIFY2(rig.reStatus.last().contains(QStringLiteral("private address")) ||
                     rig.reStatus.last().contains(QStringLiteral("cannot open local files")),
                 qPrintable(rig.reStatus.last()));
    }
    rig.wm->setRequestHeaders(fromWeb);
    rig.playWm(web.url(QStringLiteral("/home.pls")));
    QTRY_VERIFY_WITH_TIMEOUT(rig.wmErrors > 0, 15000);
    QVERIFY2(rig.wm->status().contains(QStringLiteral("private address")), qPrintable(rig.wm->status()));
    QCOMPARE(m_http->requestsFor("/list.pls"), 0);
    QCOMPARE(m_http->requestsFor("/clip.mp4?home"), 0);

    // The same playlists from a list of the user's own play.
    rig.re->SetRequestHeaders({});
    rig.playRe(web.url(QStringLiteral("/moved.pls")));
    QTRY_COMPARE_WITH_TIMEOUT(rig.re->GetPlayState(), 3, 15000);
    rig.wm->setRequestHeaders({});
    rig.playWm(web.url(QStringLiteral("/home.pls")));
    QTRY_COMPARE_WITH_TIMEOUT(rig.wm->playState(), 3, 15000);
}

QTEST_MAIN(tst_Engines)
#include "tst_engines.moc"
