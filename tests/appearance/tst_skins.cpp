#include "TestDirs.h"
#include "UiDriver.h"
#include "appearance/SkinEngine.h"
#include "appearance/SkinFile.h"
#include "dialogs/U_frmOption.h"
#include "shell/U_frm_Main.h"
#include "shell/pGloba.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <QTreeWidget>

namespace {

QList<QAction *> skinEntries(Tfrm_Main &w)
{
    return w.findChild<QMenu *>(QStringLiteral("menSkin"))->actions();
}

QAction *entryNamed(Tfrm_Main &w, const QString &caption)
{
    for (QAction *a : skinEntries(w)) {
        if (a->text() == caption)
            return a;
    }
    return nullptr;
}

QString styleOf(const QString &path)
{
    return LoadSkinFile(path)->styleSheet;
}

} // namespace

class tst_Skins : public QObject
{
    Q_OBJECT

private slots:
    void menuListsSkinFiles();
    void checkMarkIgnoresCase();
    void chooseSkinReskinsSavesAndTurnsCaptionRed();
    void dialogOpenedAfterChoiceShowsNewSkin();
    void captionBeforeFirstDotAndFoldersSkipped();
    void onlyFirstTwentyEntriesCleared();
    void missingFolderGivesEmptyMenu();
    void invalidOrMissingSkinKeepsCurrent();
    void taggedControlsKeepTheirLook();
    void refusedSaveIsReported();
};

void tst_Skins::menuListsSkinFiles()
{
    TempAppDir dir;
    dir.installSkins();
    dir.installCatalogue();
    TGlobal g(dir.path());
    RecordingPrompter prompter;
    Tfrm_Main w(g);
    QStringList captions;
    for (QAction *a : skinEntries(w)) {
        captions.append(a->text());
        QVERIFY(a->isCheckable());
        QVERIFY(a->objectName().startsWith(QStringLiteral("createmen")));
        QCOMPARE(a->isChecked(), a->text() == QStringLiteral("Silver"));
    }
    captions.sort();
    QCOMPARE(captions, QStringList({QStringLiteral("Midnight"), QStringLiteral("Silver"), QStringLiteral("Vista1")}));
    QVERIFY(w.findChild<QAction *>(QStringLiteral("createmen1")));
    QVERIFY(w.findChild<QAction *>(QStringLiteral("createmen3")));
    QVERIFY(!w.findChild<QAction *>(QStringLiteral("createmen4")));
    QCOMPARE(w.skinEngine()->SkinFile(), dir.file(QStringLiteral("Skins/Silver.ssk")));
    QCOMPARE(w.styleSheet(), styleOf(dir.file(QStringLiteral("Skins/Silver.ssk"))));
    QVERIFY(prompter.messages.isEmpty());
}

void tst_Skins::checkMarkIgnoresCase()
{
    TempAppDir dir;
    dir.installSkins();
    dir.installCatalogue();
    QFile::rename(dir.file(QStringLiteral("Skins/Silver.ssk")), dir.file(QStringLiteral("Skins/silver.SSK")));
    TGlobal g(dir.path());
    Tfrm_Main w(g);
    QAction *silver = entryNamed(w, QStringLiteral("silver"));
    QVERIFY(silver);
    QVERIFY(silver->isChecked());
    // The start-up skin is found although the name differs in case.
    QCOMPARE(w.styleSheet(), styleOf(dir.file(QStringLiteral("Skins/silver.SSK"))));

    entryNamed(w, QStringLiteral("Vista1"))->trigger();
    silver->trigger();
    QCOMPARE(g.SkinFile, QStringLiteral("silver.ssk"));
    QVERIFY(dir.config().contains("SkinFile=silver.ssk"));
    QCOMPARE(w.styleSheet(), styleOf(dir.file(QStringLiteral("Skins/silver.SSK"))));
}

