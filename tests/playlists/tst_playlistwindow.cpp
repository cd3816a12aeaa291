#include "TestDirs.h"
#include "TestHttpServer.h"
#include "UiDriver.h"
#include "base/Errors.h"
#include "base/NetworkScope.h"
#include "base/pGloba.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/ListCipher.h"
#include "playback/PlaybackControl.h"
#include "playback/PlayerComponents.h"
#include "playlists/PlaylistCommands.h"
#include "playlists/PublicPlaylists.h"
#include "shell/U_frm_Main.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

extern "C" engine::Factory *zentavo_player_engines();

namespace {

const QByteArray kPlaylist =
    "#EXTM3U\n"
    "#EXTINF:-1 tvg-id=\"one.es\" group-title=\"Noticias & Deportes/ES\",Canal Uno\n"
    "http://127.0.0.1:9/one.m3u8\n"
    "#EXTINF:-1 group-title='Noticias & Deportes/ES' tvg-logo=\"http://127.0.0.1:9/l.png\",Canal Dos\n"
    "#EXTVLCOPT:http-user-agent=Box/1.0\n"
    "http://127.0.0.1:9/two.m3u8\n"
    "#EXTINF:-1,Loose Channel\n"
    "http://127.0.0.1:9/loose.m3u8\n";

QByteArray m3u(const QByteArray &body)
{
    return HttpReply(200, "OK", body, "Content-Type: audio/x-mpegurl\r\n");
}

QStringList topLevel(QTreeWidget *tree)
{
    QStringList out;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        out.append(tree->topLevelItem(i)->text(0));
    return out;
}

QStringList menuTexts(QMenu *menu)
{
    QStringList out;
    for (QAction *a : menu->actions())
        out.append(a->text() + (a->isChecked() ? QStringLiteral(" *") : QString()));
    return out;
}

} // namespace

class tst_PlaylistWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void addShowsItAsAListAndRemembersIt();
    void searchFindsPlaylistChannels();
    void failedAddStoresNothing();
    void cancelInTheStatusBarStopsAnAdd();
    void aSlowServerHoldsUpNoOtherPlaylist();
    void failedRefreshKeepsTheListAndSaysWhy();
    void channelCommandsOnAPlaylist();
    void aListFromTheWebReachesNoFileNorThisNetwork();
    void manageRenamesAndRemovesWithAQuestion();
    void dueRefreshRunsQuietly();
    void publicPlaylistsAreOfferedAsPublished();
    void openingAPlaylistOffersToAddIt();
    void openingASingleStreamPlaysIt();

private:
    Tfrm_Main &window();
    // Starts adding a playlist whose server never answers.
    void startSlowAdd();
    // Adds a playlist through the Add dialog and waits for its fetch to end.
    bool addThroughDialog(const QString &name, const QString &source);
    QTreeWidget *tree() { return child<QTreeWidget>(*m_w, "treChannle"); }
    PlaylistCommands *commands() { return m_w->playlists(); }

    TempAppDir *m_dir = nullptr;
    TGlobal *m_global = nullptr;
    Tfrm_Main *m_w = nullptr;
    TestHttpServer *m_http = nullptr;
    RecordingPrompter *m_prompts = nullptr;
};

void tst_PlaylistWindow::init()
{
    qputenv("ZENTAVO_AUDIO_OUTPUT", "null");
    SetPlayerEngines(zentavo_player_engines());
    m_dir = new TempAppDir;
    m_dir->installSkins();
    m_dir->installCatalogue();
    m_dir->writeConfig("[Config]\nDiplayList=1\n");
    m_global = new TGlobal(m_dir->path());
    m_http = new TestHttpServer;
    m_prompts = new RecordingPrompter;
    m_http->script(QStringLiteral("/list.m3u"), m3u(kPlaylist));
}

void tst_PlaylistWindow::cleanup()
{
    delete m_w;
    m_w = nullptr;
    delete m_prompts;
    delete m_http;
    delete m_global;
    delete m_dir;
}

