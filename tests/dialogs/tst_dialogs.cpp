#include "TestDirs.h"
#include "UiDriver.h"
#include "base/pGloba.h"
#include "catalogue/U_frmChannelInfo.h"
#include "catalogue/U_frmSearch.h"
#include "dialogs/U_frmOpenMedia.h"
#include "dialogs/U_frmOption.h"
#include "dialogs/uAbout.h"
#include "online/U_frmChannelsUpdate.h"
#include "online/U_frmUpdate.h"
#include "playback/PlayTarget.h"
#include "shell/U_frm_Main.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

struct NoPlayer : PlayTarget
{
    void PlayStream(const QString &, const QString &) override {}
    void SetCurrentChannelType(int) override {}
};

// The labels and check boxes of a shown window whose text is cut.
QStringList cutTexts(QWidget &window)
{
    QStringList cut;
    for (QLabel *label : window.findChildren<QLabel *>()) {
        if (!label->isVisibleTo(&window) || label->text().isEmpty())
            continue;
        const QSize need = label->sizeHint();
        const bool fits = label->wordWrap() ? label->heightForWidth(label->width()) <= label->height()
                                            : need.width() <= label->width() && need.height() <= label->height();
        if (!fits)
            cut.append(window.objectName() + u'.' + label->objectName() + u' ' + label->text());
    }
    for (QCheckBox *box : window.findChildren<QCheckBox *>()) {
        if (box->isVisibleTo(&window) && box->sizeHint().width() > box->width())
            cut.append(window.objectName() + u'.' + box->objectName() + u' ' + box->text());
    }
    return cut;
}

} // namespace

class tst_Dialogs : public QObject
{
    Q_OBJECT

private slots:
    void preferencesShowSettings();
    void preferencesOkStores();
    void preferencesOkWithoutChangesRewrites();
    void preferencesCancelStoresNothing();
    void preferencesGuideRefresh();
    void preferencesRefusedSaveStaysOpen();
    void preferencesTabOrder();
    void openUrlEnterActsAsOk();
    void openUrlKeepsTextExactly();
    void openUrlBrowse();
    void openUrlCancel();
    void aboutShowsSiteAndMail();
    void aboutLinksGoThroughShell();
    void aboutLinkHoverLooks();
    void everyWindowFitsItsText_data();
    void everyWindowFitsItsText();
};

void tst_Dialogs::preferencesShowSettings()
{
    TempAppDir dir;
    dir.writeConfig("[Config]\nDiplayList=2\nDownload=1\nOntop=1\nShowIcon=0\n");
    TGlobal g(dir.path());
    TFrmOption dlg(g);
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Preferences"));
    auto *list = child<QComboBox>(dlg, "comDisplayList");
    QCOMPARE(list->count(), 3);
    QCOMPARE(list->itemText(0), QStringLiteral("My Favorites"));
    QCOMPARE(list->itemText(1), QStringLiteral("TV Channels"));
    QCOMPARE(list->itemText(2), QStringLiteral("Radio Channels"));
    QVERIFY(!list->isEditable());
    QCOMPARE(list->currentIndex(), 2);
    QVERIFY(child<QCheckBox>(dlg, "chkDown")->isChecked());
    QVERIFY(child<QCheckBox>(dlg, "cheOntop")->isChecked());
    QVERIFY(!child<QCheckBox>(dlg, "cheShowIcon")->isChecked());
    QCOMPARE(child<QCheckBox>(dlg, "chkDown")->text(), QStringLiteral("Automatically check new Channels from server"));
    QCOMPARE(child<QCheckBox>(dlg, "cheShowIcon")->text(), QStringLiteral("Show icon beside Channel's name"));
    QCOMPARE(child<QCheckBox>(dlg, "cheOntop")->text(), QStringLiteral("Always on top"));
    QCOMPARE(child<QLabel>(dlg, "Label1")->text(), QStringLiteral("Display on startup"));
    // The form's size, grown to hold every option.
    QVERIFY(dlg.width() >= 352 && dlg.height() >= 217);
    for (const QCheckBox *box : dlg.findChildren<QCheckBox *>())
        QVERIFY2(dlg.rect().contains(box->geometry()), qPrintable(box->objectName()));
}

