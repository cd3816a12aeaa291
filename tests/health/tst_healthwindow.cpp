#include "MediaFixtures.h"
#include "TestDirs.h"
#include "TestHttpServer.h"
#include "UiDriver.h"
#include "base/pGloba.h"
#include "catalogue/ChannelTree.h"
#include "health/HealthCommands.h"
#include "playback/PlaybackControl.h"
#include "playback/PlayerComponents.h"
#include "shell/U_frm_Main.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

extern "C" engine::Factory *zentavo_player_engines();

namespace {

QByteArray item(const QByteArray &name, const QString &url)
{
    return "<Item ChannelName=\"" + name + "\" URL=\"" + url.toUtf8() +
           "\" INFO=\"\" Ty=\"1\" MT=\"1\" Co=\"\" SP=\"1\" T=\"\" I=\"\" ID=\"\"/>";
}

struct Window
{
    TGlobal &global;
    Tfrm_Main w;

    explicit Window(TGlobal &g) : global(g), w(g) { ShowWithFirstList(w); }
    QTreeWidgetItem *channel(const QString &name)
    {
        auto *tree = child<QTreeWidget>(w, "treChannle");
        for (int g = 0; g < tree->topLevelItemCount(); ++g) {
            for (int c = 0; c < tree->topLevelItem(g)->childCount(); ++c) {
                if (tree->topLevelItem(g)->child(c)->text(0).startsWith(name))
                    return tree->topLevelItem(g)->child(c);
            }
        }
        return nullptr;
    }
    bool greyed(const QString &name) { return channel(name)->toolTip(0).startsWith(QStringLiteral("Off the air: ")); }
    QString status() { return child<QLabel>(w, "labHealthState")->text(); }
};

} // namespace

class tst_HealthWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void checkGreysHidesAndRemembers();
    void playingTellsWhatIsOnTheAir();
    void cancelEndsTheCheck();

private:
    std::unique_ptr<TestHttpServer> m_http;
};

void tst_HealthWindow::initTestCase()
{
    qputenv("ZENTAVO_AUDIO_OUTPUT", "null");
    SetPlayerEngines(zentavo_player_engines());
    m_http = std::make_unique<TestHttpServer>();
    Media::AudioOnly();
    m_http->serveDirectory(Media::Folder());
    m_http->script(QStringLiteral("/page"),
                   HttpReply(200, "OK", "<html><body>moved</body></html>", "Content-Type: text/html\r\n"));
    TestHttpServer::Reply silent;
    silent.silent = true;
    m_http->script(QStringLiteral("/silent"), silent);
}

void tst_HealthWindow::cleanupTestCase()
{
    SetPlayerEngines(nullptr);
}

void tst_HealthWindow::checkGreysHidesAndRemembers()
{
    TempAppDir dir;
    dir.installCatalogue();
    dir.writeList(QStringLiteral("data/TV.CHL"), "<?xml version=\"1.0\"?><ChannelList><News>" +
                                                     item("Live", m_http->url(QStringLiteral("/tone.mp3"))) +
                                                     item("Gone", m_http->url(QStringLiteral("/gone.mp3"))) +
                                                     item("Page", m_http->url(QStringLiteral("/page"))) +
                                                     "</News></ChannelList>");
    {
        TGlobal global(dir.path());
        Window win(global);
        QVERIFY(!win.greyed(QStringLiteral("Gone"))); // nothing checked yet
        child<QAction>(win.w, "actCheckChannels")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(win.status(), QStringLiteral("3 channels checked, 2 off the air"), 20000);
        QVERIFY(win.greyed(QStringLiteral("Gone")));
        QVERIFY2(
            win.channel(QStringLiteral("Gone"))->toolTip(0).contains(QStringLiteral("HTTP 404 Not Found\nChecked ")),
            qPrintable(win.channel(QStringLiteral("Gone"))->toolTip(0)));
        QVERIFY(win.greyed(QStringLiteral("Page")));
        QVERIFY(!win.greyed(QStringLiteral("Live")));
        QCOMPARE(win.channel(QStringLiteral("Live"))->foreground(0), QBrush());

        // Hidden when asked, in every list shown after too.
        QAction *hide = win.w.health()->hideAction();
        hide->trigger();
        QVERIFY(win.channel(QStringLiteral("Gone"))->isHidden() && !win.channel(QStringLiteral("Live"))->isHidden());
        child<QAction>(win.w, "actRadio")->trigger();
        child<QAction>(win.w, "actTV")->trigger();
        QTRY_VERIFY(win.channel(QStringLiteral("Gone")) && win.channel(QStringLiteral("Gone"))->isHidden());
        hide->trigger();
        QVERIFY(!win.channel(QStringLiteral("Gone"))->isHidden());
        global.SaveSettings();
    }
    // A later start knows the results of the day without checking again; at start only the
    // channels it knows nothing of are checked.
    m_http->clearRequests();
    TGlobal global(dir.path());
    global.CheckAtStart = true;
    Window win(global);
    QVERIFY(win.greyed(QStringLiteral("Gone")));
    dir.writeList(QStringLiteral("data/TV.CHL"), "<?xml version=\"1.0\"?><ChannelList><News>" +
                                                     item("Gone", m_http->url(QStringLiteral("/gone.mp3"))) +
                                                     item("New", m_http->url(QStringLiteral("/tone.mp3?new"))) +
                                                     "</News></ChannelList>");
    child<QAction>(win.w, "actRadio")->trigger();
    child<QAction>(win.w, "actTV")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(win.status(), QStringLiteral("1 channel checked, 0 off the air"), 20000);
    QCOMPARE(m_http->requestsFor("/gone.mp3"), 0);
    QCOMPARE(m_http->requestsFor("/tone.mp3?new"), 1);
}