Tfrm_Main &tst_PlaylistWindow::window()
{
    if (!m_w) {
        m_w = new Tfrm_Main(*m_global);
        ShowWithFirstList(*m_w);
    }
    return *m_w;
}

bool tst_PlaylistWindow::addThroughDialog(const QString &name, const QString &source)
{
    QSignalSpy done(commands(), &PlaylistCommands::fetchFinished);
    WhenModal([&](QWidget *dlg) {
        child<QLineEdit>(*dlg, "edtName")->setText(name);
        child<QLineEdit>(*dlg, "edtSource")->setText(source);
        child<QPushButton>(*dlg, "btnOk")->click();
    });
    child<QAction>(*m_w, "actAddPlaylist")->trigger();
    return done.wait(10000) || done.size() == 1;
}

void tst_PlaylistWindow::addShowsItAsAListAndRemembersIt()
{
    window();
    QVERIFY(addThroughDialog(QStringLiteral("My & List"), m_http->url(QStringLiteral("/list.m3u"))));
    QVERIFY(m_prompts->messages.isEmpty());
    QTRY_VERIFY(!m_w->channelTree()->isLoading() && m_w->channelTree()->ChannelListKind() == ListKind::Playlist);

    // Groups as written (no element-name mangling, no capitals), channels by name alone.
    QCOMPARE(topLevel(tree()),
             QStringList({QStringLiteral("Noticias & Deportes/ES  (2)"), QStringLiteral("My & List  (1)")}));
    // A group's channels come when it is opened.
    QCOMPARE(tree()->topLevelItem(0)->childCount(), 0);
    tree()->topLevelItem(0)->setExpanded(true);
    QCOMPARE(tree()->topLevelItem(0)->childCount(), 2);
    QCOMPARE(tree()->topLevelItem(0)->child(1)->text(0), QStringLiteral("Canal Dos"));
    QCOMPARE(menuTexts(child<QMenu>(*m_w, "menPlaylists")), QStringList({QStringLiteral("My && List *")}));
    QVERIFY(!child<QAction>(*m_w, "actTV")->isChecked());
    for (QAction *a : child<QMenu>(*m_w, "menFilter")->actions()) // the categories are the TV list's
        QVERIFY(!a->isEnabled() || a->objectName() == u"actHideOffAir" || a->isSeparator());
    QVERIFY(child<QAction>(*m_w, "actRefreshPlaylist")->isEnabled());

    // The next start shows it again; choosing the TV list makes that the one remembered.
    m_w->close();
    delete m_w;
    m_w = nullptr;
    TGlobal again(m_dir->path());
    QVERIFY(!again.LastPlaylist.isEmpty());
    delete m_global;
    m_global = new TGlobal(m_dir->path());
    window();
    QCOMPARE(m_w->channelTree()->ChannelListKind(), ListKind::Playlist);
    QCOMPARE(tree()->topLevelItemCount(), 2);
    QVERIFY(!child<QAction>(*m_w, "actTV")->isChecked());
    child<QAction>(*m_w, "actTV")->trigger();
    QTRY_VERIFY(!m_w->channelTree()->isLoading());
    QCOMPARE(menuTexts(child<QMenu>(*m_w, "menPlaylists")), QStringList({QStringLiteral("My && List")}));
    QVERIFY(!child<QAction>(*m_w, "actRefreshPlaylist")->isEnabled());
    m_w->close();
    QVERIFY(TGlobal(m_dir->path()).LastPlaylist.isEmpty());
}

