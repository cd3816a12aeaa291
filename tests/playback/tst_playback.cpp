#include "ListMaker.h"
#include "MediaFixtures.h"
#include "PlayerWindow.h"
#include "TestDirs.h"
#include "TestHttpServer.h"
#include "UiDriver.h"
#include "appearance/AnimatedPicture.h"
#include "base/pGloba.h"
#include "catalogue/ChannelTree.h"
#include "playback/PlaybackControl.h"
#include "playback/PlayerComponents.h"
#include "playback/VideoLayout.h"
#include "playback/VolumeControl.h"
#include "shell/U_frm_Main.h"

#include "catalogue/ListCipher.h"
#include "playback/AudioArtwork.h"
#include "playlists/PlaylistList.h"
#include "playlists/PlaylistReader.h"
#include <QAbstractButton>
#include <QAction>
#include <QBuffer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <QWheelEvent>

extern "C" engine::Factory *zentavo_player_engines();

namespace {

using Window = PlayerWindow;

bool animating(const PlayerWindow &win)
{
    return child<AnimatedPicture>(*win.w, "gifConMedia")->Animate();
}

} // namespace

class tst_Playback : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void firstEngineThroughTheStates();
    void secondEngineForRealMediaAddresses();
    void commandsFollowTheStates();
    void playWithoutStreamOpensOpenUrl();
    void radioChannelIsFitted();
    void popupOffersSizesOnlyForVideo();
    void errorReturnsToIdleWithReason();
    void volumeAndMuteReachTheEngine();
    void doubleSizeOfRealClip();
    void fullScreenAndBack();
    void fullScreenAlwaysFills();
    void muteSurvivesFullScreen_data();
    void muteSurvivesFullScreen();
    void treeSearchAndOpenUrlPlay();
    void treeKeepsTheKeyboardWhileVideoPlays();
    void playerKeysAndWheel();
    void windowShortcuts();
    void rememberedVolumeReachesTheEngines();
    void pictureFollowsTheVideoSize_data();
    void pictureFollowsTheVideoSize();
    void aLaterStartsRequestPlaysAndRaises();
    void playWhilePlayingDoesNothing_data();
    void playWhilePlayingDoesNothing();
    void closingMidStream();
    void playlistHeadersGoWithTheirChannelOnly();
    void radioShowsItsLogo();
    void zappingKeysWorkInFullScreen();

private:
    std::unique_ptr<TestHttpServer> m_http;
};

void tst_Playback::initTestCase()
{
    qputenv("ZENTAVO_AUDIO_OUTPUT", "null");
    SetPlayerEngines(zentavo_player_engines());
    m_http = std::make_unique<TestHttpServer>();
    Media::VideoMp4();
    Media::RealMedia();
    Media::AudioOnly();
    Media::ShortMp4();
    Media::LongMp4(); // for tests that need it to go on playing meanwhile
    Media::ResizingTs();
    m_http->serveDirectory(Media::Folder());
}

void tst_Playback::cleanupTestCase()
{
    SetPlayerEngines(nullptr);
}

