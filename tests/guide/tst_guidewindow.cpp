#include "GuideMaker.h"
#include "MediaFixtures.h"
#include "TestDirs.h"
#include "TestHttpServer.h"
#include "UiDriver.h"
#include "base/pGloba.h"
#include "guide/GuideCommands.h"
#include "guide/GuideOnTree.h"
#include "guide/GuideService.h"
#include "playback/NowPlaying.h"
#include "playback/PlaybackControl.h"
#include "playback/PlayerComponents.h"
#include "catalogue/ChannelTree.h"
#include "shell/U_frm_Main.h"

#include <QDateTime>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

using namespace GuideMaker;

extern "C" engine::Factory *zentavo_player_engines();

namespace {

QByteArray item(const QByteArray &name, const QByteArray &id, const QString &url = {})
{
    const QByteArray address = url.isEmpty() ? "http://127.0.0.1:1/" + name : url.toUtf8();
    return "<Item ChannelName=\"" + name + "\" URL=\"" + address +
           "\" INFO=\"\" Ty=\"1\" MT=\"1\" Co=\"\" SP=\"1\" T=\"\" I=\"\" ID=\"" + id + "\"/>";
}

QByteArray at(qint64 offset)
{
    return QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch() + offset, Qt::UTC)
        .toString(QStringLiteral("yyyyMMddHHmmss +0000"))
        .toLatin1();
}

// A guide whose programmes lie around now.
QByteArray guideNow(const char *title)
{
    return Tv(Channel("One.uk", "One") + Channel("zwei.de", "Zwei") +
              Programme("One.uk", at(-1800), at(1800).constData(), title) +
              Programme("One.uk", at(1800), at(5400).constData(), "Later") +
              Programme("zwei.de", at(-600), at(600).constData(), "Zweites"));
}

struct Window
{
    TGlobal global;
    Tfrm_Main w;

    explicit Window(const QString &dir) : global(dir), w(global) { ShowWithFirstList(w); }
    QTreeWidgetItem *channel(const QString &name)
    {
        auto *tree = child<QTreeWidget>(w, "treChannle");
        const auto found = tree->findItems(name, Qt::MatchStartsWith | Qt::MatchRecursive);
        return found.value(0);
    }
    QString guideTip(const QString &name)
    {
        auto *onTree = qobject_cast<GuideOnTree *>(child<QTreeWidget>(w, "treChannle")->itemDelegate());
        return onTree ? onTree->toolTipFor(channel(name)) : QString();
    }
    const GuideSourceRow *source()
    {
        return w.guide()->service().sources().isEmpty() ? nullptr : &w.guide()->service().sources()[0];
    }
    void addSource(const QString &text)
    {
        w.guide()->showSources();
        auto *dialog = w.findChild<QDialog *>(QStringLiteral("frmGuideSources"));
        child<QLineEdit>(*dialog, "edtGuideSource")->setText(text);
        child<QPushButton>(*dialog, "btnAddGuideSource")->click();
    }
};

} // namespace

class tst_GuideWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void aGuideFileShowsWhatIsOn();
    void playingTellsTheProgramme();
    void aDownloadedGuideIsFetchedOnlyWhenChanged();
};

void tst_GuideWindow::initTestCase()
{
    qputenv("ZENTAVO_AUDIO_OUTPUT", "null");
    SetPlayerEngines(zentavo_player_engines());
    Media::AudioOnly();
}

void tst_GuideWindow::playingTellsTheProgramme()
{
    TestHttpServer http;
    http.serveDirectory(Media::Folder());
    TempAppDir dir;
    dir.installCatalogue();
    dir.writeList(QStringLiteral("data/TV.CHL"), "<?xml version=\"1.0\"?><ChannelList><News>" +
                                                     item("One", "One.uk", http.url(QStringLiteral("/tone.mp3"))) +
                                                     "</News></ChannelList>");
    dir.write(QStringLiteral("guide.xml"), guideNow("News at noon"));
    Window win(dir.path());
    win.addSource(dir.file(QStringLiteral("guide.xml")));
    QTRY_VERIFY_WITH_TIMEOUT(win.guideTip(QStringLiteral("One")).contains(QStringLiteral("News at noon")), 20000);
    auto *tree = child<QTreeWidget>(win.w, "treChannle");
    tree->setCurrentItem(win.channel(QStringLiteral("One")));
    win.w.channelTree()->treChannleDblClick();
    // The stream names no title of its own: the guide's programme stands in, with its time left.
    QTRY_VERIFY_WITH_TIMEOUT(child<QLabel>(win.w, "labState")->toolTip().contains(QStringLiteral("Playing: News at noon (")),
                             20000);
    QVERIFY(child<QLabel>(win.w, "labState")->toolTip().contains(QStringLiteral(" min left)")));
    QCOMPARE(win.w.playback()->nowPlaying()->shownTitle(), QStringLiteral("News at noon"));
    // A stream opened by its address is no channel of the guide.
    win.w.PlayStream(http.url(QStringLiteral("/tone.mp3?other")), QStringLiteral("Other"));
    QTRY_COMPARE(win.w.playback()->nowPlaying()->channel(), QStringLiteral("Other"));
    QVERIFY(win.w.playback()->nowPlaying()->programme().isEmpty());
}