void tst_PlaylistWindow::searchFindsPlaylistChannels()
{
    window();
    QVERIFY(addThroughDialog(QStringLiteral("Spain"), m_http->url(QStringLiteral("/list.m3u"))));
    for (int scope : {3, 4}) { // Search All, then the playlists alone
        QStringList rows;
        WhenModal([&](QWidget *dlg) {
            auto *box = child<QComboBox>(*dlg, "cobChannel");
            QCOMPARE(box->count(), 5);
            box->setCurrentIndex(scope);
            child<QLineEdit>(*dlg, "edtName")->setText(QStringLiteral("canal"));
            child<QPushButton>(*dlg, "Button1")->click();
            auto *list = child<QTreeWidget>(*dlg, "listChannel");
            for (int i = 0; i < list->topLevelItemCount(); ++i)
                rows.append(list->topLevelItem(i)->text(0) + u'|' + list->topLevelItem(i)->text(1));
            static_cast<QDialog *>(dlg)->reject();
        });
        m_w->actSearchExecute();
        QVERIFY2(rows.contains(QStringLiteral("Spain|Canal Uno")), qPrintable(rows.join(u',')));
        QVERIFY(rows.contains(QStringLiteral("Spain|Canal Dos")));
        if (scope == 4)
            QCOMPARE(rows.size(), 2);
    }
}

void tst_PlaylistWindow::failedAddStoresNothing()
{
    m_http->script(QStringLiteral("/page"),
                   HttpReply(200, "OK", "<!DOCTYPE html><html><body>Hi</body></html>", "Content-Type: text/html\r\n"));
    window();
    QVERIFY(addThroughDialog(QStringLiteral("Web page"), m_http->url(QStringLiteral("/page"))));
    QCOMPARE(m_prompts->messages.size(), 1);
    QVERIFY2(m_prompts->texts().first().startsWith(QStringLiteral("The playlist \"Web page\" could not be added.\n")),
             qPrintable(m_prompts->texts().first()));
    commands()->store().load();
    QVERIFY(commands()->store().playlists().isEmpty());
    QCOMPARE(QDir(m_global->PlaylistDir).entryList({QStringLiteral("*.CHL")}, QDir::Files), QStringList());
    QCOMPARE(menuTexts(child<QMenu>(*m_w, "menPlaylists")), QStringList({QStringLiteral("(no playlists yet)")}));
    QCOMPARE(m_w->channelTree()->ChannelListKind(), ListKind::TV); // what was shown stays
}

void tst_PlaylistWindow::startSlowAdd()
{
    TestHttpServer::Reply silent;
    silent.silent = true;
    m_http->script(QStringLiteral("/slow.m3u"), silent);
    window();
    WhenModal([&](QWidget *dlg) {
        child<QLineEdit>(*dlg, "edtSource")->setText(m_http->url(QStringLiteral("/slow.m3u")));
        child<QPushButton>(*dlg, "btnOk")->click();
    });
    child<QAction>(*m_w, "actAddPlaylist")->trigger();
}

void tst_PlaylistWindow::cancelInTheStatusBarStopsAnAdd()
{
    window();
    QSignalSpy done(commands(), &PlaylistCommands::fetchFinished);
    startSlowAdd();
    auto *cancel = child<QPushButton>(*m_w, "btnPlaylistCancel");
    QTRY_VERIFY(cancel->isVisible());
    QVERIFY(
        child<QLabel>(*m_w, "labPlaylistState")->text().startsWith(QStringLiteral("Fetching the playlist \"slow\"")));
    QVERIFY(!child<QAction>(*m_w, "actRefreshPlaylist")->isEnabled());
    cancel->click();
    QTRY_COMPARE(done.size(), 1); // an abort may report at once
    QVERIFY(done.first().at(1).value<PlaylistFetch::Result>().cancelled);
    QVERIFY(!cancel->isVisible());
    QVERIFY(m_prompts->messages.isEmpty());
    commands()->store().load();
    QVERIFY(commands()->store().playlists().isEmpty());
    QCOMPARE(child<QLabel>(*m_w, "labPlaylistState")->text(),
             QStringLiteral("Adding the playlist \"slow\" was cancelled."));
}

