#include "TestDirs.h"
#include "UiDriver.h"
#include "appearance/SkinEngine.h"
#include "appearance/SkinFile.h"
#include "dialogs/U_frmOption.h"
#include "shell/U_frm_Main.h"
#include "base/pGloba.h"

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QPainter>
#include <QStyleOptionViewItem>
#include <QTreeWidget>

#include <cmath>

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

// WCAG 2 contrast ratio of two colours.
double contrast(const QColor &a, const QColor &b)
{
    const auto lum = [](const QColor &c) {
        const auto lin = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * lin(c.redF()) + 0.7152 * lin(c.greenF()) + 0.0722 * lin(c.blueF());
    };
    const double la = lum(a), lb = lum(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}

// A list view as the skinned windows hold them, drawing one row in a given state.
struct ItemView : QTreeWidget
{
    using QTreeWidget::initViewItemOption;
};

// Draws a row in `state` the way the skin draws it, and measures its text against the
// background: the background at the row's right end, the text at its strongest pixel.
double rowContrast(ItemView &view, QStyle::State state)
{
    QStyleOptionViewItem opt;
    view.initViewItemOption(&opt);
    opt.index = view.model()->index(0, 0);
    opt.rect = QRect(0, 0, 400, 48);
    opt.text = QStringLiteral("WMW Channel");
    opt.features |= QStyleOptionViewItem::HasDisplay;
    opt.state |= QStyle::State_Enabled | QStyle::State_Active | state;
    opt.font.setPixelSize(30);
    opt.font.setBold(true);
    opt.fontMetrics = QFontMetrics(opt.font);
    QImage img(opt.rect.size(), QImage::Format_RGB32);
    img.fill(view.palette().color(QPalette::Base)); // what the view paints under its rows
    {
        QPainter p(&img);
        view.style()->drawControl(QStyle::CE_ItemViewItem, &opt, &p, &view);
    }
    const QColor background = img.pixelColor(390, 24);
    double best = 1;
    for (int y = 4; y < 44; ++y) {
        for (int x = 2; x < 250; ++x)
            best = qMax(best, contrast(img.pixelColor(x, y), background));
    }
    return best;
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
    void usersOwnSkinTakesTheShippedOnesPlace();
    void selectedTextStaysReadable_data();
    void selectedTextStaysReadable();
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

void tst_Skins::usersOwnSkinTakesTheShippedOnesPlace()
{
    // An installed program: the shipped skins, and the user's own "midnight" among theirs.
    TempAppDir shared;
    shared.installCatalogue();
    shared.installSkins();
    QTemporaryDir home;
    const XdgFolders xdg{home.path() + QStringLiteral("/config"), home.path() + QStringLiteral("/data"),
                         home.path() + QStringLiteral("/cache")};
    const QString mine = home.path() + QStringLiteral("/data/zentavo/Skins/midnight.ssk");
    QDir().mkpath(QFileInfo(mine).absolutePath());
    QFile f(mine);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("[Zentavo Skin]\nName=Mine\n[Style]\nQMainWindow { background: #123456; }\n");
    f.close();
    const AppPaths paths = AppPaths::installed(shared.path(), xdg);
    paths.prepare();
    TGlobal g(paths);
    Tfrm_Main w(g);
    QStringList captions;
    for (QAction *a : skinEntries(w))
        captions.append(a->text());
    captions.sort();
    QCOMPARE(captions, QStringList({"Midnight", "Silver", "Vista1"})); // one entry for the name
    entryNamed(w, QStringLiteral("Midnight"))->trigger();
    QCOMPARE(w.skinEngine()->appliedStyleSheet(), QStringLiteral("QMainWindow { background: #123456; }"));
    QCOMPARE(QFileInfo(g.SkinPath).absoluteFilePath(), QFileInfo(mine).absoluteFilePath());
}

void tst_Skins::selectedTextStaysReadable_data()
{
    QTest::addColumn<QString>("path");
    const QDir skins(SourceDir() + QStringLiteral("/resources/skins"));
    for (const QString &file : skins.entryList({QStringLiteral("*.ssk")}, QDir::Files))
        QTest::newRow(qPrintable(file)) << skins.filePath(file);
}

void tst_Skins::selectedTextStaysReadable()
{
    QFETCH(QString, path);
    QDialog window;
    window.setStyleSheet(styleOf(path));
    auto *view = new ItemView;
    view->setParent(&window);
    new QTreeWidgetItem(view, {QStringLiteral("WMW Channel")});
    window.ensurePolished();
    view->ensurePolished();
    const struct
    {
        const char *name;
        QStyle::State state;
    } states[] = {{"selected", QStyle::State_Selected},
                  {"selected and hovered", QStyle::State_Selected | QStyle::State_MouseOver},
                  {"hovered", QStyle::State_MouseOver},
                  {"plain", QStyle::State_None}};
    for (const auto &st : states) {
        const double ratio = rowContrast(*view, st.state);
        QVERIFY2(ratio >= 4.5, qPrintable(QStringLiteral("%1: contrast %2 in the %3 state")
                                              .arg(QFileInfo(path).fileName())
                                              .arg(ratio, 0, 'f', 2)
                                              .arg(QLatin1String(st.name))));
    }
}

QTEST_MAIN(tst_Skins)
#include "tst_skins.moc"