void tst_Playback::firstEngineThroughTheStates()
{
    Window win;
    const QString url = m_http->url(QStringLiteral("/clip.mp4"));
    win.w->PlayStream(url, QStringLiteral("Clip One"));
    QCOMPARE(win.pc->CurrentEngine, 1);
    QCOMPARE(win.w->windowTitle(), QStringLiteral("Zentavo - Playing -> Clip One"));
    QVERIFY(!win.enabled("imgPlay") && win.enabled("imgPause") && win.enabled("imgStop"));
    QVERIFY(!win.action("actPlay")->isEnabled() && win.action("actStop")->isEnabled());
    QVERIFY(!win.pc->wmplayer()->isHidden());
    QVERIFY(win.pc->rePlayer()->isHidden());
    QTRY_VERIFY(animating(win)); // connecting
    QVERIFY(child(*win.w, "panFlash")->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(win.pc->PlayState, 3, 15000);
    QVERIFY(!animating(win));
    QVERIFY(!child(*win.w, "panFlash")->isVisible());
    QVERIFY(child(*win.w, "imgWmplay")->isVisible());
    QCOMPARE(win.status(), QStringLiteral("Playing"));
    QCOMPARE(win.pc->CurrentUrl, url);
    // Natural size, centred.
    QWidget *area = child(*win.w, "imgWmplay");
    QCOMPARE(win.pc->wmplayer()->geometry(), QRect((area->width() - 320) / 2, (area->height() - 240) / 2, 320, 240));
    QTRY_VERIFY(Media::Alike(win.pc->wmplayer()->grab().toImage().pixelColor(160, 120), Media::ClipColor()));
    // The first engine starts at volume 50 whatever the knob shows.
    QCOMPARE(qRound(win.pc->wmplayer()->engine().outputVolume() * 100), 50);
}

void tst_Playback::secondEngineForRealMediaAddresses()
{
    Window win;
    win.w->PlayStream(m_http->url(QStringLiteral("/clip.rm")), QStringLiteral("Real"));
    QCOMPARE(win.pc->CurrentEngine, 2);
    QVERIFY(!win.pc->rePlayer()->isHidden());
    QVERIFY(win.pc->wmplayer()->isHidden());
    QTRY_COMPARE_WITH_TIMEOUT(win.pc->PlayState, 3, 15000);
    QCOMPARE(win.status(), QStringLiteral("Playing"));
    QCOMPARE(win.pc->rePlayer()->size(), QSize(320, 240));
    // The engine changes with the next address; the one left behind is stopped and hidden.
    win.w->PlayStream(m_http->url(QStringLiteral("/clip.mp4")), QStringLiteral("Mp4"));
    QCOMPARE(win.pc->CurrentEngine, 1);
    QVERIFY(win.pc->rePlayer()->isHidden());
    QCOMPARE(win.pc->rePlayer()->size(), QSize(1, 1));
    QCOMPARE(win.pc->rePlayer()->GetPlayState(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(win.pc->PlayState, 3, 15000);
    QCOMPARE(win.w->windowTitle(), QStringLiteral("Zentavo - Playing -> Mp4"));
}

void tst_Playback::commandsFollowTheStates()
{
    Window win;
    // Before the first play, pause and stop do nothing.
    win.action("actPause")->trigger();
    QVERIFY(!win.pc->wmplayer());
    win.w->PlayStream(m_http->url(QStringLiteral("/clip.mp4")), QStringLiteral("C"));
    QTRY_COMPARE_WITH_TIMEOUT(win.pc->PlayState, 3, 15000);
    // Play while playing does nothing.
    win.action("actPlay")->setEnabled(true);
    win.action("actPlay")->trigger();
    QCOMPARE(win.pc->PlayState, 3);
    QTest::mouseClick(child(*win.w, "imgPause"), Qt::LeftButton, {}, QPoint(11, 11));
    QTRY_COMPARE(win.pc->PlayState, 2);
    QVERIFY(win.enabled("imgPlay") && !win.enabled("imgPause") && win.enabled("imgStop"));
    QCOMPARE(win.status(), QStringLiteral("Paused"));
    // Play while paused resumes on the engine chosen from CurrentUrl; the caption stays.
    win.action("actPlay")->trigger();
    QTRY_COMPARE(win.pc->PlayState, 3);
    QCOMPARE(win.w->windowTitle(), QStringLiteral("Zentavo - Playing -> C"));
    win.action("actStop")->trigger();
    QTRY_COMPARE(win.pc->PlayState, 1);
    QVERIFY(win.enabled("imgPlay") && !win.enabled("imgPause") && !win.enabled("imgStop"));
    QVERIFY(child(*win.w, "panFlash")->isVisible());
    QCOMPARE(win.w->windowTitle(), QStringLiteral("Zentavo - Playing -> C")); // stopping keeps the caption
    // The second engine pauses and stops the same way.
    win.w->PlayStream(m_http->url(QStringLiteral("/clip.rm")), QStringLiteral("R"));
    QTRY_COMPARE_WITH_TIMEOUT(win.pc->PlayState, 3, 15000);
    win.action("actPause")->trigger();
    QTRY_COMPARE(win.pc->PlayState, 4);
    QVERIFY(win.enabled("imgPlay") && !win.enabled("imgPause"));
    win.action("actPlay")->trigger();
    QTRY_COMPARE(win.pc->PlayState, 3);
    win.action("actStop")->trigger();
    QTRY_COMPARE(win.pc->PlayState, 0);
    QVERIFY(child(*win.w, "panFlash")->isVisible());
}

void tst_Playback::playWithoutStreamOpensOpenUrl()
{
    Window win;
    bool opened = false;
    WhenModal([&](QWidget *dlg) {
        opened = dlg->objectName() == QStringLiteral("TFrmOpenMedia");
        dlg->findChild<QPushButton *>(QStringLiteral("btnCancel"))->click();
    });
    QTest::mouseClick(child(*win.w, "imgPlay"), Qt::LeftButton, {}, QPoint(15, 15));
    QVERIFY(opened);
    QVERIFY(!win.pc->wmplayer()); // cancelled: nothing handed to playback
}

void tst_Playback::radioChannelIsFitted()
{
    Window win;
    win.pc->SetCurrentChannelType(2);
    win.w->PlayStream(m_http->url(QStringLiteral("/tone.mp3")), QStringLiteral("Radio"));
    QTRY_COMPARE_WITH_TIMEOUT(win.pc->PlayState, 3, 15000);
    QVERIFY(win.action("act50")->isChecked());
    QCOMPARE(win.w->videoLayout()->VideoScale, 0);
    QCOMPARE(win.pc->wmplayer()->geometry(), child(*win.w, "imgWmplay")->rect());
    // A stream opened by address afterwards is still treated as radio; a TV channel is fitted.
    win.pc->SetCurrentChannelType(1);
    win.w->PlayStream(m_http->url(QStringLiteral("/clip.mp4")), QStringLiteral("TV"));
    QTRY_COMPARE_WITH_TIMEOUT(win.pc->PlayState, 3, 15000);
    QCOMPARE(win.pc->wmplayer()->geometry(), child(*win.w, "imgWmplay")->rect());
    QCOMPARE(win.w->size(), QSize(640, 435));
}

void tst_Playback::popupOffersSizesOnlyForVideo()
{
    Window win;
    win.w->PlayStream(m_http->url(QStringLiteral("/clip.mp4")), QStringLiteral("C"));
    QTRY_COMPARE_WITH_TIMEOUT(win.pc->PlayState, 3, 15000);
    QMenu *pop = win.w->popControlMenu();
    QWidget *target = win.pc->wmplayer()->findChildren<QWidget *>().value(0, win.pc->wmplayer());
    win.pc->SetCurrentChannelType(2);
    QTest::mousePress(target, Qt::RightButton, {}, QPoint(5, 5));
    QVERIFY(pop->isVisible());
    pop->hide();
    for (const char *a : {"act50", "act100", "act200", "actFull"})
        QVERIFY(!win.action(a)->isEnabled());
    QVERIFY(win.action("actPause")->isEnabled());
    win.pc->SetCurrentChannelType(1);
    QTest::mousePress(child(*win.w, "imgWmplay"), Qt::RightButton, {}, QPoint(2, 2));
    QVERIFY(pop->isVisible());
    pop->hide();
    for (const char *a : {"act50", "act100", "act200", "actFull"})
        QVERIFY(win.action(a)->isEnabled());
    // A right press elsewhere opens nothing.
    QTest::mousePress(child(*win.w, "panControl"), Qt::RightButton, {}, QPoint(200, 5));
    QVERIFY(!pop->isVisible());
}

void tst_Playback::errorReturnsToIdleWithReason()
{
    Window win;
    auto *label = child<QLabel>(*win.w, "labState");
    // The whole reason is in the tooltip; the line shows whole words only.
    const auto checkStatusLine = [&](const QString &says) {
        const QString whole = label->toolTip();
        QVERIFY2(whole.startsWith(QStringLiteral("Error: ")) && whole.contains(says), qPrintable(whole));
        const QString shown = label->text();
        if (shown != whole) {
            QVERIFY2(shown.endsWith(QChar(0x2026)), qPrintable(shown));
            const QString head = shown.chopped(1);
            QVERIFY2(whole.startsWith(head) && whole.at(head.size()) == u' ', qPrintable(shown));
        }
        QVERIFY(label->fontMetrics().horizontalAdvance(shown) <= label->contentsRect().width());
    };
    win.w->PlayStream(m_http->url(QStringLiteral("/missing.mp4")), QStringLiteral("Gone"));
    QTRY_VERIFY_WITH_TIMEOUT(label->toolTip().startsWith(QStringLiteral("Error: ")), 15000);
    checkStatusLine(QStringLiteral("HTTP 404"));
    QTRY_VERIFY(win.enabled("imgPlay"));
    QVERIFY(!win.enabled("imgPause") && !win.enabled("imgStop"));
    QVERIFY(child(*win.w, "panFlash")->isVisible());
    QVERIFY(!animating(win));
    // A wider window shows more of it.
    const int shownBefore = label->text().size();
    win.w->resize(1100, win.w->height());
    QTRY_VERIFY(label->text().size() > shownBefore || label->text() == label->toolTip());
    checkStatusLine(QStringLiteral("HTTP 404"));
    win.w->PlayStream(QStringLiteral("rtsp://127.0.0.1:1/none"), QStringLiteral("Refused"));
    QTRY_VERIFY_WITH_TIMEOUT(label->toolTip().contains(QStringLiteral("refused")), 15000);
    checkStatusLine(QStringLiteral("The server refused the connection."));
    QTRY_VERIFY(win.enabled("imgPlay"));
    QVERIFY(!animating(win));
}

void tst_Playback::volumeAndMuteReachTheEngine()
{
    Window win;
    // Before the first play only the pictures change.
    child<QAbstractButton>(*win.w, "imgnomute")->click();
    win.w->PlayStream(m_http->url(QStringLiteral("/clip.mp4")), QStringLiteral("C"));
    QTRY_COMPARE_WITH_TIMEOUT(win.pc->PlayState, 3, 15000);
    QTRY_VERIFY(win.pc->wmplayer()->engine().outputMuted()); // applied when it started playing
    child<QAbstractButton>(*win.w, "imgmute")->click();
    QTRY_VERIFY(!win.pc->wmplayer()->engine().outputMuted());
    QTest::mouseClick(child(*win.w, "imgRuler"), Qt::LeftButton, {}, QPoint(20, 7));
    QTRY_COMPARE(qRound(win.pc->wmplayer()->engine().outputVolume() * 100), 22);
    // The second engine takes volume and mute once it is the current one.
    win.w->PlayStream(m_http->url(QStringLiteral("/clip.rm")), QStringLiteral("R"));
    QTRY_COMPARE_WITH_TIMEOUT(win.pc->PlayState, 3, 15000);
    QTest::mouseClick(child(*win.w, "imgRuler"), Qt::LeftButton, {}, QPoint(60, 7));
    QCOMPARE(qRound(win.pc->rePlayer()->engine().outputVolume() * 100), 68);
    child<QAbstractButton>(*win.w, "imgnomute")->click();
    QVERIFY(win.pc->rePlayer()->engine().outputMuted());
}

void tst_Playback::doubleSizeOfRealClip()
{
    Window win;
    win.w->PlayStream(m_http->url(QStringLiteral("/clip.mp4")), QStringLiteral("C"));
    QTRY_COMPARE_WITH_TIMEOUT(win.pc->PlayState, 3, 15000);
    win.action("act200")->trigger();
    QCOMPARE(win.w->size(), QSize(860, 604));
    QWidget *area = child(*win.w, "imgWmplay");
    QCOMPARE(win.pc->wmplayer()->geometry(), QRect((area->width() - 640) / 2, (area->height() - 480) / 2, 640, 480));
}

void tst_Playback::fullScreenAndBack()
{
    Window win;
    win.action("actFull")->trigger(); // nothing plays: nothing happens
    QVERIFY(!(win.w->windowState() & Qt::WindowFullScreen));
    win.w->PlayStream(m_http->url(QStringLiteral("/clip.mp4")), QStringLiteral("C"));
    QTRY_COMPARE_WITH_TIMEOUT(win.pc->PlayState, 3, 15000);
    const QRect before = win.pc->wmplayer()->geometry();
    win.action("actFull")->trigger();
    QVERIFY(win.w->windowState() & Qt::WindowFullScreen);
    QVERIFY(win.pc->wmplayer()->fullScreen());
    QVERIFY(!child(*win.w, "panControl")->isVisible());
    QVERIFY(!child(*win.w, "panLeft")->isVisible());
    QTRY_COMPARE(win.pc->wmplayer()->geometry(), child(*win.w, "imgWmplay")->rect());
    QCoreApplication::processEvents();
    QTest::keyClick(win.w.get(), Qt::Key_Escape);
    QVERIFY(!(win.w->windowState() & Qt::WindowFullScreen));
    QVERIFY(!win.pc->wmplayer()->fullScreen());
    QVERIFY(child(*win.w, "panControl")->isVisible() && child(*win.w, "panLeft")->isVisible());
    QTRY_COMPARE(win.pc->wmplayer()->geometry(), before);
    // A double-click on the picture goes full screen, another comes back, on both engines.
    QWidget *video = win.pc->wmplayer()->findChildren<QWidget *>().value(0);
    QVERIFY(video);
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    QTest::mouseDClick(video, Qt::LeftButton, {}, QPoint(10, 10));
    QVERIFY(win.pc->wmplayer()->fullScreen());
    QVERIFY(win.w->windowState() & Qt::WindowFullScreen);
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    QTest::mouseDClick(video, Qt::LeftButton, {}, QPoint(10, 10));
    QVERIFY(!win.pc->wmplayer()->fullScreen());
    QVERIFY(!(win.w->windowState() & Qt::WindowFullScreen));
    win.w->PlayStream(m_http->url(QStringLiteral("/clip.rm")), QStringLiteral("R"));
    QTRY_COMPARE_WITH_TIMEOUT(win.pc->PlayState, 3, 15000);
    video = win.pc->rePlayer()->findChildren<QWidget *>().value(0);
    QVERIFY(video);
    QTest::mouseDClick(video, Qt::LeftButton, {}, QPoint(10, 10));
    QVERIFY(win.pc->rePlayer()->GetFullScreen());
    QVERIFY(win.w->windowState() & Qt::WindowFullScreen);
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    QTest::mouseDClick(video, Qt::LeftButton, {}, QPoint(10, 10));
    QVERIFY(!win.pc->rePlayer()->GetFullScreen());
    QVERIFY(!(win.w->windowState() & Qt::WindowFullScreen));
    // The end of the stream returns by itself.
    win.action("actFull")->trigger();
    QVERIFY(win.pc->rePlayer()->GetFullScreen());
    win.action("actStop")->trigger();
    QTRY_VERIFY(!win.pc->rePlayer()->GetFullScreen());
    QVERIFY(!(win.w->windowState() & Qt::WindowFullScreen));
}

void tst_Playback::fullScreenAlwaysFills()
{
    Window win;
    win.w->PlayStream(m_http->url(QStringLiteral("/clip.mp4")), QStringLiteral("C"));
    QTRY_COMPARE_WITH_TIMEOUT(win.pc->PlayState, 3, 15000);
    win.action("actFull")->trigger();
    QWidget *area = child(*win.w, "imgWmplay");
    QTRY_COMPARE(win.pc->wmplayer()->geometry(), area->rect());
    // Size commands and a new stream starting keep the picture over the whole screen.
    for (const char *size : {"act100", "act200", "act50", "act100"}) {
        win.action(size)->trigger();
        QCOMPARE(win.pc->wmplayer()->geometry(), area->rect());
    }
    win.w->PlayStream(m_http->url(QStringLiteral("/clip.mp4")), QStringLiteral("Again"));
    QTRY_COMPARE_WITH_TIMEOUT(win.pc->PlayState, 3, 15000);
    QVERIFY(win.pc->wmplayer()->fullScreen());
    QCOMPARE(win.pc->wmplayer()->geometry(), area->rect());
    // Back in the window the picture is at the size chosen meanwhile.
    QTest::keyClick(win.w.get(), Qt::Key_Escape);
    QTRY_COMPARE(win.pc->wmplayer()->geometry(),
                 QRect((area->width() - 320) / 2, (area->height() - 240) / 2, 320, 240));
}

void tst_Playback::muteSurvivesFullScreen_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("first engine") << QStringLiteral("/long.mp4");
    QTest::newRow("second engine") << QStringLiteral("/clip.rm");
}

void tst_Playback::muteSurvivesFullScreen()
{
    QFETCH(QString, path);
    Window win;
    win.w->PlayStream(m_http->url(path), QStringLiteral("C"));
    QTRY_COMPARE_WITH_TIMEOUT(win.pc->PlayState, 3, 15000);
    const engine::Engine &engine =
        win.pc->CurrentEngine == 1 ? win.pc->wmplayer()->engine() : win.pc->rePlayer()->engine();
    child<QAbstractButton>(*win.w, "imgnomute")->click();
    QTRY_VERIFY(engine.outputMuted());
    win.action("actFull")->trigger();
    QVERIFY(win.w->windowState() & Qt::WindowFullScreen);
    win.action("actPause")->trigger();
    QTRY_VERIFY(win.enabled("imgPlay"));
    win.action("actPlay")->trigger();
    QTRY_COMPARE(win.pc->PlayState, 3);
    QTest::qWait(100);
    QVERIFY(engine.outputMuted());
}

void tst_Playback::treeSearchAndOpenUrlPlay()
{
    const QString url = m_http->url(QStringLiteral("/clip.mp4"));
    Window win(ListMaker::Document(
        {{QStringLiteral("Local"), ListMaker::Item(QStringLiteral("Test Clip"), url, 1, QStringLiteral("500"))}}));
    auto *tree = child<QTreeWidget>(*win.w, "treChannle");
    tree->expandAll();
    QTreeWidgetItem *item = tree->topLevelItem(0)->child(0);
    tree->setCurrentItem(item);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
    QCOMPARE(win.w->windowTitle(), QStringLiteral("Zentavo - Playing -> Test Clip"));
    QCOMPARE(win.pc->CurrentChannelType, 1);
    QTRY_COMPARE_WITH_TIMEOUT(win.pc->PlayState, 3, 15000);

    // Open URL hands over the text as address and name.
    const QString rm = m_http->url(QStringLiteral("/clip.rm"));
    WhenModal([rm](QWidget *dlg) {
        auto *edit = dlg->findChild<QLineEdit *>(QStringLiteral("edtMediaName"));
        edit->setText(rm);
        QTest::keyClick(edit, Qt::Key_Return);
    });
    win.action("actOpen")->trigger();
    QCOMPARE(win.pc->CurrentEngine, 2);
    QCOMPARE(win.w->windowTitle(), QStringLiteral("Zentavo - Playing -> ") + rm);
    QTRY_COMPARE_WITH_TIMEOUT(win.pc->PlayState, 3, 15000);
}

void tst_Playback::treeKeepsTheKeyboardWhileVideoPlays()
{
    const QString clip = m_http->url(QStringLiteral("/clip.mp4"));
    Window win(ListMaker::Document({{QStringLiteral("Local"), ListMaker::Item(QStringLiteral("One"), clip) +
                                                                  ListMaker::Item(QStringLiteral("Two"), clip) +
                                                                  ListMaker::Item(QStringLiteral("Three"), clip)}}));
    QVERIFY(QTest::qWaitForWindowActive(win.w.get()));
    auto *tree = child<QTreeWidget>(*win.w, "treChannle");
    tree->expandAll();
    tree->setFocus();
    tree->setCurrentItem(tree->topLevelItem(0)->child(0));
    QTest::keyClick(tree, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(win.pc->PlayState, 3, 15000);
    QTRY_VERIFY(win.pc->wmplayer()->isVisible());
    QCOMPARE(QApplication::focusWidget(), tree);
    // Zapping on by keyboard: Down, Enter plays the next channel.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(win.w->windowTitle(), QStringLiteral("Zentavo - Playing -> Two"));
    QTRY_COMPARE_WITH_TIMEOUT(win.pc->PlayState, 3, 15000);
    QCOMPARE(QApplication::focusWidget(), tree);
    // The picture takes the keyboard when clicked.
    QTest::mouseClick(win.pc->wmplayer()->findChildren<QWidget *>().value(0), Qt::LeftButton, {}, QPoint(5, 5));
    QVERIFY(QApplication::focusWidget() != tree);
}

void tst_Playback::playerKeysAndWheel()
{
    Window win;
    QVERIFY(QTest::qWaitForWindowActive(win.w.get()));
    win.w->PlayStream(m_http->url(QStringLiteral("/long.mp4")), QStringLiteral("C"));
    QTRY_COMPARE_WITH_TIMEOUT(win.pc->PlayState, 3, 15000);
    QWidget *video = win.pc->wmplayer()->findChildren<QWidget *>().value(0);
    QTest::mouseClick(video, Qt::LeftButton, {}, QPoint(5, 5));
    const auto key = [](int k) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(k));
    };
    VolumeControl *volume = win.w->volume();
    key(Qt::Key_Space);
    QTRY_COMPARE(win.pc->PlayState, 2);
    key(Qt::Key_Space);
    QTRY_COMPARE(win.pc->PlayState, 3);
    key(Qt::Key_M);
    QVERIFY(volume->muted());
    QTRY_VERIFY(win.pc->wmplayer()->engine().outputMuted());
    QVERIFY(win.action("actMute")->isChecked());
    key(Qt::Key_M);
    QVERIFY(!volume->muted());
    const int before = volume->volume();
    key(Qt::Key_Up);
    QCOMPARE(volume->volume(), before + 5);
    QTRY_COMPARE(qRound(win.pc->wmplayer()->engine().outputVolume() * 100), before + 5);
    key(Qt::Key_Down);
    key(Qt::Key_Down);
    QCOMPARE(volume->volume(), before - 5);
    key(Qt::Key_F);
    QVERIFY(win.w->windowState() & Qt::WindowFullScreen);
    key(Qt::Key_Up); // the keys work in full screen too
    QCOMPARE(volume->volume(), before);
    key(Qt::Key_F);
    QVERIFY(!(win.w->windowState() & Qt::WindowFullScreen));
    // The wheel over the picture or the ruler: a notch is a step.
    const auto wheel = [](QWidget *w, int delta) {
        QWheelEvent e(QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)), {}, QPoint(0, delta), Qt::NoButton, {},
                      Qt::NoScrollPhase, false);
        QApplication::sendEvent(w, &e);
    };
    wheel(video, 120);
    QCOMPARE(volume->volume(), before + 5);
    wheel(child(*win.w, "imgRuler"), -60);
    wheel(child(*win.w, "imgRuler"), -60);
    QCOMPARE(volume->volume(), before);
    // Keys without the picture's focus are the tree's: Space does not pause.
    auto *tree = child<QTreeWidget>(*win.w, "treChannle");
    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_Space);
    QTest::keyClick(tree, Qt::Key_M);
    QTest::qWait(50);
    QCOMPARE(win.pc->PlayState, 3);
    QVERIFY(!volume->muted());
}