void tst_PlaylistWindow::aSlowServerHoldsUpNoOtherPlaylist()
{
    window();
    QSignalSpy done(commands(), &PlaylistCommands::fetchFinished);
    startSlowAdd();
    QTRY_VERIFY(commands()->isFetching());
    // Another playlist is added, shown and refreshed (F5) while the first still waits.
    QVERIFY(addThroughDialog(QStringLiteral("Quick"), m_http->url(QStringLiteral("/list.m3u"))));
    QCOMPARE(done.size(), 1);
    QVERIFY(done.first().at(1).value<PlaylistFetch::Result>().ok);
    QVERIFY(child<QPushButton>(*m_w, "btnPlaylistCancel")->isVisible());
    QTRY_VERIFY(child<QAction>(*m_w, "actRefreshPlaylist")->isEnabled());
    child<QAction>(*m_w, "actRefreshPlaylist")->trigger();
    QTRY_COMPARE(done.size(), 2);
    QVERIFY(done.at(1).at(1).value<PlaylistFetch::Result>().ok);
    QVERIFY(commands()->isFetching());
    child<QPushButton>(*m_w, "btnPlaylistCancel")->click();
    QTRY_COMPARE(done.size(), 3);
    QVERIFY(done.at(2).at(1).value<PlaylistFetch::Result>().cancelled);
}

void tst_PlaylistWindow::failedRefreshKeepsTheListAndSaysWhy()
{
    window();
    QVERIFY(addThroughDialog(QStringLiteral("Mine"), m_http->url(QStringLiteral("/list.m3u"))));
    QTRY_COMPARE(tree()->topLevelItemCount(), 2);
    const QString id = commands()->shownId();
    const QByteArray stored = ReadListFile(commands()->store().listFile(id));

    m_http->script(QStringLiteral("/list.m3u"), HttpReply(404, "Not Found", "gone"));
    QSignalSpy done(commands(), &PlaylistCommands::fetchFinished);
    child<QAction>(*m_w, "actRefreshPlaylist")->trigger();
    QVERIFY(done.wait(10000));
    QCOMPARE(m_prompts->messages.size(), 1);
    QVERIFY(m_prompts->texts().first().contains(QStringLiteral("stays as it was")));
    QVERIFY(m_prompts->texts().first().contains(QStringLiteral("Not Found")));
    QCOMPARE(ReadListFile(commands()->store().listFile(id)), stored);
    QCOMPARE(tree()->topLevelItemCount(), 2);
    QVERIFY(child<QWidget>(*m_w, "Panel5")->isVisible());
    QVERIFY(child<QLabel>(*m_w, "labPlaylistState")->text().contains(QStringLiteral("Not Found")));
    const auto info = commands()->store().find(id);
    QVERIFY(info && info->error.contains(QStringLiteral("Not Found")) && info->channels == 3);

    // The manager shows why the last refresh failed.
    QString state;
    WhenModal([&](QWidget *dlg) {
        state = child<QLabel>(*dlg, "labState")->text();
        static_cast<QDialog *>(dlg)->accept();
    });
    child<QAction>(*m_w, "actManagePlaylists")->trigger();
    QVERIFY2(state.startsWith(QStringLiteral("3 channels")) && state.contains(QStringLiteral("Not Found")),
             qPrintable(state));
}

void tst_PlaylistWindow::channelCommandsOnAPlaylist()
{
    window();
    QVERIFY(addThroughDialog(QStringLiteral("Mine"), m_http->url(QStringLiteral("/list.m3u"))));
    QTRY_COMPARE(tree()->topLevelItemCount(), 2);
    tree()->topLevelItem(0)->setExpanded(true);
    QTreeWidgetItem *uno = tree()->topLevelItem(0)->child(0);
    tree()->setCurrentItem(uno);
    // A guide's id is no channel of the vendor site: its pages are not offered.
    QVERIFY(!child<QAction>(*m_w, "actBroken")->isEnabled());
    QVERIFY(!child<QAction>(*m_w, "actAddReview")->isEnabled());
    QVERIFY(!child<QAction>(*m_w, "actDelete")->isEnabled());

    // A copy in the favourites keeps what the channel's server wants to see.
    tree()->setCurrentItem(tree()->topLevelItem(0)->child(1));
    child<QAction>(*m_w, "actAddFav")->trigger();
    const QByteArray favourites = ReadListFile(m_global->FavListFile);
    QVERIFY(favourites.contains("ChannelName=\"Canal Dos\""));
    QVERIFY(favourites.contains("URL=\"http://127.0.0.1:9/two.m3u8\""));
    QVERIFY(favourites.contains("UserAgent=\"Box/1.0\""));

    QStringList fields;
    WhenModal([&](QWidget *dlg) {
        for (QLineEdit *e : dlg->findChildren<QLineEdit *>()) {
            QVERIFY(e->isReadOnly());
            fields.append(e->objectName() + u'=' + e->text());
        }
        static_cast<QDialog *>(dlg)->reject();
    });
    child<QAction>(*m_w, "actProperties")->trigger();
    QVERIFY(fields.contains(QStringLiteral("edtURL=http://127.0.0.1:9/two.m3u8")));
    QVERIFY(fields.contains(QStringLiteral("edtGroup=Noticias & Deportes/ES")));
    QVERIFY(fields.contains(QStringLiteral("edtUserAgent=Box/1.0")));
    QVERIFY(fields.contains(QStringLiteral("edtLogo=http://127.0.0.1:9/l.png")));
}

