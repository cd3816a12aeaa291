#include "TestDirs.h"
#include "UiDriver.h"
#include "playback/PlaybackControl.h"
#include "playback/VideoLayout.h"
#include "playback/VolumeControl.h"
#include "shell/U_frm_Main.h"
#include "base/pGloba.h"

#include <QAbstractButton>
#include <QAction>
#include <QTest>

namespace {

// The main window with a stand-in for the engine's control of a given natural size.
struct Window
{
    TempAppDir dir;
    std::unique_ptr<TGlobal> global;
    std::unique_ptr<Tfrm_Main> w;
    QWidget *control = nullptr;
    QSize natural{320, 240};
    bool players = true;

    Window()
    {
        dir.installCatalogue();
        global = std::make_unique<TGlobal>(dir.path());
        w = std::make_unique<Tfrm_Main>(*global);
        control = new QWidget(child(*w, "imgWmplay"));
        w->videoLayout()->setVideoSource([this]() -> std::optional<VideoLayout::Video> {
            if (!players)
                return std::nullopt;
            return VideoLayout::Video{control, natural};
        });
        w->show();
        if (!QTest::qWaitForWindowExposed(w.get()))
            qFatal("window not shown");
    }
    QWidget *area() { return child(*w, "imgWmplay"); }
    void trigger(const char *action) { child<QAction>(*w, action)->trigger(); }
};

} // namespace

class tst_VideoLayout : public QObject
{
    Q_OBJECT

private slots:
    void doubleSizeGrowsTheWindow();
    void largerWindowKeepsItsSize();
    void naturalSizeCentred();
    void neverLargerThanTheScreen();
    void sizeCommandsDoNotDependOnWhatCameBefore();
    void pictureKeepsItsSizeWhenTheAreaChanges();
    void fitFillsWithoutResizing();
    void audioGetsAnEmptyControl();
    void listToggleKeepsPlayerWidthAndScale();
    void listToggleWithoutPlayers();
    void volumeKnobAndRuler();
    void knobDragBounds();
    void muteButtons();
};

void tst_VideoLayout::doubleSizeGrowsTheWindow()
{
    Window win;
    QCOMPARE(win.w->size(), QSize(640, 435));
    win.trigger("act200");
    QCOMPARE(win.w->size(), QSize(860, 604));
    QCOMPARE(win.w->videoLayout()->VideoScale, 2);
    QVERIFY(child<QAction>(*win.w, "act200")->isChecked());
    QVERIFY(!child<QAction>(*win.w, "act100")->isChecked());
    QCOMPARE(win.control->size(), QSize(640, 480));
    QCOMPARE(win.control->x(), (win.area()->width() - 640) / 2);
    QCOMPARE(win.control->y(), (win.area()->height() - 480) / 2);
    QVERIFY(win.area()->isVisible());
    QVERIFY(!child(*win.w, "panFlash")->isVisible());
}

void tst_VideoLayout::largerWindowKeepsItsSize()
{
    Window win;
    win.w->resize(1000, 700);
    QTRY_COMPARE(win.w->size(), QSize(1000, 700));
    win.trigger("act200");
    QCOMPARE(win.w->size(), QSize(1000, 700));
    // One dimension too small: both needed values are taken, even the smaller width.
    win.w->resize(1000, 500);
    QTRY_COMPARE(win.w->height(), 500);
    win.trigger("act200");
    QCOMPARE(win.w->size(), QSize(860, 604));
}

void tst_VideoLayout::naturalSizeCentred()
{
    Window win;
    win.trigger("act100");
    QCOMPARE(win.w->size(), QSize(640, 435)); // 320 x 240 fits
    QCOMPARE(win.control->geometry(),
             QRect((win.area()->width() - 320) / 2, (win.area()->height() - 240) / 2, 320, 240));
    win.natural = QSize(640, 360);
    win.trigger("act100");
    QCOMPARE(win.w->size(), QSize(640 + 20 + 185 + 15, 360 + 20 + 40 + 19 + 45));
}