void tst_Playback::windowShortcuts()
{
    Window win;
    QVERIFY(QTest::qWaitForWindowActive(win.w.get()));
    auto *tree = child<QTreeWidget>(*win.w, "treChannle");
    tree->setFocus();
    VolumeControl *volume = win.w->volume();
    const int before = volume->volume();
    QTest::keyClick(tree, Qt::Key_Up, Qt::ControlModifier);
    QCOMPARE(volume->volume(), before + 5);
    QTest::keyClick(tree, Qt::Key_Down, Qt::ControlModifier);
    QCOMPARE(volume->volume(), before);
    QTest::keyClick(tree, Qt::Key_M, Qt::ControlModifier);
    QVERIFY(volume->muted());
    QTest::keyClick(tree, Qt::Key_M, Qt::ControlModifier);
    QVERIFY(!volume->muted());
    QString opened;
    WhenModal([&](QWidget *dlg) {
        opened = dlg->objectName();
        dlg->close();
    });
    QTest::keyClick(tree, Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(opened, QStringLiteral("TFrmOpenMedia"));
    win.w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(win.w.get()));
    WhenModal([&](QWidget *dlg) {
        opened = dlg->objectName();
        dlg->close();
    });
    QTest::keyClick(tree, Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(opened, QStringLiteral("TFrmSearch"));
    win.w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(win.w.get()));
    // F11 goes full screen and back, the menu bar hidden meanwhile.
    win.w->PlayStream(m_http->url(QStringLiteral("/long.mp4")), QStringLiteral("C"));
    QTRY_COMPARE_WITH_TIMEOUT(win.pc->PlayState, 3, 15000);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F11);
    QVERIFY(win.w->windowState() & Qt::WindowFullScreen);
    QVERIFY(!child(*win.w, "mnuMain")->isVisible());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F11);
    QVERIFY(!(win.w->windowState() & Qt::WindowFullScreen));
}