void tst_PlaylistWindow::aListFromTheWebReachesNoFileNorThisNetwork()
{
    // 127.0.0.2 plays a server on the internet; the channels it lists point back home.
    TestHttpServer web(0, QHostAddress(QStringLiteral("127.0.0.2")));
    netscope::TreatAsPublic({QHostAddress(QStringLiteral("127.0.0.2"))});
    const auto restore = qScopeGuard([] { netscope::TreatAsPublic({}); });
    web.script(QStringLiteral("/web.m3u"), m3u("#EXTM3U\n#EXTINF:-1,Secret\nfile:///etc/hostname\n"
                                               "#EXTINF:-1,Router\nhttp://192.168.1.1/admin\n"));
    window();
    QVERIFY(addThroughDialog(QStringLiteral("Web"), web.url(QStringLiteral("/web.m3u"))));
    QTRY_COMPARE(tree()->topLevelItemCount(), 1);
    tree()->topLevelItem(0)->setExpanded(true);
    for (int row : {0, 1}) {
        tree()->setCurrentItem(tree()->topLevelItem(0)->child(row));
        m_w->channelTree()->treChannleDblClick();
    }
    QCOMPARE(m_prompts->texts(),
             QStringList({QStringLiteral("\"Secret\" is not played: a playlist from the web cannot open local "
                                         "files.\nfile:///etc/hostname"),
                          QStringLiteral("\"Router\" is not played: private address.\nhttp://192.168.1.1/admin")}));
    QVERIFY(m_w->playback()->CurrentUrl.isEmpty());

    // The same list from this computer's network is the user's own: its channels are played.
    QVERIFY(addThroughDialog(QStringLiteral("Home"), m_http->url(QStringLiteral("/list.m3u"))));
    QVERIFY(!ReadListFile(commands()->store().listFile(commands()->shownId())).contains("Origin="));
    QVERIFY(ReadListFile(commands()->store().listFile(commands()->store().playlists().first().id))
                .contains("Origin=\"web\""));
}

void tst_PlaylistWindow::manageRenamesAndRemovesWithAQuestion()
{
    window();
    QVERIFY(addThroughDialog(QStringLiteral("Mine"), m_http->url(QStringLiteral("/list.m3u"))));
    QTRY_COMPARE(tree()->topLevelItemCount(), 2);
    m_prompts->answers = {false, true}; // the first removal is cancelled
    WhenModal([&](QWidget *dlg) {
        child<QLineEdit>(*dlg, "edtName")->setText(QStringLiteral("  Renamed   one "));
        child<QComboBox>(*dlg, "cobRefresh")->setCurrentIndex(3);
        child<QPushButton>(*dlg, "btnSave")->click();
        QCOMPARE(child<QListWidget>(*dlg, "lstPlaylists")->item(0)->text(), QStringLiteral("Renamed one"));
        child<QPushButton>(*dlg, "btnRemove")->click();
        QCOMPARE(child<QListWidget>(*dlg, "lstPlaylists")->count(), 1);
        child<QPushButton>(*dlg, "btnRemove")->click();
        QCOMPARE(child<QListWidget>(*dlg, "lstPlaylists")->count(), 0);
        static_cast<QDialog *>(dlg)->accept();
    });
    const QString id = commands()->shownId();
    child<QAction>(*m_w, "actManagePlaylists")->trigger();
    QCOMPARE(m_prompts->messages.size(), 2);
    QCOMPARE(m_prompts->texts().first(), QStringLiteral("Remove the playlist \"Renamed one\" and its 3 channels?"));
    QVERIFY(!QFile::exists(commands()->store().listFile(id)));
    QCOMPARE(tree()->topLevelItemCount(), 0);
    QCOMPARE(menuTexts(child<QMenu>(*m_w, "menPlaylists")), QStringList({QStringLiteral("(no playlists yet)")}));
    QVERIFY(!child<QAction>(*m_w, "actRefreshPlaylist")->isEnabled());
}