void tst_Dialogs::preferencesOkStores()
{
    TempAppDir dir;
    TGlobal g(dir.path());
    TFrmOption dlg(g);
    dlg.show();
    child<QComboBox>(dlg, "comDisplayList")->setCurrentIndex(2);
    child<QCheckBox>(dlg, "cheShowIcon")->click();
    child<QCheckBox>(dlg, "cheOntop")->click();
    QVERIFY(!child<QCheckBox>(dlg, "chePlayLast")->isChecked());
    child<QCheckBox>(dlg, "chePlayLast")->click();
    child<QPushButton>(dlg, "btnOk")->click();
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(g.DiplayList, 2);
    QVERIFY(TGlobal(dir.path()).PlayLastChannel);
    QCOMPARE(g.ShowIcon, false);
    QCOMPARE(g.Ontop, true);
    QCOMPARE(g.Download, false);
    TGlobal next(dir.path());
    QCOMPARE(next.DiplayList, 2);
    QCOMPARE(next.ShowIcon, false);
    QCOMPARE(next.Ontop, true);
    QVERIFY(dir.config().contains("ShowIcon=0"));
}

void tst_Dialogs::preferencesOkWithoutChangesRewrites()
{
    TempAppDir dir;
    dir.writeConfig("[Config]\nVersion=4\nDiplayList=0\n");
    TGlobal g(dir.path());
    TFrmOption dlg(g);
    child<QPushButton>(dlg, "btnOk")->click();
    QCOMPARE(dir.config(), QByteArray("[Config]\nVersion=4\nDiplayList=0\nOntop=0\nTVVersion=3\n"
                                      "SkinFile=Silver.ssk\nDownload=0\nShowIcon=1\n"));
}

void tst_Dialogs::preferencesCancelStoresNothing()
{
    TempAppDir dir;
    TGlobal g(dir.path());
    {
        TFrmOption dlg(g);
        child<QComboBox>(dlg, "comDisplayList")->setCurrentIndex(0);
        child<QCheckBox>(dlg, "chkDown")->setChecked(true);
        child<QCheckBox>(dlg, "cheOntop")->setChecked(true);
        child<QCheckBox>(dlg, "cheShowIcon")->setChecked(false);
        child<QComboBox>(dlg, "comGuideRefresh")->setCurrentIndex(3);
        child<QPushButton>(dlg, "btnCancel")->click();
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
    }
    QCOMPARE(g.DiplayList, 1);
    QCOMPARE(g.Download, false);
    QCOMPARE(g.GuideRefreshHours, 24);
    QVERIFY(!QFile::exists(dir.file(QStringLiteral("Config.ini"))));
    TFrmOption again(g);
    QCOMPARE(child<QComboBox>(again, "comDisplayList")->currentIndex(), 1);
    QVERIFY(child<QCheckBox>(again, "cheShowIcon")->isChecked());
}

void tst_Dialogs::preferencesGuideRefresh()
{
    TempAppDir dir;
    TGlobal g(dir.path());
    {
        TFrmOption dlg(g);
        QCOMPARE(child<QComboBox>(dlg, "comGuideRefresh")->currentText(), QStringLiteral("once a day"));
        child<QComboBox>(dlg, "comGuideRefresh")->setCurrentIndex(3);
        child<QPushButton>(dlg, "btnOk")->click();
    }
    QVERIFY(dir.config().contains("GuideRefreshHours=0\n"));
    TGlobal later(dir.path());
    QCOMPARE(later.GuideRefreshHours, 0);
    TFrmOption again(later);
    QCOMPARE(child<QComboBox>(again, "comGuideRefresh")->currentText(), QStringLiteral("never"));
}

void tst_Dialogs::preferencesRefusedSaveStaysOpen()
{
    TempAppDir dir;
    QDir().mkpath(dir.file(QStringLiteral("Config.ini")));
    TGlobal g(dir.path());
    RecordingPrompter prompter;
    TFrmOption dlg(g);
    dlg.show();
    child<QPushButton>(dlg, "btnOk")->click();
    QCOMPARE(prompter.texts(), {QStringLiteral("Unable to write to ") + dir.file(QStringLiteral("Config.ini"))});
    QVERIFY(dlg.isVisible());
}