void tst_Playback::rememberedVolumeReachesTheEngines()
{
    TempAppDir dir;
    dir.installCatalogue();
    dir.writeConfig("[Config]\nVolume=20\nMute=0\n");
    TGlobal global(dir.path());
    Tfrm_Main w(global);
    ShowWithFirstList(w);
    QCOMPARE(w.volume()->volume(), 20);
    w.PlayStream(m_http->url(QStringLiteral("/clip.mp4")), QStringLiteral("C"));
    QTRY_COMPARE_WITH_TIMEOUT(w.playback()->PlayState, 3, 15000);
    QCOMPARE(qRound(w.playback()->wmplayer()->engine().outputVolume() * 100), 20);
    w.PlayStream(m_http->url(QStringLiteral("/clip.rm")), QStringLiteral("R"));
    QTRY_COMPARE_WITH_TIMEOUT(w.playback()->PlayState, 3, 15000);
    QCOMPARE(qRound(w.playback()->rePlayer()->engine().outputVolume() * 100), 20);
}

void tst_Playback::pictureFollowsTheVideoSize_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("engine");
    QTest::newRow("first engine") << QStringLiteral("/resize.ts") << 1;
    QTest::newRow("second engine") << QStringLiteral("/resize.ts?.rm") << 2;
}

void tst_Playback::pictureFollowsTheVideoSize()
{
    QFETCH(QString, path);
    QFETCH(int, engine);
    Window win;
    win.w->PlayStream(m_http->url(path), QStringLiteral("Adaptive"));
    QCOMPARE(win.pc->CurrentEngine, engine);
    QTRY_COMPARE_WITH_TIMEOUT(win.pc->PlayState, 3, 15000);
    QWidget *control = engine == 1 ? static_cast<QWidget *>(win.pc->wmplayer()) : win.pc->rePlayer();
    QWidget *area = child(*win.w, "imgWmplay");
    const auto centred = [&](QSize size) {
        return QRect((area->width() - size.width()) / 2, (area->height() - size.height()) / 2, size.width(),
                     size.height());
    };
    // Whatever came first, the size of the first frames is laid out at 100%...
    QTRY_COMPARE_WITH_TIMEOUT(control->geometry(), centred(QSize(320, 240)), 3000);
    // ...and the stream's change of resolution after it.
    QTRY_COMPARE_WITH_TIMEOUT(control->geometry(), centred(QSize(480, 360)), 8000);
}

