#include "ListMaker.h"
#include "TestDirs.h"
#include "UiDriver.h"
#include "appearance/AnimatedPicture.h"
#include "base/pGloba.h"
#include "playback/VolumeControl.h"
#include "shell/U_frm_Main.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTreeWidget>
#include <QWindow>

namespace {

QStringList menuItems(const QMenu *menu)
{
    QStringList out;
    for (QAction *a : menu->actions())
        out.append(a->isSeparator() ? QStringLiteral("-") : a->objectName() + u'=' + a->text());
    return out;
}

} // namespace

class tst_MainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void startsIdle();
    void actionsAsTabled_data();
    void actionsAsTabled();
    void mainMenuOrder();
    void popupMenus();
    void controlBarLayout();
    void taggedControls();
    void stayOnTopFollowsSetting();
    void showHideListKeepsPlayerWidth();
    void exitClosesWindow();
    void startsOnListOfSetting_data();
    void startsOnListOfSetting();
    void windowShowsBeforeTheListLoads();
    void remembersItsStateBetweenRuns();
    void badRememberedValuesGiveDefaults();
    void deleteKeyDeletesTheSelectedFavourite();

private:
    TempAppDir *m_dir = nullptr;
    TGlobal *m_global = nullptr;
    Tfrm_Main *m_w = nullptr;
};

void tst_MainWindow::init()
{
    m_dir = new TempAppDir;
    m_dir->installSkins();
    m_dir->installCatalogue();
    m_global = new TGlobal(m_dir->path());
    m_w = new Tfrm_Main(*m_global);
}

void tst_MainWindow::cleanup()
{
    delete m_w;
    delete m_global;
    delete m_dir;
}

void tst_MainWindow::startsIdle()
{
    Tfrm_Main &w = *m_w;
    QCOMPARE(w.windowTitle(), QStringLiteral("Zentavo"));
    QCOMPARE(w.size(), QSize(640, 435));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.size(), QSize(640, 435));
    QVERIFY(child(w, "imgPlay")->isEnabled());
    QVERIFY(!child(w, "imgPause")->isEnabled());
    QVERIFY(!child(w, "imgStop")->isEnabled());
    QVERIFY(child(w, "imgnomute")->isVisible());
    QVERIFY(!child(w, "imgmute")->isVisible());
    QVERIFY(child(w, "panFlash")->isVisible());
    QVERIFY(!child(w, "imgWmplay")->isVisible());
    QVERIFY(!child<AnimatedPicture>(w, "gifConMedia")->Animate());
    QCOMPARE(child<QLabel>(w, "labCap")->text(), QStringLiteral("Zentavo"));
    QCOMPARE(child<QLabel>(w, "labState")->text(), QString());
    QCOMPARE(child(w, "panLeft")->width(), 185);
    QCOMPARE(child(w, "Splitter1")->width(), 1);
    QCOMPARE(child(w, "panControl")->height(), 40);
    QVERIFY(!child(w, "Panel5")->isVisible());
    QCOMPARE(child<QTreeWidget>(w, "treChannle")->indentation(), 19);
    QCOMPARE(child(w, "gifConMedia")->size(), QSize(100, 100));
    // The connecting picture and the caption sit centred on the idle panel.
    QWidget *flash = child(w, "panFlash");
    QWidget *gif = child(w, "gifConMedia");
    QVERIFY(qAbs(gif->geometry().center().x() - flash->width() / 2) <= 1);
}

void tst_MainWindow::actionsAsTabled_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("checked");
    const struct
    {
        const char *name, *caption;
        bool enabled, checked;
    } rows[] = {
        {"actLeftPlay", "&Play", true, false},
        {"actPlay", "&Play", true, false},
        {"actPause", "&Pause", true, false},
        {"actStop", "&Stop", false, false},
        {"act50", "Fit Video to Player", true, false},
        {"act100", "Video Size 100%", true, true},
        {"act200", "Video Size 200%", true, false},
        {"actFull", "&Full Screen", true, false},
        {"actOpen", "&Open URL", true, false},
        {"actExit", "&Exit", true, false},
        {"actSearch", "&Search", true, false},
        {"actAddFav", "&Add to Favorites", true, false},
        {"actDelete", "&Delete", true, false},
        {"actBackup", "&Backup Favorites", true, false},
        {"actRestoreFav", "&Restore Favorites", true, false},
        {"actProperties", "&Properties", true, false},
        {"actAddNew", "Add &New", true, false},
        {"actUpdate", "&Check for Update", true, false},
        {"actOPtion", "&Preferences", true, false},
        {"actFaq", "&F.A.Q", true, false},
        {"actHome", "&HomePage", true, false},
        {"actBroken", "&Report Broken", true, false},
        {"actAddReview", "Add Your &Review", true, false},
        {"actAbout", "&About", true, false},
        {"actFavorites", "My &Favorites", true, false},
        {"actRadio", "&Radio Channels", true, false},
        {"actTV", "&TV Channels", true, true}, // the default list at start
    };
    for (const auto &r : rows)
        QTest::newRow(r.name) << QString::fromUtf8(r.caption) << r.enabled << r.checked;
}

