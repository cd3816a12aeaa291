#include "appearance/AnimatedPicture.h"
#include "appearance/ImageButton.h"
#include "appearance/PicturePanel.h"

#include <QSignalSpy>
#include <QTest>

class tst_PictureControls : public QObject
{
    Q_OBJECT

private slots:
    void buttonTakesClicksOnlyOnItsPicture();
    void disabledButtonIgnoresClicksAndLooksGrey();
    void pressedLookDiffers();
    void animationTurnsOnlyWhileOn();
    void anchoredChildrenFollowTheEdges();
};

void tst_PictureControls::buttonTakesClicksOnlyOnItsPicture()
{
    QWidget host;
    host.resize(60, 60);
    auto *play = new ImageButton(&host);
    play->setPicture(QStringLiteral("play"));
    play->setGeometry(10, 10, 30, 30);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    QSignalSpy clicks(play, &QAbstractButton::clicked);
    QTest::mouseClick(play, Qt::LeftButton, {}, QPoint(1, 1)); // outside the round picture
    QCOMPARE(clicks.count(), 0);
    QTest::mouseClick(play, Qt::LeftButton, {}, QPoint(15, 15));
    QCOMPARE(clicks.count(), 1);
    QVERIFY(!play->mask().contains(QPoint(0, 0)));
    QVERIFY(play->mask().contains(QPoint(15, 15)));
}

void tst_PictureControls::disabledButtonIgnoresClicksAndLooksGrey()
{
    QWidget host;
    auto *stop = new ImageButton(&host);
    stop->setPicture(QStringLiteral("play"));
    stop->setGeometry(0, 0, 30, 30);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    const QImage normal = stop->grab().toImage();
    stop->setEnabled(false);
    QSignalSpy clicks(stop, &QAbstractButton::clicked);
    QTest::mouseClick(stop, Qt::LeftButton, {}, QPoint(15, 15));
    QCOMPARE(clicks.count(), 0);
    const QImage grey = stop->grab().toImage();
    QVERIFY(grey != normal);
    const QColor c = grey.pixelColor(15, 22);
    QVERIFY2(qAbs(c.red() - c.blue()) < 12, "the disabled look has no colour");
}

void tst_PictureControls::pressedLookDiffers()
{
    QWidget host;
    auto *b = new ImageButton(&host);
    b->setPicture(QStringLiteral("pause"));
    b->setGeometry(0, 0, 22, 22);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    const QImage up = b->grab().toImage();
    b->setDown(true);
    QVERIFY(b->grab().toImage() != up);
}

void tst_PictureControls::animationTurnsOnlyWhileOn()
{
    AnimatedPicture pic;
    pic.resize(100, 100);
    pic.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pic));
    QVERIFY(!pic.Animate());
    const QImage still = pic.grab().toImage();
    QTest::qWait(200);
    QCOMPARE(pic.frame(), 0);
    pic.setAnimate(true);
    QTRY_VERIFY(pic.frame() >= 2);
    QVERIFY(pic.grab().toImage() != still);
    pic.setAnimate(false);
    QCOMPARE(pic.frame(), 0);
    QCOMPARE(pic.grab().toImage(), still);
}

void tst_PictureControls::anchoredChildrenFollowTheEdges()
{
    PicturePanel bar;
    bar.setDesignSize(QSize(446, 40));
    bar.resize(446, 40);
    auto make = [&](const QRect &r, const char *anchors) {
        auto *w = new QWidget(&bar);
        w->setGeometry(r);
        w->setProperty("Anchors", QString::fromLatin1(anchors));
        return w;
    };
    QWidget *left = make({8, 7, 30, 30}, "left");
    QWidget *both = make({114, 13, 144, 22}, "left|right");
    QWidget *right = make({417, 13, 22, 22}, "right");
    QWidget *all = make({0, 0, 446, 40}, "left|right|top|bottom");
    QWidget *free = new QWidget(&bar);
    free->setGeometry(300, 18, 14, 14);
    bar.show();
    bar.resize(546, 50);
    QCoreApplication::processEvents();
    QCOMPARE(left->geometry(), QRect(8, 7, 30, 30));
    QCOMPARE(both->geometry(), QRect(114, 13, 244, 22));
    QCOMPARE(right->geometry(), QRect(517, 13, 22, 22));
    QCOMPARE(all->geometry(), QRect(0, 0, 546, 50));
    QCOMPARE(free->geometry(), QRect(300, 18, 14, 14));
    bar.resize(400, 40);
    QCoreApplication::processEvents();
    QCOMPARE(both->geometry(), QRect(114, 13, 98, 22));
    QCOMPARE(right->geometry(), QRect(371, 13, 22, 22));
}

QTEST_MAIN(tst_PictureControls)
#include "tst_picturecontrols.moc"