void tst_Playback::aLaterStartsRequestPlaysAndRaises()
{
    Window win;
    win.w->showMinimized();
    QTRY_VERIFY(win.w->isMinimized());
    const QString url = m_http->url(QStringLiteral("/clip.mp4"));
    win.w->openRequest({url}, true);
    QTRY_VERIFY(!win.w->isMinimized());
    QCOMPARE(win.w->windowTitle(), QStringLiteral("Zentavo - Playing -> ") + url);
    QTRY_COMPARE_WITH_TIMEOUT(win.pc->PlayState, 3, 15000);
    // A local file, as the desktop's "Open With" hands it over.
    win.w->openRequest({Media::VideoMp4()}, false);
    QCOMPARE(win.pc->CurrentUrl, Media::VideoMp4());
    QTRY_COMPARE_WITH_TIMEOUT(win.pc->PlayState, 3, 15000);
}

void tst_Playback::playWhilePlayingDoesNothing_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("first engine") << QStringLiteral("/long.mp4");
    QTest::newRow("second engine") << QStringLiteral("/clip.rm");
}

void tst_Playback::playWhilePlayingDoesNothing()
{
    QFETCH(QString, path);
    Window win;
    win.w->PlayStream(m_http->url(path), QStringLiteral("C"));
    QTRY_COMPARE_WITH_TIMEOUT(win.pc->PlayState, 3, 15000);
    QTest::qWait(200);
    const qsizetype requests = m_http->requests().size();
    QList<int> states;
    const auto record = [&](int s) {
        states.append(s);
    };
    QObject::connect(win.pc->wmplayer(), &TWmPlayer::OnPlayStateChange, win.w.get(), record);
    QObject::connect(win.pc->rePlayer(), &TRePlayer::OnPlayStateChange, win.w.get(), record);
    // Play, by the command (as the popup would offer it) and by the key.
    win.action("actPlay")->setEnabled(true);
    win.action("actPlay")->trigger();
    win.pc->actPlayExecute();
    QTest::qWait(300);
    QCOMPARE(win.pc->PlayState, 3);
    QVERIFY2(states.isEmpty(), qPrintable(QString::number(states.value(0))));
    QCOMPARE(m_http->requests().size(), requests);
}