void tst_MainWindow::actionsAsTabled()
{
    QFETCH(QString, caption);
    QAction *a = child<QAction>(*m_w, QTest::currentDataTag());
    QCOMPARE(a->text(), caption);
    QTEST(a->isEnabled(), "enabled");
    QTEST(a->isChecked(), "checked");
}

void tst_MainWindow::mainMenuOrder()
{
    QMenuBar *bar = child<QMenuBar>(*m_w, "mnuMain");
    QStringList titles;
    for (QAction *a : bar->actions())
        titles.append(a->text());
    QCOMPARE(titles, QStringList({QStringLiteral("&File"), QStringLiteral("&Channels"), QStringLiteral("Fi&lter"),
                                  QStringLiteral("&Guide"), QStringLiteral("&Options"), QStringLiteral("Skins"),
                                  QStringLiteral("&Help")}));
    QCOMPARE(menuItems(child<QMenu>(*m_w, "menGuide")),
             QStringList({QStringLiteral("actShowGuide=Show &Guide"), QStringLiteral("-"),
                          QStringLiteral("actGuideSources=Guide &Sources..."),
                          QStringLiteral("actRefreshGuide=&Refresh Guide")}));
    QCOMPARE(
        menuItems(child<QMenu>(*m_w, "menFile")),
        QStringList({QStringLiteral("actOpen=&Open URL"), QStringLiteral("actStop=&Stop"), QStringLiteral("-"),
                     QStringLiteral("actBackup=&Backup Favorites"), QStringLiteral("actRestoreFav=&Restore Favorites"),
                     QStringLiteral("-"), QStringLiteral("actExit=&Exit")}));
    QCOMPARE(menuItems(child<QMenu>(*m_w, "menChannels")),
             QStringList({QStringLiteral("actFavorites=My &Favorites"), QStringLiteral("actTV=&TV Channels"),
                          QStringLiteral("actRadio=&Radio Channels"), QStringLiteral("=&Playlists"),
                          QStringLiteral("-"), QStringLiteral("actAddPlaylist=&Add Playlist..."),
                          QStringLiteral("actRefreshPlaylist=R&efresh Playlist"),
                          QStringLiteral("actManagePlaylists=&Manage Playlists..."), QStringLiteral("-"),
                          QStringLiteral("actSearch=&Search"), QStringLiteral("actCheckChannels=&Check Channels"),
                          QStringLiteral("-"), QStringLiteral("actNextChannel=&Next Channel"),
                          QStringLiteral("actPreviousChannel=Pre&vious Channel"),
                          QStringLiteral("actLastChannel=&Last Channel\tBackspace"), QStringLiteral("-"),
                          QStringLiteral("actRecentlyPlayed=Recently &Played...")}));
    const QStringList categories = {
        QStringLiteral("News"),         QStringLiteral("Kids"),       QStringLiteral("Movies"),
        QStringLiteral("Sports"),       QStringLiteral("General"),    QStringLiteral("Games"),
        QStringLiteral("Weather"),      QStringLiteral("Religious"),  QStringLiteral("Lifestyle"),
        QStringLiteral("Shopping"),     QStringLiteral("Government"), QStringLiteral("Educational"),
        QStringLiteral("Entertainment")};
    QStringList filters;
    for (const QString &c : categories)
        filters.append(QStringLiteral("men") + c + u'=' + c);
    filters += {QStringLiteral("-"), QStringLiteral("actHideOffAir=&Hide Channels off the Air")};
    QCOMPARE(menuItems(child<QMenu>(*m_w, "menFilter")), filters);
    for (QAction *a : child<QMenu>(*m_w, "menFilter")->actions()) {
        QVERIFY(a->isCheckable() || a->isSeparator());
        QVERIFY(!a->isChecked());
    }
    QCOMPARE(menuItems(child<QMenu>(*m_w, "menOptions")),
             QStringList({QStringLiteral("actUpdate=&Check for Update"), QStringLiteral("-"),
                          QStringLiteral("actOPtion=&Preferences")}));
    QCOMPARE(menuItems(child<QMenu>(*m_w, "menHelp")),
             QStringList({QStringLiteral("actFaq=&F.A.Q"), QStringLiteral("actHome=&HomePage"),
                          QStringLiteral("actAbout=&About")}));
    QCOMPARE(child<QAction>(*m_w, "actHome")->toolTip(), QStringLiteral("Visit Our Web Site"));
}