void tst_VideoLayout::neverLargerThanTheScreen()
{
    Window win;
    const QRect avail = win.w->screen()->availableGeometry();
    win.w->move(avail.right() - 700, avail.top() + 100);
    win.natural = QSize(1280, 720); // 200% needs 2780 x 1564
    win.trigger("act200");
    QTRY_VERIFY(avail.contains(win.w->frameGeometry()));
    QVERIFY(win.w->width() > 1000 && win.w->height() > 600); // as large as the screen allows
    // The picture is as large as the area allows, its aspect kept, centred and never cut.
    const QRect pic = win.control->geometry();
    QVERIFY(win.area()->rect().contains(pic));
    QVERIFY(pic.width() == win.area()->width() || pic.height() == win.area()->height());
    QVERIFY(qAbs(pic.width() * 9 - pic.height() * 16) <= 16);
    QVERIFY(qAbs(pic.center().x() - win.area()->rect().center().x()) <= 1);
    QVERIFY(qAbs(pic.center().y() - win.area()->rect().center().y()) <= 1);
}

void tst_VideoLayout::sizeCommandsDoNotDependOnWhatCameBefore()
{
    Window win;
    win.trigger("act100");
    const QSize at100 = win.w->size();
    const QRect picture100 = win.control->geometry();
    win.trigger("act200");
    QCOMPARE(win.w->size(), QSize(860, 604));
    win.trigger("act100");
    QCOMPARE(win.w->size(), at100); // 100% after 200% gives the window back
    QTRY_COMPARE(win.control->geometry(), picture100);
    win.trigger("act50");
    win.trigger("act200");
    QCOMPARE(win.w->size(), QSize(860, 604));
    // A size the user chose is where the commands start from.
    win.w->resize(900, 650);
    QTRY_COMPARE(win.w->size(), QSize(900, 650));
    win.trigger("act100");
    QCOMPARE(win.w->size(), QSize(900, 650));
}

void tst_VideoLayout::pictureKeepsItsSizeWhenTheAreaChanges()
{
    Window win;
    win.trigger("act100");
    const auto centred = [&](QSize size) {
        return QRect((win.area()->width() - size.width()) / 2, (win.area()->height() - size.height()) / 2,
                     size.width(), size.height());
    };
    win.w->resize(950, 700); // by hand, or a window manager applying a resize later
    QTRY_COMPARE(win.w->size(), QSize(950, 700));
    QTRY_COMPARE(win.control->geometry(), centred(QSize(320, 240)));
    win.w->showMaximized();
    QTRY_VERIFY(win.area()->width() > 900);
    QTRY_COMPARE(win.control->geometry(), centred(QSize(320, 240)));
    win.trigger("act200");
    QVERIFY(win.w->isMaximized());
    QCOMPARE(win.control->geometry(), centred(QSize(640, 480)));
    win.w->showNormal();
    QTRY_COMPARE(win.w->size(), QSize(950, 700));
    QTRY_COMPARE(win.control->geometry(), centred(QSize(640, 480)));
    win.trigger("act50");
    QCOMPARE(win.control->geometry(), win.area()->rect());
    win.w->resize(700, 500);
    QTRY_COMPARE(win.control->geometry(), win.area()->rect());
}

void tst_VideoLayout::fitFillsWithoutResizing()
{
    Window win;
    win.natural = QSize(1920, 1080);
    win.trigger("act50");
    QCOMPARE(win.w->size(), QSize(640, 435));
    QCOMPARE(win.control->geometry(), win.area()->rect());
    QCOMPARE(win.w->videoLayout()->VideoScale, 0);
    QVERIFY(child<QAction>(*win.w, "act50")->isChecked());
    QVERIFY(!child<QAction>(*win.w, "act100")->isChecked());
}

void tst_VideoLayout::audioGetsAnEmptyControl()
{
    Window win;
    win.natural = QSize(0, 0);
    win.trigger("act100");
    QCOMPARE(win.control->size(), QSize(0, 0));
    QCOMPARE(win.control->pos(), QPoint(win.area()->width() / 2, win.area()->height() / 2));
}

void tst_VideoLayout::listToggleKeepsPlayerWidthAndScale()
{
    Window win;
    win.trigger("act100");
    auto *toggle = child<QAbstractButton>(*win.w, "EzRgnBtn3");
    const int areaWidth = win.area()->width();
    toggle->click();
    QCOMPARE(win.w->width(), 640 - 185);
    QTRY_COMPARE(win.area()->width(), areaWidth);
    QCOMPARE(win.control->size(), QSize(320, 240)); // centred again at its scale
    QCOMPARE(win.control->x(), (win.area()->width() - 320) / 2);
    toggle->click();
    QCOMPARE(win.w->width(), 640);
    // A radio channel toggles with scale 0, which leaves the remembered scale alone.
    win.w->playback()->SetCurrentChannelType(2);
    win.trigger("act200");
    const QSize before = win.w->size();
    toggle->click();
    QCOMPARE(win.w->videoLayout()->VideoScale, 2);
    QCOMPARE(win.w->width(), before.width() - 185);
    QCOMPARE(win.w->height(), before.height());
}