void tst_Playback::closingMidStream()
{
    Window win;
    win.w->PlayStream(m_http->url(QStringLiteral("/clip.mp4")), QStringLiteral("C"));
    QTRY_COMPARE_WITH_TIMEOUT(win.pc->PlayState, 3, 15000);
    win.w->PlayStream(m_http->url(QStringLiteral("/clip.rm")), QStringLiteral("R"));
    QTest::qWait(30);
    win.action("actExit")->trigger();
    QVERIFY(!win.w->isVisible());
    QPointer<TWmPlayer> wm = win.pc->wmplayer();
    win.w.reset(); // the window goes mid-stream, engines first
    QVERIFY(wm.isNull());
}

void tst_Playback::playlistHeadersGoWithTheirChannelOnly()
{
    Window win;
    const QByteArray m3u = "#EXTM3U\n#EXTINF:-1,Tone\n#EXTVLCOPT:http-user-agent=Box/2.0\n"
                           "#EXTHTTP:{\"cookie\":\"sid=42\"}\n" +
                           m_http->url(QStringLiteral("/tone.mp3?from-list")).toUtf8() + '\n';
    const QString file = win.dir.file(QStringLiteral("data/list.CHL"));
    WriteListFile(file, ChannelListOf(ReadPlaylist(m3u), 1, QStringLiteral("Mine")).xml);
    win.w->channelTree()->showPlaylist(file);
    auto *tree = child<QTreeWidget>(*win.w, "treChannle");
    QTRY_COMPARE(tree->topLevelItemCount(), 1);
    tree->topLevelItem(0)->setExpanded(true);
    tree->setCurrentItem(tree->topLevelItem(0)->child(0));
    win.action("actLeftPlay")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!m_http->requestWith("from-list").isEmpty(), 15000);
    win.w->PlayStream(m_http->url(QStringLiteral("/tone.mp3?by-address")), QStringLiteral("Typed"));
    QTRY_VERIFY_WITH_TIMEOUT(!m_http->requestWith("by-address").isEmpty(), 15000);
    QVERIFY(m_http->requestWith("from-list").contains("User-Agent: Box/2.0\r\n"));
    QVERIFY(m_http->requestWith("from-list").contains("Cookie: sid=42\r\n"));
    QVERIFY(!m_http->requestWith("by-address").contains("Box/2.0"));
    QVERIFY(!m_http->requestWith("by-address").contains("Cookie:"));
}