void tst_MainWindow::popupMenus()
{
    QCOMPARE(
        menuItems(m_w->popLeftMenu()),
        QStringList({QStringLiteral("actLeftPlay=&Play"), QStringLiteral("actAddFav=&Add to Favorites"),
                     QStringLiteral("actAddNew=Add &New"), QStringLiteral("actDelete=&Delete"), QStringLiteral("-"),
                     QStringLiteral("actBroken=&Report Broken"), QStringLiteral("actAddReview=Add Your &Review"),
                     QStringLiteral("actProperties=&Properties")}));
    QCOMPARE(
        menuItems(m_w->popControlMenu()),
        QStringList({QStringLiteral("actPlay=&Play"), QStringLiteral("actPause=&Pause"),
                     QStringLiteral("actStop=&Stop"), QStringLiteral("-"), QStringLiteral("act50=Fit Video to Player"),
                     QStringLiteral("act100=Video Size 100%"), QStringLiteral("act200=Video Size 200%"),
                     QStringLiteral("actFull=&Full Screen"), QStringLiteral("-"),
                     QStringLiteral("actVolumeUp=Volume &Up"), QStringLiteral("actVolumeDown=Volume &Down"),
                     QStringLiteral("actMute=&Mute"), QStringLiteral("-"), QStringLiteral("=Stream &Information")}));
}

void tst_MainWindow::controlBarLayout()
{
    Tfrm_Main &w = *m_w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QWidget *bar = child(w, "panControl");
    const int dx = bar->width() - 446; // right-anchored controls move by the growth
    QCOMPARE(child(w, "imgPlay")->geometry(), QRect(8, 7, 30, 30));
    QCOMPARE(child(w, "imgPause")->geometry(), QRect(45, 14, 22, 22));
    QCOMPARE(child(w, "imgStop")->geometry(), QRect(70, 14, 22, 22));
    QCOMPARE(child(w, "ImagePanel1")->geometry(), QRect(104, 13, 12, 22));
    QCOMPARE(child(w, "panState")->geometry(), QRect(114, 13, 144 + dx, 22));
    QCOMPARE(child(w, "labState")->geometry(), QRect(2, 5, 138 + dx, 13));
    QCOMPARE(child(w, "ImagePanel3")->geometry(), QRect(256 + dx, 13, 12, 22));
    QCOMPARE(child(w, "imgnomute")->geometry(), QRect(282 + dx, 14, 22, 22));
    QCOMPARE(child(w, "imgmute")->geometry(), QRect(282 + dx, 14, 22, 22));
    QCOMPARE(child(w, "imgRuler")->geometry(), QRect(308 + dx, 14, 100, 14));
    QCOMPARE(child(w, "EzRgnBtn3")->geometry(), QRect(417 + dx, 13, 22, 22));
    QCOMPARE(child(w, "Image1")->geometry(), bar->rect());
    for (const char *name : {"imgPlay", "imgPause", "imgStop", "EzRgnBtn3", "labCap"})
        QCOMPARE(child(w, name)->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(child(w, "imgPlay")->toolTip(), QStringLiteral("Play"));
    QCOMPARE(child(w, "imgRuler")->toolTip(), QStringLiteral("Volume"));
    QCOMPARE(child(w, "imgMove")->toolTip(), QStringLiteral("Volume"));
    QCOMPARE(child(w, "imgmute")->toolTip(), QStringLiteral("Sound"));
    QCOMPARE(child(w, "EzRgnBtn3")->toolTip(), QStringLiteral("Show/Hide Channel List"));

    w.resize(800, 500);
    QTRY_COMPARE(bar->width(), 446 + dx + 160);
    QCOMPARE(child(w, "EzRgnBtn3")->geometry(), QRect(417 + dx + 160, 13, 22, 22));
    QCOMPARE(child(w, "imgPlay")->geometry(), QRect(8, 7, 30, 30));
}

void tst_MainWindow::taggedControls()
{
    for (const char *name : {"panControl", "Image1", "imgPlay", "imgPause", "imgStop", "EzRgnBtn3", "ImagePanel1",
                             "panState", "ImagePanel3", "imgWmplay", "panFlash"})
        QCOMPARE(child(*m_w, name)->property("Tag").toInt(), 9999);
    QVERIFY(!child(*m_w, "treChannle")->property("Tag").isValid());
}

void tst_MainWindow::stayOnTopFollowsSetting()
{
    QVERIFY(!(m_w->windowFlags() & Qt::WindowStaysOnTopHint));
    m_global->Ontop = true;
    Tfrm_Main onTop(*m_global);
    QVERIFY(onTop.windowFlags() & Qt::WindowStaysOnTopHint);
}

void tst_MainWindow::showHideListKeepsPlayerWidth()
{
    Tfrm_Main &w = *m_w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QWidget *player = child(w, "Panel2");
    const int playerWidth = player->width();
    auto *button = child<QAbstractButton>(w, "EzRgnBtn3");
    button->click();
    QVERIFY(child(w, "panLeft")->isHidden());
    QCOMPARE(w.width(), 640 - 185);
    QTRY_COMPARE(player->width(), playerWidth);
    // Nothing plays: the idle panel stays and nothing else changes.
    QVERIFY(child(w, "panFlash")->isVisible());
    QVERIFY(!child(w, "imgWmplay")->isVisible());
    QCOMPARE(w.height(), 435);
    button->click();
    QVERIFY(child(w, "panLeft")->isVisible());
    QCOMPARE(w.width(), 640);
    QTRY_COMPARE(player->width(), playerWidth);
    QCOMPARE(child(w, "panLeft")->width(), 185);
}

void tst_MainWindow::exitClosesWindow()
{
    m_w->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_w));
    child<QAction>(*m_w, "actExit")->trigger();
    QVERIFY(!m_w->isVisible());
}

