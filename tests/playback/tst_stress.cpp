// Many switches in a row, as a user zapping around would make them: streams of both engines,
// audio-only and video, stop, skin changes, size commands, the list shown and hidden, full
// screen. After every video start the window must show the picture (not black, not the idle
// panel). Runs offscreen (software video) and under Xvfb (OpenGL video).
#include "MediaFixtures.h"
#include "TestDirs.h"
#include "TestHttpServer.h"
#include "UiDriver.h"
#include "playback/PlaybackControl.h"
#include "playback/PlayerComponents.h"
#include "playback/VideoLayout.h"
#include "shell/U_frm_Main.h"
#include "base/pGloba.h"

#include <QAbstractButton>
#include <QAction>
#include <QMenu>
#include <QLabel>
#include <QTest>

#include <random>

extern "C" engine::Factory *zentavo_player_engines();

class tst_Stress : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void twoHundredSwitches();

private:
    std::unique_ptr<TestHttpServer> m_http;
};

void tst_Stress::initTestCase()
{
    qputenv("ZENTAVO_AUDIO_OUTPUT", "null");
    SetPlayerEngines(zentavo_player_engines());
    m_http = std::make_unique<TestHttpServer>();
    Media::LongMp4();
    Media::LongRealMedia();
    Media::LongAudio();
    m_http->serveDirectory(Media::Folder());
    m_http->script(QStringLiteral("/radio.pls"),
                   HttpReply(200, "OK", "[playlist]\nFile1=" + m_http->url(QStringLiteral("/long.mp3")).toUtf8() + "\n"));
}

void tst_Stress::cleanupTestCase()
{
    SetPlayerEngines(nullptr);
}

void tst_Stress::twoHundredSwitches()
{
    TempAppDir dir;
    dir.installCatalogue();
    dir.installSkins();
    TGlobal global(dir.path());
    Tfrm_Main w(global);
    ShowWithFirstList(w);
    PlaybackController *pc = w.playback();
    const QList<QAction *> skins = w.findChild<QMenu *>(QStringLiteral("menSkin"))->actions();
    QVERIFY(skins.size() >= 2);
    const auto action = [&](const char *name) { return w.findChild<QAction *>(QLatin1String(name)); };

    const quint32 seed = qEnvironmentVariableIsSet("ZENTAVO_STRESS_SEED")
                             ? quint32(qEnvironmentVariableIntValue("ZENTAVO_STRESS_SEED"))
                             : 20261209u;
    qInfo("seed %u (ZENTAVO_STRESS_SEED repeats a run)", seed);
    std::mt19937 random(seed);
    const auto pick = [&](int n) { return int(random() % quint32(n)); };

    struct Stream
    {
        const char *path;
        int engine;
        bool video;
    };
    const Stream streams[] = {{"/long.mp4", 1, true},
                              {"/long.mp3", 1, false},
                              {"/long.rm", 2, true},
                              {"/radio.pls", 2, false}};
    int videoStarts = 0;
    QStringList steps;
    for (int step = 0; step < 200; ++step) {
        const int what = pick(10);
        if (what < 5) {
            const Stream &s = streams[pick(4)];
            steps.append(QString::fromLatin1(s.path));
            pc->SetCurrentChannelType(s.video ? 1 : 2);
            w.PlayStream(m_http->url(QString::fromLatin1(s.path)), QStringLiteral("Step %1").arg(step));
            QCOMPARE(pc->CurrentEngine, s.engine);
            const auto status = [&] { return w.findChild<QLabel *>(QStringLiteral("labState"))->toolTip(); };
            QTRY_VERIFY2_WITH_TIMEOUT(pc->PlayState == 3, qPrintable(status() + u' ' + steps.join(u' ')), 15000);
            if (!s.video)
                continue;
            ++videoStarts;
            QWidget *control = s.engine == 1 ? static_cast<QWidget *>(pc->wmplayer()) : pc->rePlayer();
            QVERIFY2(control->isVisible() && control->width() >= 80 && control->height() >= 60,
                     qPrintable(steps.join(u' ')));
            // What the window shows at the picture's centre is the clip.
            const auto centre = [&] {
                const QImage shot = w.grab().toImage();
                const QPoint at = control->mapTo(&w, control->rect().center()) * shot.devicePixelRatio();
                return shot.pixelColor(at);
            };
            QTRY_VERIFY2_WITH_TIMEOUT(Media::Alike(centre(), Media::ClipColor()),
                                      qPrintable(centre().name() + u' ' + steps.join(u' ')), 5000);
        } else if (what == 5) {
            steps.append(QStringLiteral("stop"));
            action("actStop")->trigger();
            QTRY_VERIFY2_WITH_TIMEOUT(action("actPlay")->isEnabled(), qPrintable(steps.join(u' ')), 5000);
        } else if (what == 6) {
            QAction *skin = skins[pick(int(skins.size()))];
            steps.append(QStringLiteral("skin:") + skin->text());
            skin->trigger();
        } else if (what == 7) {
            static const char *sizes[] = {"act50", "act100", "act200"};
            const char *size = sizes[pick(3)];
            steps.append(QString::fromLatin1(size));
            action(size)->trigger();
        } else if (what == 8) {
            steps.append(QStringLiteral("list"));
            w.findChild<QAbstractButton *>(QStringLiteral("EzRgnBtn3"))->click();
        } else {
            steps.append(QStringLiteral("full"));
            action("actFull")->trigger();
        }
        QCoreApplication::processEvents();
    }
    qInfo("%d steps, %d video starts checked", int(steps.size()), videoStarts);
    QVERIFY(videoStarts >= 40);
}

QTEST_MAIN(tst_Stress)
#include "tst_stress.moc"