void tst_Dialogs::preferencesTabOrder()
{
    TempAppDir dir;
    TGlobal g(dir.path());
    TFrmOption dlg(g);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    child<QComboBox>(dlg, "comDisplayList")->setFocus();
    QStringList order;
    for (int i = 0; i < 6; ++i) {
        order.append(QApplication::focusWidget()->objectName());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(order,
             QStringList({QStringLiteral("comDisplayList"), QStringLiteral("chkDown"), QStringLiteral("cheOntop"),
                          QStringLiteral("btnOk"), QStringLiteral("btnCancel"), QStringLiteral("cheShowIcon")}));
}

void tst_Dialogs::openUrlEnterActsAsOk()
{
    TempAppDir dir;
    TGlobal g(dir.path());
    TFrmOpenMedia dlg(g);
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Open"));
    QCOMPARE(child<QLabel>(dlg, "Label1")->text(),
             QStringLiteral("Enter the url or path to a media file on the internet or your computer    "));
    QCOMPARE(child<QLabel>(dlg, "Label2")->text(), QStringLiteral("that you want to play."));
    QCOMPARE(child<QPushButton>(dlg, "btnBrowse")->text(), QStringLiteral("&Browse.."));
    dlg.show();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    auto *edit = child<QLineEdit>(dlg, "edtMediaName");
    QCOMPARE(QApplication::focusWidget(), edit);
    QTest::keyClicks(edit, QStringLiteral("http://127.0.0.1/clip.mp4"));
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.MediaName(), QStringLiteral("http://127.0.0.1/clip.mp4"));
}

void tst_Dialogs::openUrlKeepsTextExactly()
{
    TempAppDir dir;
    TGlobal g(dir.path());
    TFrmOpenMedia dlg(g);
    dlg.show();
    child<QLineEdit>(dlg, "edtMediaName")->setText(QStringLiteral("  /media/Ünïcode file.mkv "));
    child<QPushButton>(dlg, "btnOk")->click();
    QCOMPARE(dlg.MediaName(), QStringLiteral("  /media/Ünïcode file.mkv "));
}

void tst_Dialogs::openUrlBrowse()
{
    TempAppDir dir;
    TGlobal g(dir.path());
    RecordingPrompter prompter;
    TFrmOpenMedia dlg(g);
    dlg.show();
    auto *edit = child<QLineEdit>(dlg, "edtMediaName");
    edit->setText(QStringLiteral("typed"));
    child<QPushButton>(dlg, "btnBrowse")->click(); // cancelled
    QCOMPARE(edit->text(), QStringLiteral("typed"));
    QVERIFY(dlg.isVisible());
    prompter.fileAnswers = {QStringLiteral("/home/user/Videos/clip.mkv")};
    child<QPushButton>(dlg, "btnBrowse")->click();
    QCOMPARE(edit->text(), QStringLiteral("/home/user/Videos/clip.mkv"));
    QCOMPARE(prompter.fileFilters, QStringList({QString(), QString()}));
    QVERIFY(dlg.isVisible());
}

void tst_Dialogs::openUrlCancel()
{
    TempAppDir dir;
    TGlobal g(dir.path());
    TFrmOpenMedia dlg(g);
    dlg.show();
    child<QLineEdit>(dlg, "edtMediaName")->setText(QStringLiteral("http://x/"));
    child<QPushButton>(dlg, "btnCancel")->click();
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
    QCOMPARE(dlg.MediaName(), QString());
}

void tst_Dialogs::aboutShowsSiteAndMail()
{
    qputenv("ZENTAVO_VENDOR_SITE", "http://127.0.0.1:9/");
    TempAppDir dir;
    TGlobal g(dir.path());
    TFrmAbout dlg(g);
    QCOMPARE(dlg.windowTitle(), QStringLiteral("About Zentavo"));
    QCOMPARE(child<QLabel>(dlg, "lab")->text(), QStringLiteral("Zentavo 5.2"));
    QCOMPARE(child<QLabel>(dlg, "Label4")->text(), QStringLiteral("http://127.0.0.1:9"));
    QCOMPARE(child<QLabel>(dlg, "Label5")->text(), QStringLiteral("support@zentavo.example"));
    QCOMPARE(child<QLabel>(dlg, "Label8")->text(), QStringLiteral("sales@zentavo.example"));
    QVERIFY(!child<QLabel>(dlg, "Image1")->pixmap().isNull());
    QVERIFY(!child<QLabel>(dlg, "Label7")->text().isEmpty());
    qunsetenv("ZENTAVO_VENDOR_SITE");
}