void tst_MainWindow::startsOnListOfSetting_data()
{
    QTest::addColumn<int>("setting");
    QTest::addColumn<QString>("checked");
    QTest::addColumn<QString>("firstGroup");
    QTest::newRow("favourites") << 0 << QStringLiteral("actFavorites") << QStringLiteral("MY_FAVORITES  (8)");
    QTest::newRow("tv") << 1 << QStringLiteral("actTV") << QStringLiteral("ARGENTINA  (13)");
    QTest::newRow("radio") << 2 << QStringLiteral("actRadio") << QStringLiteral("ARGENTINA  (14)");
    QTest::newRow("seven: none") << 7 << QString() << QString();
    QTest::newRow("minus one: none") << -1 << QString() << QString();
}

void tst_MainWindow::startsOnListOfSetting()
{
    QFETCH(int, setting);
    QFETCH(QString, checked);
    QFETCH(QString, firstGroup);
    RecordingPrompter prompter;
    m_global->DiplayList = setting;
    Tfrm_Main w(*m_global);
    ShowWithFirstList(w);
    for (const char *name : {"actFavorites", "actTV", "actRadio"})
        QCOMPARE(child<QAction>(w, name)->isChecked(), checked == QLatin1String(name));
    auto *tree = child<QTreeWidget>(w, "treChannle");
    QCOMPARE(tree->topLevelItemCount() > 0 ? tree->topLevelItem(0)->text(0) : QString(), firstGroup);
    if (setting == 0)
        QVERIFY(tree->topLevelItem(0)->isExpanded());
    const bool filters = setting == 1 || checked.isEmpty();
    // The categories are the TV list's; hiding channels off the air applies to every list.
    for (QAction *f : child<QMenu>(w, "menFilter")->actions())
        QCOMPARE(f->isEnabled(), f->objectName() == u"actHideOffAir" || f->isSeparator() || filters);
    QVERIFY(prompter.messages.isEmpty());
}