void tst_HealthWindow::playingTellsWhatIsOnTheAir()
{
    TempAppDir dir;
    dir.installCatalogue();
    dir.writeList(QStringLiteral("data/TV.CHL"), "<?xml version=\"1.0\"?><ChannelList><News>" +
                                                     item("Comes back", m_http->url(QStringLiteral("/later.mp3"))) +
                                                     "</News></ChannelList>");
    TGlobal global(dir.path());
    Window win(global);
    child<QAction>(win.w, "actCheckChannels")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(win.greyed(QStringLiteral("Comes back")), 20000);
    // The station is back: playing it says so.
    QFile mp3(Media::AudioOnly());
    QVERIFY(mp3.open(QIODevice::ReadOnly));
    m_http->script(QStringLiteral("/later.mp3"), HttpReply(200, "OK", mp3.readAll(), "Content-Type: audio/mpeg\r\n"));
    auto *tree = child<QTreeWidget>(win.w, "treChannle");
    tree->setCurrentItem(win.channel(QStringLiteral("Comes back")));
    child<QAction>(win.w, "actLeftPlay")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(win.w.playback()->PlayState, 3, 15000);
    QTRY_VERIFY(!win.greyed(QStringLiteral("Comes back")));
    // Gone again: the engine's failure is the reason.
    m_http->script(QStringLiteral("/later.mp3"), HttpReply(404, "Not Found", "gone"));
    child<QAction>(win.w, "actStop")->trigger();
    QTRY_VERIFY(win.w.playback()->PlayState != 3);
    child<QAction>(win.w, "actLeftPlay")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(win.greyed(QStringLiteral("Comes back")), 20000);
    QVERIFY2(win.channel(QStringLiteral("Comes back"))->toolTip(0).contains(QStringLiteral("404")),
             qPrintable(win.channel(QStringLiteral("Comes back"))->toolTip(0)));
}

void tst_HealthWindow::cancelEndsTheCheck()
{
    TempAppDir dir;
    dir.installCatalogue();
    QByteArray list = "<?xml version=\"1.0\"?><ChannelList><News>";
    for (int i = 0; i < 5; ++i)
        list += item("Silent " + QByteArray::number(i), m_http->url(QStringLiteral("/silent?%1").arg(i)));
    dir.writeList(QStringLiteral("data/TV.CHL"), list + "</News></ChannelList>");
    TGlobal global(dir.path());
    Window win(global);
    child<QAction>(win.w, "actCheckChannels")->trigger();
    QTRY_VERIFY(win.status().startsWith(QStringLiteral("Checking channels: 0 of 5")));
    auto *cancel = child<QPushButton>(win.w, "btnHealthCancel");
    QVERIFY(cancel->isVisible());
    cancel->click();
    QCOMPARE(win.status(), QStringLiteral("Channel check cancelled"));
    QVERIFY(!cancel->isVisible());
    QVERIFY(!win.w.health()->isChecking());
    QVERIFY(!win.greyed(QStringLiteral("Silent 0")));
}

QTEST_MAIN(tst_HealthWindow)
#include "tst_healthwindow.moc"