void tst_Skins::chooseSkinReskinsSavesAndTurnsCaptionRed()
{
    TempAppDir dir;
    dir.installSkins();
    dir.installCatalogue();
    TGlobal g(dir.path());
    Tfrm_Main w(g);
    auto *labCap = w.findChild<QLabel *>(QStringLiteral("labCap"));
    labCap->ensurePolished();
    QCOMPARE(labCap->palette().color(QPalette::WindowText), QColor(234, 0, 0));

    QAction *vista = entryNamed(w, QStringLiteral("Vista1"));
    vista->trigger();
    QVERIFY(vista->isChecked());
    QVERIFY(!entryNamed(w, QStringLiteral("Silver"))->isChecked());
    QVERIFY(!entryNamed(w, QStringLiteral("Midnight"))->isChecked());
    QCOMPARE(w.styleSheet(), styleOf(dir.file(QStringLiteral("Skins/Vista1.ssk"))));
    QCOMPARE(g.SkinFile, QStringLiteral("Vista1.ssk"));
    QCOMPARE(g.SkinPath, dir.file(QStringLiteral("Skins/Vista1.ssk")));
    QVERIFY(dir.config().contains("SkinFile=Vista1.ssk"));
    labCap->ensurePolished();
    QCOMPARE(labCap->palette().color(QPalette::WindowText), QColor(255, 0, 0));

    // Nothing turns it back.
    entryNamed(w, QStringLiteral("Midnight"))->trigger();
    labCap->ensurePolished();
    QCOMPARE(labCap->palette().color(QPalette::WindowText), QColor(255, 0, 0));

    // Clicking the checked entry again keeps it checked.
    QAction *midnight = entryNamed(w, QStringLiteral("Midnight"));
    midnight->trigger();
    QVERIFY(midnight->isChecked());
}

void tst_Skins::dialogOpenedAfterChoiceShowsNewSkin()
{
    TempAppDir dir;
    dir.installSkins();
    dir.installCatalogue();
    TGlobal g(dir.path());
    Tfrm_Main w(g);
    {
        TFrmOption before(g, &w);
        QCOMPARE(before.styleSheet(), styleOf(dir.file(QStringLiteral("Skins/Silver.ssk"))));
    }
    entryNamed(w, QStringLiteral("Midnight"))->trigger();
    TFrmOption after(g, &w);
    QCOMPARE(after.styleSheet(), styleOf(dir.file(QStringLiteral("Skins/Midnight.ssk"))));
    QVERIFY(after.findChild<SkinEngine *>(QStringLiteral("skinmain")));
}

void tst_Skins::captionBeforeFirstDotAndFoldersSkipped()
{
    TempAppDir dir;
    dir.installSkins();
    dir.installCatalogue();
    QFile::copy(dir.file(QStringLiteral("Skins/Midnight.ssk")), dir.file(QStringLiteral("Skins/My.Blue.ssk")));
    QDir().mkpath(dir.file(QStringLiteral("Skins/x.ssk")));
    dir.write(QStringLiteral("Skins/readme.txt"), "not a skin");
    TGlobal g(dir.path());
    Tfrm_Main w(g);
    QCOMPARE(skinEntries(w).size(), 4);
    QVERIFY(!entryNamed(w, QStringLiteral("x")));
    QAction *my = entryNamed(w, QStringLiteral("My"));
    QVERIFY(my);
    const QString before = w.styleSheet();
    my->trigger();
    // "My.ssk" does not exist: the current skin stays, the choice is stored as made.
    QCOMPARE(g.SkinFile, QStringLiteral("My.ssk"));
    QCOMPARE(w.styleSheet(), before);
    QVERIFY(my->isChecked());
}

void tst_Skins::onlyFirstTwentyEntriesCleared()
{
    TempAppDir dir;
    dir.installSkins();
    dir.installCatalogue();
    for (int i = 1; i <= 19; ++i)
        QFile::copy(dir.file(QStringLiteral("Skins/Vista1.ssk")), dir.file(QStringLiteral("Skins/Extra%1.ssk").arg(i)));
    TGlobal g(dir.path());
    Tfrm_Main w(g);
    QCOMPARE(skinEntries(w).size(), 22);
    QAction *last = w.findChild<QAction *>(QStringLiteral("createmen22"));
    QAction *twentieth = w.findChild<QAction *>(QStringLiteral("createmen20"));
    QAction *first = w.findChild<QAction *>(QStringLiteral("createmen1"));
    last->setChecked(true);
    twentieth->setChecked(true);
    first->trigger();
    QVERIFY(first->isChecked());
    QVERIFY(!twentieth->isChecked());
    QVERIFY(last->isChecked());
}