void tst_MainWindow::windowShowsBeforeTheListLoads()
{
    m_dir->writeList(QStringLiteral("data/TV.CHL"), ListMaker::Plain(20, 500));
    TGlobal global(m_dir->path());
    Tfrm_Main w(global);
    auto *tree = child<QTreeWidget>(w, "treChannle");
    bool exposedAtFirstRow = false;
    int rows = 0;
    connect(tree->model(), &QAbstractItemModel::rowsInserted, this, [&] {
        if (rows++ == 0)
            exposedAtFirstRow = w.windowHandle() && w.windowHandle()->isExposed();
    });
    QCOMPARE(tree->topLevelItemCount(), 0); // nothing is loaded before the window shows
    ShowWithFirstList(w);
    QVERIFY(rows > 0);
    QVERIFY(exposedAtFirstRow);
    QCOMPARE(tree->topLevelItemCount(), 20);
}

void tst_MainWindow::remembersItsStateBetweenRuns()
{
    {
        Tfrm_Main &w = *m_w;
        ShowWithFirstList(w);
        w.move(70, 60);
        w.resize(760, 520);
        QTRY_COMPARE(QRect(w.pos(), w.size()), QRect(70, 60, 760, 520));
        child(w, "panLeft")->setFixedWidth(230);
        QTest::mouseClick(child(w, "imgRuler"), Qt::LeftButton, {}, QPoint(60, 7));
        child<QAbstractButton>(w, "imgnomute")->click();
        w.close();
    }
    const QByteArray ini = m_dir->config();
    QVERIFY2(ini.contains("Volume=68\n") && ini.contains("Mute=1\n") && ini.contains("ListWidth=230\n"), ini);
    TGlobal again(m_dir->path());
    Tfrm_Main w(again);
    ShowWithFirstList(w);
    QCOMPARE(QRect(w.pos(), w.size()), QRect(70, 60, 760, 520));
    QCOMPARE(child(w, "panLeft")->width(), 230);
    QCOMPARE(w.volume()->volume(), 68);
    QVERIFY(child(w, "imgmute")->isVisible());
    // Maximised, it comes back maximised, with the size it had before.
    w.showMaximized();
    QTRY_VERIFY(w.isMaximized());
    w.close();
    TGlobal third(m_dir->path());
    Tfrm_Main w3(third);
    QVERIFY(w3.windowState() & Qt::WindowMaximized);
    w3.showNormal();
    QTRY_COMPARE(QRect(w3.pos(), w3.size()), QRect(70, 60, 760, 520));
}

void tst_MainWindow::badRememberedValuesGiveDefaults()
{
    m_dir->writeConfig("[Config]\nVolume=loud\nMute=yes\nWindowLeft=20\nWindowTop=x\nWindowWidth=-5\n"
                       "WindowHeight=400\nListWidth=wide\n");
    TGlobal global(m_dir->path());
    Tfrm_Main w(global);
    ShowWithFirstList(w);
    QCOMPARE(w.size(), QSize(640, 435));
    QCOMPARE(child(w, "panLeft")->width(), 185);
    QCOMPARE(w.volume()->volume(), 49);
    QVERIFY(!w.volume()->muted());
    // A place no screen shows any more is not taken.
    m_dir->writeConfig("[Config]\nWindowLeft=-5000\nWindowTop=-5000\nWindowWidth=700\nWindowHeight=500\n");
    TGlobal away(m_dir->path());
    Tfrm_Main w2(away);
    ShowWithFirstList(w2);
    QVERIFY(w2.screen()->availableGeometry().contains(w2.frameGeometry()));
}

void tst_MainWindow::deleteKeyDeletesTheSelectedFavourite()
{
    RecordingPrompter prompter;
    m_global->DiplayList = 0;
    Tfrm_Main w(*m_global);
    ShowWithFirstList(w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    auto *tree = child<QTreeWidget>(w, "treChannle");
    tree->setFocus();
    const int before = tree->topLevelItem(0)->childCount();
    tree->setCurrentItem(tree->topLevelItem(0)->child(1));
    const QString name = tree->currentItem()->text(0);
    prompter.answers = {true};
    QTest::keyClick(tree, Qt::Key_Delete);
    QCOMPARE(prompter.texts(), QStringList({QStringLiteral("Are you sure you want to delete ") + name}));
    QTRY_VERIFY(w.firstListLoaded() && tree->topLevelItemCount() > 0);
    QCOMPARE(tree->topLevelItem(0)->childCount(), before - 1);
    // In another list the key deletes nothing and asks nothing.
    child<QAction>(w, "actTV")->trigger();
    tree->setCurrentItem(tree->topLevelItem(0)->child(0));
    QTest::keyClick(tree, Qt::Key_Delete);
    QCOMPARE(prompter.messages.size(), 1);
}

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