void tst_PlaylistWindow::dueRefreshRunsQuietly()
{
    PlaylistStore store(m_global->PlaylistDir);
    const PlaylistInfo daily =
        store.add(QStringLiteral("Daily"), m_http->url(QStringLiteral("/list.m3u")), RefreshInterval::Daily);
    const PlaylistInfo never =
        store.add(QStringLiteral("Never"), m_http->url(QStringLiteral("/never.m3u")), RefreshInterval::Never);
    const PlaylistInfo broken =
        store.add(QStringLiteral("Broken"), m_http->url(QStringLiteral("/missing.m3u")), RefreshInterval::AtStartup);
    window();
    QSignalSpy done(commands(), &PlaylistCommands::fetchFinished);
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 2, Tfrm_Main::kDueRefreshDelayMs + 10000);
    QVERIFY(m_prompts->messages.isEmpty()); // a background failure is no message box
    commands()->store().load();
    QCOMPARE(commands()->store().find(daily.id)->channels, 3);
    QVERIFY(!commands()->store().find(never.id)->tried.isValid());
    QVERIFY(commands()->store().find(broken.id)->error.contains(QStringLiteral("Not Found")));
    // Refreshed in the background: on the menu, not pushed into the tree.
    QCOMPARE(menuTexts(child<QMenu>(*m_w, "menPlaylists")), QStringList({QStringLiteral("Daily")}));
    QCOMPARE(m_w->channelTree()->ChannelListKind(), ListKind::TV);
}

void tst_PlaylistWindow::publicPlaylistsAreOfferedAsPublished()
{
    const QList<PublicPlaylist> shipped = ShippedPublicPlaylists();
    QVERIFY(shipped.size() > 50);
    const auto named = [&](const QString &name) {
        for (const PublicPlaylist &p : shipped) {
            if (p.name == name)
                return p;
        }
        return PublicPlaylist{};
    };
    QCOMPARE(named(QStringLiteral("iptv-org: All channels")).address,
             QStringLiteral("https://iptv-org.github.io/iptv/index.m3u"));
    QCOMPARE(named(QStringLiteral("iptv-org: Germany")).address,
             QStringLiteral("https://iptv-org.github.io/iptv/countries/de.m3u"));
    QCOMPARE(named(QStringLiteral("iptv-org: News")).address,
             QStringLiteral("https://iptv-org.github.io/iptv/categories/news.m3u"));
    for (const PublicPlaylist &p : shipped)
        QCOMPARE(p.interval, RefreshInterval::Daily);
    QVERIFY_THROWS_EXCEPTION(ZError,
                             ReadPublicPlaylists("{\"collections\":[{\"publisher\":\"x\",\"base\":\"http://a/\"}]}"));
    QVERIFY_THROWS_EXCEPTION(ZError,
                             ReadPublicPlaylists("{\"collections\":[{\"publisher\":\"x\",\"base\":\"https://a/\","
                                                 "\"countries\":[[\"../../etc\",\"X\"]]}]}"));

    // Picking one in the dialog fills it in, refreshed daily.
    window();
    QString name, source, refresh;
    WhenModal([&](QWidget *dlg) {
        auto *box = child<QComboBox>(*dlg, "cobCollection");
        box->setCurrentIndex(box->findText(QStringLiteral("iptv-org: Germany")));
        name = child<QLineEdit>(*dlg, "edtName")->text();
        source = child<QLineEdit>(*dlg, "edtSource")->text();
        refresh = child<QComboBox>(*dlg, "cobRefresh")->currentText();
        static_cast<QDialog *>(dlg)->reject();
    });
    child<QAction>(*m_w, "actAddPlaylist")->trigger();
    QCOMPARE(name, QStringLiteral("iptv-org: Germany"));
    QCOMPARE(source, QStringLiteral("https://iptv-org.github.io/iptv/countries/de.m3u"));
    QCOMPARE(refresh, QStringLiteral("Daily"));
    commands()->store().load();
    QVERIFY(commands()->store().playlists().isEmpty());
}

