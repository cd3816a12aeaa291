// The first engine's OpenGL path under a real X server (runs under Xvfb): mpv renders with
// OpenGL off screen and the frame is shown in a plain widget, so the main window keeps the one
// native window it was created with.
#include "MediaFixtures.h"
#include "TestDirs.h"
#include "TestHttpServer.h"
#include "UiDriver.h"
#include "playback/PlaybackControl.h"
#include "playback/PlayerComponents.h"
#include "playback/engines/MpvViews.h"
#include "shell/U_frm_Main.h"
#include "base/pGloba.h"

#include <QTest>
#include <QWindow>

extern "C" engine::Factory *zentavo_player_engines();

class tst_GlVideo : public QObject
{
    Q_OBJECT

private slots:
    void rendersWithOpenGlInOneNativeWindow();
    void cpuDrawnOpenGlLeavesItToMpv();
};

void tst_GlVideo::cpuDrawnOpenGlLeavesItToMpv()
{
    if (QGuiApplication::platformName() != u"xcb")
        QSKIP("needs an X server (run under xvfb-run)");
    // Xvfb's OpenGL is Mesa's llvmpipe: mpv's software renderer is the cheaper way there.
    const QByteArray asked = qgetenv("ZENTAVO_VIDEO_OUTPUT");
    qunsetenv("ZENTAVO_VIDEO_OUTPUT");
    QVERIFY(!OpenGlAvailable());
    qputenv("ZENTAVO_VIDEO_OUTPUT", "gl");
    QVERIFY(OpenGlAvailable());
    qputenv("ZENTAVO_VIDEO_OUTPUT", asked);
}

void tst_GlVideo::rendersWithOpenGlInOneNativeWindow()
{
    if (QGuiApplication::platformName() != u"xcb")
        QSKIP("needs an X server (run under xvfb-run)");
    qputenv("ZENTAVO_AUDIO_OUTPUT", "null");
    SetPlayerEngines(zentavo_player_engines());
    TestHttpServer http;
    Media::VideoMp4();
    http.serveDirectory(Media::Folder());
    TempAppDir dir;
    dir.installCatalogue();
    TGlobal g(dir.path());
    Tfrm_Main w(g);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const WId nativeWindow = w.winId();
    const QWindow *handle = w.windowHandle();
    const QList<QWidget *> before = QApplication::topLevelWidgets();

    w.PlayStream(http.url(QStringLiteral("/clip.mp4")), QStringLiteral("GL"));
    TWmPlayer *wm = w.playback()->wmplayer();
    QVERIFY(wm);
    auto *view = wm->findChild<MpvGlView *>();
    QVERIFY2(view, "no OpenGL view: the software path was taken");
    QTRY_COMPARE_WITH_TIMEOUT(w.playback()->PlayState, 3, 20000);
    QCOMPARE(view->size(), QSize(320, 240));
    QTRY_VERIFY_WITH_TIMEOUT(Media::Alike(view->grab().toImage().pixelColor(160, 60), Media::ClipColor()), 5000);
    // The right way up: the clip's bottom band is at the bottom.
    QVERIFY(Media::Alike(view->grab().toImage().pixelColor(160, 220), Media::BottomColor()));

    // Playing did not re-create the window (it would blink and a window manager may move it).
    QCOMPARE(w.winId(), nativeWindow);
    QCOMPARE(w.windowHandle(), handle);
    QCOMPARE(w.windowHandle()->surfaceType(), QSurface::RasterSurface);
    // No window of the engine's own appeared.
    QCOMPARE(QApplication::topLevelWidgets().size(), before.size());
    SetPlayerEngines(nullptr);
}

QTEST_MAIN(tst_GlVideo)
#include "tst_glvideo.moc"