void tst_Dialogs::aboutLinksGoThroughShell()
{
    TempAppDir dir;
    TGlobal g(dir.path());
    ShellRecorder shell;
    TFrmAbout dlg(g);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QTest::mouseClick(child<QLabel>(dlg, "Label4"), Qt::LeftButton, {}, QPoint(3, 3));
    QTest::mouseClick(child<QLabel>(dlg, "Label5"), Qt::LeftButton, {}, QPoint(3, 3));
    QTest::mouseClick(child<QLabel>(dlg, "Label8"), Qt::LeftButton, {}, QPoint(3, 3));
    QTest::mouseClick(child<QLabel>(dlg, "Label3"), Qt::LeftButton, {}, QPoint(3, 3));
    QCOMPARE(shell.opened, QStringList({QStringLiteral("http://www.zentavo.example"),
                                        QStringLiteral("mailto:support@zentavo.example"),
                                        QStringLiteral("mailto:sales@zentavo.example")}));
}

void tst_Dialogs::aboutLinkHoverLooks()
{
    TempAppDir dir;
    TGlobal g(dir.path());
    TFrmAbout dlg(g);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    auto *link = child<QLabel>(dlg, "Label5");
    link->ensurePolished();
    QCOMPARE(link->font().family(), QStringLiteral("MS Sans Serif"));
    QVERIFY(link->font().underline());
    QCOMPARE(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    dlg.Label5MouseMove(link);
    link->ensurePolished();
    QCOMPARE(link->palette().color(QPalette::WindowText), QColor(0, 0, 128));
    QCOMPARE(dlg.cursor().shape(), Qt::PointingHandCursor);
    dlg.Label5MouseLeave(link);
    link->ensurePolished();
    QCOMPARE(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    QCOMPARE(link->font().family(), QStringLiteral("Tahoma"));
    QVERIFY(link->font().underline());
    QCOMPARE(dlg.cursor().shape(), Qt::ArrowCursor);
}

void tst_Dialogs::everyWindowFitsItsText_data()
{
    QTest::addColumn<double>("scale");
    QTest::newRow("default font") << 1.0;
    QTest::newRow("large font") << 1.6;
}

void tst_Dialogs::everyWindowFitsItsText()
{
    QFETCH(double, scale);
    const QFont before = QApplication::font();
    QFont font = before;
    font.setPointSizeF(font.pointSizeF() * scale);
    QApplication::setFont(font);
    const auto restore = qScopeGuard([&] { QApplication::setFont(before); });
    qputenv("ZENTAVO_VENDOR_SITE", "http://www.zentavo.example/");
    TempAppDir dir;
    dir.installCatalogue();
    dir.installSkins();
    TGlobal g(dir.path());
    NoPlayer player;
    QStringList cut;
    const auto check = [&](QWidget &w, const QSize &partSize) {
        w.show();
        // The update dialogs start their request from a timer: not wanted here.
        for (QTimer *t : w.findChildren<QTimer *>(QStringLiteral("Timer1")))
            t->stop();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCoreApplication::processEvents();
        cut += cutTexts(w);
        // The sizes the windows were designed at stay their smallest.
        QVERIFY2(w.width() >= partSize.width() && w.height() >= partSize.height(), qPrintable(w.objectName()));
        w.close();
    };
    {
        Tfrm_Main w(g);
        check(w, QSize(640, 435));
    }
    {
        TFrmAbout w(g);
        check(w, QSize(370, 184));
    }
    {
        TFrmOpenMedia w(g);
        check(w, QSize(396, 198));
    }
    {
        TFrmOption w(g);
        check(w, QSize(352, 217));
    }
    {
        TFrmChannelInfo w(g);
        check(w, QSize(0, 0));
    }
    {
        TFrmSearch w(g, player);
        check(w, QSize(0, 0));
    }
    {
        TFrmChannelsUpdate w(g);
        check(w, QSize(421, 177));
    }
    {
        TFrmUpdate w(g);
        check(w, QSize(337, 92));
    }
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral("\n"))));
}

QTEST_MAIN(tst_Dialogs)
#include "tst_dialogs.moc"