void tst_Playback::radioShowsItsLogo()
{
    QImage red(64, 40, QImage::Format_RGB32);
    red.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    red.save(&buffer, "PNG");
    m_http->script(QStringLiteral("/station.png"), HttpReply(200, "OK", png, "Content-Type: image/png\r\n"));
    Window win;
    const QByteArray m3u = "#EXTM3U\n#EXTINF:-1 radio=\"true\" tvg-logo=\"" +
                           m_http->url(QStringLiteral("/station.png")).toUtf8() + "\",Station\n" +
                           m_http->url(QStringLiteral("/tone.mp3")).toUtf8() + '\n';
    const QString file = win.dir.file(QStringLiteral("data/radio-list.CHL"));
    WriteListFile(file, ChannelListOf(ReadPlaylist(m3u), 1, QStringLiteral("Mine")).xml);
    win.w->channelTree()->showPlaylist(file);
    auto *tree = child<QTreeWidget>(*win.w, "treChannle");
    QTRY_COMPARE(tree->topLevelItemCount(), 1);
    tree->topLevelItem(0)->setExpanded(true);
    tree->setCurrentItem(tree->topLevelItem(0)->child(0));
    win.action("actLeftPlay")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(win.pc->PlayState, 3, 15000);
    AudioArtwork *art = win.pc->artwork();
    // The panel shows at once (name and title); the logo comes once it is fetched.
    QTRY_VERIFY_WITH_TIMEOUT(art->isVisible() && !art->logo().isNull(), 10000);
    const QImage shown = child(*win.w, "imgWmplay")->grab().toImage();
    QCOMPARE(shown.pixelColor(shown.rect().center()), QColor(Qt::red));
    QCOMPARE(shown.pixelColor(2, 2), QColor(Qt::black));
    // The next stream has none of it.
    win.w->PlayStream(m_http->url(QStringLiteral("/clip.mp4")), QStringLiteral("Video"));
    QVERIFY(!art->isVisible());
}

