#include "TestDirs.h"
#include "UiDriver.h"
#include "catalogue/ChannelText.h"
#include "catalogue/U_frmChannelInfo.h"
#include "catalogue/XmlDocument.h"
#include "base/pGloba.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

class tst_ChannelDialog : public QObject
{
    Q_OBJECT

private slots:
    void opensEmptyWithFocusOnSpeed();
    void speedFieldTakesDigitsAndDot();
    void websiteButton();
    void fillFromFavourite_data();
    void fillFromFavourite();
    void fieldsTrimStreamAndKeepMask();
};

void tst_ChannelDialog::opensEmptyWithFocusOnSpeed()
{
    TempAppDir dir;
    TGlobal g(dir.path());
    TFrmChannelInfo dlg(g);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Proerties"));
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("edtSpeed"));
    auto *type = dlg.findChild<QComboBox *>(QStringLiteral("cobType"));
    QCOMPARE(type->currentIndex(), -1);
    QCOMPARE(type->count(), 3);
    QVERIFY(!dlg.findChild<QLineEdit *>(QStringLiteral("editID"))->isVisible());
    for (const char *b : {"btnOk", "btnCancel"}) {
        auto *button = dlg.findChild<QPushButton *>(QLatin1String(b));
        QVERIFY(!button->isDefault() && !button->autoDefault());
    }
    QStringList order;
    for (int i = 0; i < 8; ++i) {
        order.append(QApplication::focusWidget()->objectName());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(order,
             QStringList({"edtSpeed", "btnOk", "btnCancel", "cobType", "edtName", "edtURL", "edtHome", "edtCountry"}));
}

void tst_ChannelDialog::speedFieldTakesDigitsAndDot()
{
    TempAppDir dir;
    TGlobal g(dir.path());
    TFrmChannelInfo dlg(g);
    dlg.show();
    auto *speed = dlg.findChild<QLineEdit *>(QStringLiteral("edtSpeed"));
    QTest::keyClicks(speed, QStringLiteral("a1b.5 k"));
    QCOMPARE(speed->text(), QStringLiteral("1.5"));
    QTest::keyClick(speed, Qt::Key_Backspace);
    QCOMPARE(speed->text(), QStringLiteral("1."));
    speed->setText(QStringLiteral("pasted text")); // pasting is not filtered
    QCOMPARE(speed->text(), QStringLiteral("pasted text"));
}

void tst_ChannelDialog::websiteButton()
{
    TempAppDir dir;
    TGlobal g(dir.path());
    ShellRecorder shell;
    TFrmChannelInfo dlg(g);
    auto *home = dlg.findChild<QLineEdit *>(QStringLiteral("edtHome"));
    auto *visit = dlg.findChild<QToolButton *>(QStringLiteral("SpeedButton1"));
    QCOMPARE(visit->toolTip(), QStringLiteral("Visit the website"));
    home->setText(QStringLiteral("   "));
    visit->click();
    QVERIFY(shell.opened.isEmpty());
    home->setText(QStringLiteral(" http://www.bbc.co.uk/ "));
    visit->click();
    QCOMPARE(shell.opened, QStringList({"http://www.bbc.co.uk/"}));
}

void tst_ChannelDialog::fillFromFavourite_data()
{
    QTest::addColumn<QByteArray>("ty");
    QTest::addColumn<int>("index");
    QTest::newRow("tv") << QByteArray("Ty=\"1\"") << 0;
    QTest::newRow("video") << QByteArray("Ty=\"3\"") << 2;
    QTest::newRow("missing") << QByteArray() << -1;
    QTest::newRow("not a number") << QByteArray("Ty=\"radio\"") << -1;
    QTest::newRow("out of range") << QByteArray("Ty=\"4\"") << -1;
    QTest::newRow("zero") << QByteArray("Ty=\"0\"") << -1;
}

void tst_ChannelDialog::fillFromFavourite()
{
    QFETCH(QByteArray, ty);
    QFETCH(int, index);
    TempAppDir dir;
    TGlobal g(dir.path());
    XmlDocument doc;
    doc.loadFromBytes(
        "<r><g><Item ChannelName=\"Name\" URL=\"http://secret\" INFO=\"http://w\" Co=\"C\" SP=\"9\" ID=\"4\" " + ty +
        "/></g></r>");
    TFrmChannelInfo dlg(g);
    dlg.fillFrom(ChannelItem(doc.documentElement().child(0).child(0)));
    QCOMPARE(dlg.findChild<QLineEdit *>(QStringLiteral("edtURL"))->text(), QString(43, u'*'));
    QCOMPARE(dlg.findChild<QLineEdit *>(QStringLiteral("edtName"))->text(), QStringLiteral("Name"));
    QCOMPARE(dlg.findChild<QLineEdit *>(QStringLiteral("edtSpeed"))->text(), QStringLiteral("9"));
    QCOMPARE(dlg.findChild<QLineEdit *>(QStringLiteral("editID"))->text(), QStringLiteral("4"));
    QCOMPARE(dlg.findChild<QComboBox *>(QStringLiteral("cobType"))->currentIndex(), index);
}

void tst_ChannelDialog::fieldsTrimStreamAndKeepMask()
{
    TempAppDir dir;
    TGlobal g(dir.path());
    TFrmChannelInfo dlg(g);
    auto *url = dlg.findChild<QLineEdit *>(QStringLiteral("edtURL"));
    url->setText(TFrmChannelInfo::UrlMask());
    QCOMPARE(dlg.fields(QStringLiteral("http://kept")).url, QStringLiteral("http://kept"));
    url->setText(QStringLiteral(" \thttp://new \n"));
    QCOMPARE(dlg.fields(QStringLiteral("http://kept")).url, QStringLiteral("http://new"));
    dlg.findChild<QComboBox *>(QStringLiteral("cobType"))->setCurrentIndex(1);
    QCOMPARE(dlg.fields().type, 2);
}

QTEST_MAIN(tst_ChannelDialog)
#include "tst_channeldialog.moc"