void tst_PlaylistWindow::openingAPlaylistOffersToAddIt()
{
    m_dir->write(QStringLiteral("Spain.m3u"), kPlaylist);
    window();
    QString offered;
    m_prompts->answers = {true};
    WhenModal([&](QWidget *dlg) {
        offered = child<QLineEdit>(*dlg, "edtSource")->text();
        child<QLineEdit>(*dlg, "edtName")->setText(QStringLiteral("Opened"));
        child<QPushButton>(*dlg, "btnOk")->click();
    });
    QSignalSpy done(commands(), &PlaylistCommands::fetchFinished);
    m_w->openRequest({m_dir->file(QStringLiteral("Spain.m3u"))}, true);
    QVERIFY(done.wait(10000));
    QCOMPARE(m_prompts->texts(),
             QStringList({QStringLiteral("Spain.m3u is a playlist of 3 channels.\n"
                                         "Add it to your playlists?\n\nCancel plays it as one stream.")}));
    QCOMPARE(offered, m_dir->file(QStringLiteral("Spain.m3u")));
    QTRY_COMPARE(tree()->topLevelItemCount(), 2);
    QCOMPARE(commands()->store().find(commands()->shownId())->name, QStringLiteral("Opened"));

    // From an address too; Cancel plays it as the player would.
    m_prompts->answers = {false};
    const QString address = m_http->url(QStringLiteral("/list.m3u"));
    m_w->openRequest({address}, false);
    QTRY_COMPARE_WITH_TIMEOUT(m_w->playback()->CurrentUrl, address, 10000);
    QCOMPARE(m_prompts->messages.size(), 2);
}

void tst_PlaylistWindow::openingASingleStreamPlaysIt()
{
    m_http->script(QStringLiteral("/live.m3u8"),
                   m3u("#EXTM3U\n#EXT-X-TARGETDURATION:4\n#EXTINF:4,\nseg1.ts\n#EXTINF:4,\nseg2.ts\n"));
    m_dir->write(QStringLiteral("station.pls"), "[playlist]\nNumberOfEntries=2\nFile1=http://127.0.0.1:9/a\n"
                                                "Title1=Radio One\nFile2=http://127.0.0.1:9/b\nTitle2=Radio One\n");
    window();
    const QString live = m_http->url(QStringLiteral("/live.m3u8"));
    m_w->openRequest({live}, false);
    QTRY_COMPARE_WITH_TIMEOUT(m_w->playback()->CurrentUrl, live, 10000);
    const QString station = m_dir->file(QStringLiteral("station.pls"));
    m_w->openRequest({station}, false);
    QTRY_COMPARE_WITH_TIMEOUT(m_w->playback()->CurrentUrl, station, 10000);
    // A server whose headers never end is not waited for: the address goes to the player.
    m_http->script(QStringLiteral("/endless.m3u"), EndlessHeaders());
    const QString endless = m_http->url(QStringLiteral("/endless.m3u"));
    m_w->openRequest({endless}, false);
    QTRY_COMPARE_WITH_TIMEOUT(m_w->playback()->CurrentUrl, endless, 5000);
    QVERIFY(m_prompts->messages.isEmpty());
}

QTEST_MAIN(tst_PlaylistWindow)
#include "tst_playlistwindow.moc"