void tst_Playback::zappingKeysWorkInFullScreen()
{
    const QByteArray a = m_http->url(QStringLiteral("/long.mp4?a")).toUtf8();
    const QByteArray b = m_http->url(QStringLiteral("/long.mp4?b")).toUtf8();
    Window win("<?xml version=\"1.0\"?><ChannelList><One><Item ChannelName=\"A\" URL=\"" + a +
               "\" INFO=\"\" Ty=\"1\" MT=\"1\" Co=\"\" SP=\"1\" T=\"\" I=\"\" ID=\"\"/></One><Two>"
               "<Item ChannelName=\"B\" URL=\"" +
               b + "\" INFO=\"\" Ty=\"1\" MT=\"1\" Co=\"\" SP=\"1\" T=\"\" I=\"\" ID=\"\"/></Two></ChannelList>");
    QVERIFY(QTest::qWaitForWindowActive(win.w.get()));
    win.action("actNextChannel")->trigger();
    QCOMPARE(win.pc->CurrentUrl, QString::fromUtf8(a));
    QTRY_COMPARE_WITH_TIMEOUT(win.pc->PlayState, 3, 15000);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F11);
    QVERIFY(win.w->windowState() & Qt::WindowFullScreen);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown, Qt::ControlModifier);
    QTRY_COMPARE(win.pc->CurrentUrl, QString::fromUtf8(b));
    QCOMPARE(child<QTreeWidget>(*win.w, "treChannle")->currentItem()->text(0), QStringLiteral("B (1K)"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
    QTRY_COMPARE(win.pc->CurrentUrl, QString::fromUtf8(a));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageUp, Qt::ControlModifier);
    QTRY_COMPARE(win.pc->CurrentUrl, QString::fromUtf8(b)); // before A, around the start
}

QTEST_MAIN(tst_Playback)
#include "tst_playback.moc"
