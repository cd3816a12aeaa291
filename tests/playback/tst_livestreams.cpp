#include "MediaFixtures.h"
#include "PlayerWindow.h"
#include "TestHttpServer.h"
#include "UiDriver.h"
#include "playback/PlaybackControl.h"
#include "playback/PlayerComponents.h"
#include "playback/Reconnect.h"
#include "shell/U_frm_Main.h"

#include <QLabel>
#include <QTest>

extern "C" engine::Factory *zentavo_player_engines();

// Live streams that drop are tried again; a file that ends stays ended.
class tst_LiveStreams : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void liveStreamsComeBack();
    void stopEndsTheTriesAndFilesStayEnded();
    void secondEngineReconnectsToo();

private:
    std::unique_ptr<TestHttpServer> m_http;
};

using Window = PlayerWindow;

void tst_LiveStreams::initTestCase()
{
    qputenv("ZENTAVO_AUDIO_OUTPUT", "null");
    SetPlayerEngines(zentavo_player_engines());
    m_http = std::make_unique<TestHttpServer>();
    Media::ShortMp4();
    m_http->serveDirectory(Media::Folder());
}

void tst_LiveStreams::cleanupTestCase()
{
    SetPlayerEngines(nullptr);
}

namespace {

// A live stream: an MP3 without a length, sent as it plays and then closed (the station "drops").
std::unique_ptr<TestHttpServer> liveServer()
{
    auto server = std::make_unique<TestHttpServer>();
    server->script(QStringLiteral("/live.mp3"), Media::LiveAudioReply());
    return server;
}

} // namespace

void tst_LiveStreams::liveStreamsComeBack()
{
    auto server = liveServer();
    Window win;
    // The first wait is long enough to look at; the ones after it pass too quickly to poll, so
    // what the status said is taken at each try.
    win.pc->reconnect()->setDelays({1500, 300, 300, 300, 300});
    QStringList tries;
    QObject::connect(win.pc->reconnect(), &Reconnect::retry, win.w.get(), [&] { tries.append(win.status()); });
    win.pc->SetCurrentChannelType(2);
    win.w->PlayStream(server->url(QStringLiteral("/live.mp3")), QStringLiteral("Live"));
    QTRY_COMPARE_WITH_TIMEOUT(win.pc->PlayState, 3, 15000);
    // Its end is a drop: tried again, and it plays again.
    QTRY_VERIFY_WITH_TIMEOUT(win.pc->reconnect()->isWaiting(), 30000);
    QCOMPARE(win.status(), QStringLiteral("Reconnecting (1/5)..."));
    QVERIFY(win.enabled("imgStop"));
    QTRY_VERIFY_WITH_TIMEOUT(server->requestsFor("/live.mp3") >= 2 && win.pc->PlayState == 3, 30000);
    QTRY_COMPARE(win.status(), QStringLiteral("Playing"));

    // Gone for good: five tries, then why the last failed.
    tries.clear();
    server.reset();
    const Reconnect *reconnect = win.pc->reconnect();
    QTRY_VERIFY_WITH_TIMEOUT(tries.size() == 5 && !reconnect->isTrying() && !reconnect->isWaiting(), 30000);
    QCOMPARE(tries, (QStringList{"Reconnecting (1/5)...", "Reconnecting (2/5)...", "Reconnecting (3/5)...",
                                 "Reconnecting (4/5)...", "Reconnecting (5/5)..."}));
    QTRY_VERIFY(!win.enabled("imgStop"));
    QVERIFY(win.enabled("imgPlay"));
    QVERIFY2(child<QLabel>(*win.w, "labState")->toolTip().startsWith(QStringLiteral("Error: ")),
             qPrintable(child<QLabel>(*win.w, "labState")->toolTip()));
}

void tst_LiveStreams::stopEndsTheTriesAndFilesStayEnded()
{
    auto server = liveServer();
    Window win;
    win.pc->reconnect()->setDelays({1500, 1500, 1500, 1500, 1500});
    win.pc->SetCurrentChannelType(2);
    win.w->PlayStream(server->url(QStringLiteral("/live.mp3")), QStringLiteral("Live"));
    QTRY_VERIFY_WITH_TIMEOUT(win.status().startsWith(QStringLiteral("Reconnecting (1/5)...")), 30000);
    win.action("actStop")->trigger();
    QVERIFY(!win.enabled("imgStop"));
    QTest::qWait(2500);
    QCOMPARE(server->requestsFor("/live.mp3"), 1);
    QVERIFY(!win.status().startsWith(QStringLiteral("Reconnecting")));

    // A file with a length that ends stays ended.
    win.pc->SetCurrentChannelType(1);
    win.w->PlayStream(m_http->url(QStringLiteral("/short.mp4")), QStringLiteral("Short"));
    QTRY_COMPARE_WITH_TIMEOUT(win.pc->PlayState, 3, 15000);
    QTRY_VERIFY_WITH_TIMEOUT(win.enabled("imgPlay"), 15000);
    QTest::qWait(500);
    QVERIFY(!win.status().startsWith(QStringLiteral("Reconnecting")));
    QVERIFY(!win.pc->reconnect()->isWaiting());
}

void tst_LiveStreams::secondEngineReconnectsToo()
{
    auto server = liveServer();
    server->script(QStringLiteral("/live.pls"), HttpReply(200, "OK",
                                                          "[playlist]\nNumberOfEntries=1\nFile1=" +
                                                              server->url(QStringLiteral("/live.mp3")).toUtf8() + '\n',
                                                          "Content-Type: audio/x-scpls\r\n"));
    Window win;
    win.pc->reconnect()->setDelays({1500, 300, 300, 300, 300});
    win.pc->SetCurrentChannelType(2);
    win.w->PlayStream(server->url(QStringLiteral("/live.pls")), QStringLiteral("Live"));
    QCOMPARE(win.pc->CurrentEngine, 2);
    QTRY_COMPARE_WITH_TIMEOUT(win.pc->PlayState, 3, 15000);
    QTRY_VERIFY_WITH_TIMEOUT(win.pc->reconnect()->isWaiting(), 30000);
    QCOMPARE(win.status(), QStringLiteral("Reconnecting (1/5)..."));
    QTRY_VERIFY_WITH_TIMEOUT(server->requestsFor("/live.mp3") >= 2 && win.pc->PlayState == 3, 30000);
}

QTEST_MAIN(tst_LiveStreams)
#include "tst_livestreams.moc"