void tst_GuideWindow::aGuideFileShowsWhatIsOn()
{
    TempAppDir dir;
    dir.installCatalogue();
    dir.writeList(QStringLiteral("data/TV.CHL"), "<?xml version=\"1.0\"?><ChannelList><News>" +
                                                     item("One", "One.uk@HD") + item("Zwei", "") +
                                                     item("Three", "three") + "</News></ChannelList>");
    dir.write(QStringLiteral("guide.xml.xz"), Packed("xz", guideNow("News &lt;img src=/dev/zero&gt;")));
    {
        Window win(dir.path());
        QVERIFY(win.guideTip(QStringLiteral("One")).isEmpty()); // no guide yet
        win.addSource(dir.file(QStringLiteral("guide.xml.xz")));
        QTRY_VERIFY_WITH_TIMEOUT(win.source() && win.source()->refreshed > 0, 20000);
        QVERIFY2(win.source()->ok, qPrintable(win.source()->result));
        QTRY_VERIFY_WITH_TIMEOUT(win.guideTip(QStringLiteral("One")).startsWith(QStringLiteral("Now ")), 20000);
        const QStringList lines = win.guideTip(QStringLiteral("One")).split(u'\n');
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines[0].endsWith(QStringLiteral(" News <img src=/dev/zero>")), qPrintable(lines[0]));
        QVERIFY2(lines[1].startsWith(QStringLiteral("Next ")) && lines[1].endsWith(QStringLiteral(" Later")),
                 qPrintable(lines[1]));
        QVERIFY(win.guideTip(QStringLiteral("Zwei")).contains(QStringLiteral("Zweites"))); // by its name
        QVERIFY(win.guideTip(QStringLiteral("Three")).isEmpty());
        QTRY_VERIFY(win.source() && win.source()->ok);
        QCOMPARE(win.source()->matched, 2);
        auto *dialog = win.w.findChild<QDialog *>(QStringLiteral("frmGuideSources"));
        QTRY_COMPARE(child<QTreeWidget>(*dialog, "lstGuideSources")->topLevelItem(0)->text(3), QStringLiteral("2"));

        // A broken file later: the guide stays, the source says why.
        dir.write(QStringLiteral("guide.xml.xz"), Packed("xz", guideNow("Broken")).left(100));
        child<QPushButton>(*dialog, "btnRefreshGuide")->click();
        QTRY_VERIFY_WITH_TIMEOUT(win.source() && !win.source()->ok, 20000);
        QCOMPARE(win.source()->result, QStringLiteral("the packed guide ends early"));
        QTRY_VERIFY(child<QLabel>(win.w, "labGuideState")->text().contains(QStringLiteral("ends early")));
        QVERIFY(win.guideTip(QStringLiteral("One")).contains(QStringLiteral("News")));
    }
    // A later start shows the stored guide.
    Window again(dir.path());
    QTRY_VERIFY_WITH_TIMEOUT(again.guideTip(QStringLiteral("One")).contains(QStringLiteral("News")), 20000);
}

void tst_GuideWindow::aDownloadedGuideIsFetchedOnlyWhenChanged()
{
    TestHttpServer http;
    TempAppDir dir;
    dir.installCatalogue();
    dir.writeList(QStringLiteral("data/TV.CHL"),
                  "<?xml version=\"1.0\"?><ChannelList><News>" + item("One", "One.uk") + "</News></ChannelList>");
    http.script(QStringLiteral("/guide"), HttpReply(200, "OK", Packed("gzip", guideNow("Fresh")), "ETag: \"v1\"\r\n"));
    Window win(dir.path());
    win.addSource(http.url(QStringLiteral("/guide")));
    QTRY_VERIFY_WITH_TIMEOUT(win.source() && win.source()->refreshed > 0, 20000);
    QVERIFY2(win.source()->ok, qPrintable(win.source()->result));
    QTRY_VERIFY_WITH_TIMEOUT(win.guideTip(QStringLiteral("One")).contains(QStringLiteral("Fresh")), 20000);
    QVERIFY(http.requestWith("GET /guide").contains("User-Agent: Zentavo/"));

    // Unchanged: the server is asked with the validator and says so; nothing is replaced.
    http.clearRequests();
    http.script(QStringLiteral("/guide"), HttpReply(304, "Not Modified", {}));
    win.w.guide()->service().refreshNow();
    QTRY_VERIFY_WITH_TIMEOUT(!http.requestWith("GET /guide").isEmpty(), 20000);
    QVERIFY2(http.requestWith("GET /guide").contains("If-None-Match: \"v1\"\r\n"),
             http.requestWith("GET /guide").constData());
    QTRY_COMPARE(win.source()->result, QStringLiteral("unchanged"));
    QVERIFY(win.guideTip(QStringLiteral("One")).contains(QStringLiteral("Fresh")));

    // A server error keeps the guide and tells the status.
    http.script(QStringLiteral("/guide"), HttpReply(500, "Broken <b>server</b>", {}));
    win.w.guide()->service().refreshNow();
    QTRY_VERIFY_WITH_TIMEOUT(!win.source()->ok, 20000);
    QCOMPARE(win.source()->result, QStringLiteral("the server answered 500 Broken <b>server</b>"));
    QVERIFY(win.guideTip(QStringLiteral("One")).contains(QStringLiteral("Fresh")));
}

QTEST_MAIN(tst_GuideWindow)
#include "tst_guidewindow.moc"