void tst_VideoLayout::listToggleWithoutPlayers()
{
    Window win;
    win.players = false;
    auto *toggle = child<QAbstractButton>(*win.w, "EzRgnBtn3");
    toggle->click();
    QCOMPARE(win.w->width(), 455);
    QVERIFY(child(*win.w, "panFlash")->isVisible()); // nothing plays: only the width changes
    toggle->click();
    QCOMPARE(win.w->width(), 640);
}

void tst_VideoLayout::volumeKnobAndRuler()
{
    Window win;
    VolumeControl *volume = win.w->volume();
    QWidget *ruler = child(*win.w, "imgRuler");
    QWidget *knob = child(*win.w, "imgMove");
    QCOMPARE(knob->x() - ruler->x(), 43);
    QCOMPARE(volume->volume(), 49);
    QTest::mouseClick(ruler, Qt::LeftButton, {}, QPoint(99, 7));
    QCOMPARE(knob->x() - ruler->x(), 86);
    QCOMPARE(volume->volume(), 98); // a click reaches 98 at most
    QTest::mouseClick(ruler, Qt::LeftButton, {}, QPoint(10, 7));
    QCOMPARE(volume->volume(), 11);
    QTest::mouseClick(ruler, Qt::RightButton, {}, QPoint(60, 7));
    QCOMPARE(volume->volume(), 11);
    // The knob rides with the ruler when the bar is laid out again.
    win.w->resize(900, 500);
    QTRY_COMPARE(knob->x() - ruler->x(), 10);
}

void tst_VideoLayout::knobDragBounds()
{
    Window win;
    VolumeControl *volume = win.w->volume();
    QWidget *ruler = child(*win.w, "imgRuler");
    QWidget *knob = child(*win.w, "imgMove");
    volume->imgMoveMouseDown(Qt::LeftButton, 5);
    QVERIFY(volume->VolumeDragging);
    volume->imgMoveMouseMove(5 + 44); // offset 87
    QCOMPARE(knob->x() - ruler->x(), 87);
    QCOMPARE(volume->volume(), 100); // a drag reaches 100
    volume->imgMoveMouseMove(5 + 1); // past the end: stays
    QCOMPARE(knob->x() - ruler->x(), 87);
    volume->imgMoveMouseMove(5 - 87);
    QCOMPARE(knob->x() - ruler->x(), 0);
    volume->imgMoveMouseMove(5 - 1); // past the start: stays
    QCOMPARE(knob->x() - ruler->x(), 0);
    QCOMPARE(volume->volume(), 0);
    volume->imgMoveMouseUp(Qt::RightButton);
    QVERIFY(volume->VolumeDragging);
    volume->imgMoveMouseUp(Qt::LeftButton);
    QVERIFY(!volume->VolumeDragging);
    volume->imgMoveMouseMove(30);
    QCOMPARE(knob->x() - ruler->x(), 0);
    // Real mouse events on the knob drag it too.
    QTest::mousePress(knob, Qt::LeftButton, {}, QPoint(7, 7));
    QTest::mouseMove(knob, QPoint(27, 7));
    QTest::mouseRelease(knob, Qt::LeftButton, {}, QPoint(27, 7));
    QCOMPARE(knob->x() - ruler->x(), 20);
}

void tst_VideoLayout::muteButtons()
{
    Window win;
    auto *sound = child<QAbstractButton>(*win.w, "imgnomute");
    auto *muted = child<QAbstractButton>(*win.w, "imgmute");
    sound->click();
    QVERIFY(muted->isVisible() && !sound->isVisible());
    muted->click();
    QVERIFY(sound->isVisible() && !muted->isVisible());
    // Pressing the knob or clicking the ruler while muted turns the sound on first.
    sound->click();
    QTest::mousePress(child(*win.w, "imgMove"), Qt::RightButton, {}, QPoint(7, 7));
    QVERIFY(sound->isVisible());
    sound->click();
    QTest::mouseClick(child(*win.w, "imgRuler"), Qt::LeftButton, {}, QPoint(30, 7));
    QVERIFY(sound->isVisible());
}

QTEST_MAIN(tst_VideoLayout)
#include "tst_videolayout.moc"
