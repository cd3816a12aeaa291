// Both engines show their picture on a Wayland display (Weston's headless backend).
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

extern "C" engine::Factory *zentavo_player_engines();

class tst_Wayland : public QObject
{
    Q_OBJECT

private slots:
    void bothEnginesShowTheirPicture();
};

void tst_Wayland::bothEnginesShowTheirPicture()
{
    if (QGuiApplication::platformName() != u"wayland")
        QSKIP("needs a Wayland display (run under tests/support/weston_run.sh)");
    qputenv("ZENTAVO_AUDIO_OUTPUT", "null");
    SetPlayerEngines(zentavo_player_engines());
    TestHttpServer http;
    Media::VideoMp4();
    Media::RealMedia();
    http.serveDirectory(Media::Folder());
    TempAppDir dir;
    dir.installCatalogue();
    TGlobal g(dir.path());
    Tfrm_Main w(g);
    ShowWithFirstList(w);
    PlaybackController *pc = w.playback();
    for (const char *path : {"/clip.mp4", "/clip.rm"}) {
        w.PlayStream(http.url(QString::fromLatin1(path)), QStringLiteral("Wayland"));
        QTRY_COMPARE_WITH_TIMEOUT(pc->PlayState, 3, 20000);
        QWidget *control = pc->CurrentEngine == 1 ? static_cast<QWidget *>(pc->wmplayer()) : pc->rePlayer();
        const auto centre = [&] {
            const QImage shot = w.grab().toImage();
            return shot.pixelColor(control->mapTo(&w, control->rect().center()) * shot.devicePixelRatio());
        };
        QTRY_VERIFY2_WITH_TIMEOUT(Media::Alike(centre(), Media::ClipColor()), qPrintable(centre().name()), 5000);
    }
    qInfo("first engine's picture: %s", pc->wmplayer()->findChild<MpvGlView *>() ? "OpenGL" : "software renderer");
    SetPlayerEngines(nullptr);
}

QTEST_MAIN(tst_Wayland)
#include "tst_wayland.moc"