void tst_Skins::missingFolderGivesEmptyMenu()
{
    TempAppDir dir;
    dir.installCatalogue();
    TGlobal g(dir.path());
    RecordingPrompter prompter;
    Tfrm_Main w(g);
    QVERIFY(skinEntries(w).isEmpty());
    QVERIFY(w.styleSheet().isEmpty());
    QVERIFY(prompter.messages.isEmpty());
}

void tst_Skins::invalidOrMissingSkinKeepsCurrent()
{
    TempAppDir dir;
    dir.installSkins();
    dir.installCatalogue();
    dir.write(QStringLiteral("Skins/Broken.ssk"), "[Zentavo Skin]\n[Style]\nQWidget { color: @none; }\n");
    TGlobal g(dir.path());
    RecordingPrompter prompter;
    Tfrm_Main w(g);
    const QString silver = styleOf(dir.file(QStringLiteral("Skins/Silver.ssk")));
    entryNamed(w, QStringLiteral("Broken"))->trigger();
    QCOMPARE(w.styleSheet(), silver);
    QCOMPARE(w.skinEngine()->SkinFile(), dir.file(QStringLiteral("Skins/Silver.ssk")));
    w.skinEngine()->setSkinFile(dir.file(QStringLiteral("Skins/Gone.ssk")));
    QCOMPARE(w.styleSheet(), silver);
    QVERIFY(prompter.messages.isEmpty());

    // A start-up skin that does not exist: no check mark, no skin.
    g.SkinFile = QStringLiteral("Gone.ssk");
    g.SaveSettings();
    TGlobal next(dir.path());
    Tfrm_Main w2(next);
    for (QAction *a : skinEntries(w2))
        QVERIFY(!a->isChecked());
    QVERIFY(w2.styleSheet().isEmpty());
}

void tst_Skins::taggedControlsKeepTheirLook()
{
    TempAppDir dir;
    dir.installSkins();
    dir.installCatalogue();
    TGlobal g(dir.path());
    Tfrm_Main w(g);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto *bar = w.findChild<QWidget *>(QStringLiteral("panControl"));
    auto *tree = w.findChild<QTreeWidget *>(QStringLiteral("treChannle"));
    QCOMPARE(bar->property("Tag").toInt(), w.skinEngine()->DisabledTag());
    const QImage barSilver = bar->grab().toImage();
    const QColor treeSilver = tree->viewport()->grab().toImage().pixelColor(5, 5);

    entryNamed(w, QStringLiteral("Midnight"))->trigger();
    QCoreApplication::processEvents();
    QCOMPARE(bar->grab().toImage(), barSilver);
    QVERIFY(tree->viewport()->grab().toImage().pixelColor(5, 5) != treeSilver);
}

void tst_Skins::refusedSaveIsReported()
{
    TempAppDir dir;
    dir.installSkins();
    dir.installCatalogue();
    dir.writeConfig("[Config]\nSkinFile=Silver.ssk\n");
    QFile::setPermissions(dir.file(QStringLiteral("Config.ini")), QFileDevice::ReadOwner);
    TGlobal g(dir.path());
    RecordingPrompter prompter;
    Tfrm_Main w(g);
    entryNamed(w, QStringLiteral("Vista1"))->trigger();
    QCOMPARE(prompter.texts(), {QStringLiteral("Unable to write to ") + dir.file(QStringLiteral("Config.ini"))});
    // The choice took effect for this run all the same.
    QCOMPARE(w.styleSheet(), styleOf(dir.file(QStringLiteral("Skins/Vista1.ssk"))));
}

QTEST_MAIN(tst_Skins)
#include "tst_skins.moc"
