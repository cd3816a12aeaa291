// The first engine's OpenGL path: video rendered by mpv into our QOpenGLWidget (runs under Xvfb).
#include "MediaFixtures.h"
#include "TestDirs.h"
#include "TestHttpServer.h"
#include "UiDriver.h"
#include "playback/PlaybackControl.h"
#include "playback/PlayerComponents.h"
#include "shell/U_frm_Main.h"
#include "shell/pGloba.h"

#include <QOpenGLWidget>
#include <QTest>

extern "C" engine::Factory *zentavo_player_engines();

class tst_GlVideo : public QObject
{
    Q_OBJECT

private slots:
    void rendersIntoOurOwnWidget();
};

void tst_GlVideo::rendersIntoOurOwnWidget()
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
    const QList<QWidget *> before = QApplication::topLevelWidgets();
    w.PlayStream(http.url(QStringLiteral("/clip.mp4")), QStringLiteral("GL"));
    TWmPlayer *wm = w.playback()->wmplayer();
    QVERIFY(wm);
    auto *view = wm->findChild<QOpenGLWidget *>();
    QVERIFY2(view, "no OpenGL view: the software path was taken");
    QTRY_COMPARE_WITH_TIMEOUT(w.playback()->PlayState, 3, 20000);
    QCOMPARE(view->size(), QSize(320, 240));
    QTRY_VERIFY_WITH_TIMEOUT(Media::Alike(view->grabFramebuffer().pixelColor(160, 60), Media::ClipColor()), 5000);
    // The right way up: the clip's bottom band is at the bottom.
    QVERIFY(Media::Alike(view->grabFramebuffer().pixelColor(160, 220), Media::BottomColor()));
    // No window of the engine's own appeared.
    QCOMPARE(QApplication::topLevelWidgets().size(), before.size());
    SetPlayerEngines(nullptr);
}

QTEST_MAIN(tst_GlVideo)
#include "tst_glvideo.moc"
