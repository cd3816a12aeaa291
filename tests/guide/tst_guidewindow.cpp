#include "GuideMaker.h"
#include "MediaFixtures.h"
#include "TestDirs.h"
#include "TestHttpServer.h"
#include "UiDriver.h"
#include "base/pGloba.h"
#include "catalogue/ChannelTree.h"
#include "desktop/DesktopLink.h"
#include "desktop/Mpris.h"
#include "guide/GuideCommands.h"
#include "guide/GuideGrid.h"
#include "guide/GuideOnTree.h"
#include "guide/GuideReminders.h"
#include "guide/GuideService.h"
#include "guide/GuideSourcesDialog.h"
#include "guide/GuideWindow.h"
#include "playback/NowPlaying.h"
#include "playback/PlaybackControl.h"
#include "playback/PlayerComponents.h"
#include "shell/U_frm_Main.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QDateTime>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QWheelEvent>

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

// Where the grid draws the programme picked on `row`; empty when it is out of view.
QRect programmeShown(GuideGrid *grid, int row)
{
    return grid->picked() ? grid->programmeRect(row, grid->picked()->airing) : QRect();
}

} // namespace

class tst_GuideWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void aGuideFileShowsWhatIsOn();
    void playingTellsTheProgramme();
    void theGuideWindow();
    void gridRowsShowLogos();
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
    QTRY_VERIFY_WITH_TIMEOUT(
        child<QLabel>(win.w, "labState")->toolTip().contains(QStringLiteral("Playing: News at noon (")), 20000);
    QVERIFY(child<QLabel>(win.w, "labState")->toolTip().contains(QStringLiteral(" min left)")));
    QCOMPARE(win.w.playback()->nowPlaying()->shownTitle(), QStringLiteral("News at noon"));
    QCOMPARE(win.w.desktop()->mpris()->metadata().value(QStringLiteral("xesam:title")).toString(),
             QStringLiteral("News at noon"));
    // A stream opened by its address is no channel of the guide.
    win.w.PlayStream(http.url(QStringLiteral("/tone.mp3?other")), QStringLiteral("Other"));
    QTRY_COMPARE(win.w.playback()->nowPlaying()->channel(), QStringLiteral("Other"));
    QVERIFY(win.w.playback()->nowPlaying()->programme().isEmpty());
}

void tst_GuideWindow::theGuideWindow()
{
    TempAppDir dir;
    dir.installCatalogue();
    dir.writeList(QStringLiteral("data/TV.CHL"), "<?xml version=\"1.0\"?><ChannelList><News>" + item("One", "One.uk") +
                                                     item("Zwei", "") + item("Three", "") + "</News></ChannelList>");
    const QByteArray tomorrow = Programme("One.uk", at(86400), at(86400 + 3600).constData(), "Tomorrow's film");
    QByteArray guide = guideNow("Evening news");
    guide.insert(guide.lastIndexOf("</tv>"), tomorrow);
    guide.replace("<title>Evening news</title>", "<title>Evening news</title><sub-title>Late</sub-title>"
                                                 "<desc>What happened today.</desc><category>News</category>");
    // The programme's picture, from a server.
    TestHttpServer http;
    QImage blue(64, 36, QImage::Format_RGB32);
    blue.fill(Qt::blue);
    QByteArray png;
    QBuffer buffer(&png);
    blue.save(&buffer, "PNG");
    http.script(QStringLiteral("/p.png"), HttpReply(200, "OK", png, "Content-Type: image/png\r\n"));
    guide.replace("<desc>", "<icon src=\"" + http.url(QStringLiteral("/p.png")).toUtf8() + "\"/><desc>");
    dir.write(QStringLiteral("guide.xml"), guide);
    Window win(dir.path());
    win.addSource(dir.file(QStringLiteral("guide.xml")));
    QTRY_VERIFY_WITH_TIMEOUT(win.guideTip(QStringLiteral("One")).contains(QStringLiteral("Evening news")), 20000);

    child<QAction>(win.w, "actShowGuide")->trigger();
    GuideWindow *window = win.w.guide()->guideWindow();
    QVERIFY(window && window->isVisible());
    GuideGrid *grid = window->grid();
    QCOMPARE(grid->rows().size(), 3);
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    QTRY_VERIFY(grid->pick(0, now));
    QCOMPARE(grid->picked()->airing.title, QStringLiteral("Evening news"));
    QTRY_VERIFY2(window->details().contains(QStringLiteral("What happened today.")), qPrintable(window->details()));
    QVERIFY(window->details().startsWith(QStringLiteral("Evening news - Late\nOne, ")));
    QTRY_VERIFY_WITH_TIMEOUT(!window->picture().isNull(), 20000);
    QCOMPARE(window->picture().toImage().pixelColor(window->picture().width() / 2, window->picture().height() / 2),
             QColor(Qt::blue));
    QVERIFY(!programmeShown(grid, 0).isEmpty());

    // The mouse: a click picks what is under it, the wheel moves in time.
    const QRect evening = programmeShown(grid, 0);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      QPoint(evening.center().x(), evening.center().y() + evening.height()));
    QCOMPARE(grid->picked()->airing.title, QStringLiteral("Zweites")); // the row below
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, evening.center());
    QCOMPARE(grid->picked()->airing.title, QStringLiteral("Evening news"));
    const qint64 before = grid->viewStart();
    QWheelEvent wheel(QPointF(evening.center()), grid->viewport()->mapToGlobal(QPointF(evening.center())), {},
                      {0, -120}, Qt::NoButton, {}, Qt::NoScrollPhase, false);
    QApplication::sendEvent(grid->viewport(), &wheel);
    QCOMPARE(grid->viewStart(), before + 15 * 60); // a notch: a quarter of an hour later

    // Keys: the next programme, the channel below at the same time; Enter plays what is on.
    QTest::keyClick(grid, Qt::Key_Right);
    QCOMPARE(grid->picked()->airing.title, QStringLiteral("Later"));
    QTest::keyClick(grid, Qt::Key_Return); // not on the air yet: nothing plays
    QVERIFY(win.w.playback()->nowPlaying()->isIdle());
    auto *remind = child<QPushButton>(*window, "btnRemind");
    QVERIFY(remind->isEnabled());
    remind->click();
    QCOMPARE(remind->text(), QStringLiteral("Forget &Reminder"));
    QCOMPARE(win.w.guide()->reminders().list().value(0).title, QStringLiteral("Later"));
    QCOMPARE(win.w.guide()->reminders().list().value(0).channel, QStringLiteral("One"));
    QTest::keyClick(grid, Qt::Key_Left);
    QTest::keyClick(grid, Qt::Key_Down);
    QCOMPARE(grid->picked()->airing.title, QStringLiteral("Zweites"));
    QVERIFY(!remind->isEnabled()); // on the air already
    QTest::keyClick(grid, Qt::Key_Return);
    QTRY_COMPARE(win.w.playback()->nowPlaying()->channel(), QStringLiteral("Zwei"));

    // Another day, and back to now.
    window->showDay(1);
    QTRY_VERIFY(grid->viewStart() > now + 6 * 3600);
    QVERIFY(grid->pick(0, now + 86400 + 60));
    QCOMPARE(grid->picked()->airing.title, QStringLiteral("Tomorrow's film"));
    child<QPushButton>(*window, "btnGuideNow")->click();
    QTRY_VERIFY(grid->viewStart() <= now && grid->viewStart() > now - 3600);

    // Search: across days; choosing a result goes to it.
    child<QLineEdit>(*window, "edtGuideFind")->setText(QStringLiteral("film"));
    auto *found = child<QListWidget>(*window, "lstGuideFound");
    QTRY_COMPARE(found->count(), 1);
    QVERIFY(found->item(0)->text().startsWith(QStringLiteral("Tomorrow's film\nOne, ")));
    emit found->itemActivated(found->item(0));
    QTRY_VERIFY(grid->picked() && grid->picked()->airing.title == QStringLiteral("Tomorrow's film"));
}

void tst_GuideWindow::gridRowsShowLogos()
{
    QTemporaryDir dir;
    QImage red(32, 32, QImage::Format_RGB32);
    red.fill(Qt::red);
    const QString logo = dir.filePath(QStringLiteral("logo.png"));
    QVERIFY(red.save(logo));
    GuideGrid grid;
    grid.resize(600, 300);
    grid.setRows({{QStringLiteral("With"), QStringLiteral("http://a/1"), {}, logo},
                  {QStringLiteral("Without"), QStringLiteral("http://a/2"), {}}});
    grid.show();
    const QImage shot = grid.viewport()->grab().toImage();
    const int h = grid.fontMetrics().height() * 2 + 6; // a row, the ruler's too
    QCOMPARE(QColor(shot.pixel(4 + (h - 8) / 2, h + h / 2)), QColor(Qt::red));
    QVERIFY(QColor(shot.pixel(4 + (h - 8) / 2, 2 * h + h / 2)) != QColor(Qt::red));
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

        // What is no source is refused with why; a playlist's source cannot be removed here.
        auto *field = child<QLineEdit>(*dialog, "edtGuideSource");
        for (const QString &bad : {QStringLiteral("http://"), dir.file(QStringLiteral("missing.xml"))}) {
            field->setText(bad);
            child<QPushButton>(*dialog, "btnAddGuideSource")->click();
            QCOMPARE(field->text(), bad); // kept, to be mended
        }
        QCOMPARE(GuideSourcesDialog::Refusal(QStringLiteral("http://")),
                 QStringLiteral("The address names no server."));
        QCOMPARE(win.w.guide()->service().sources().size(), 1);
        auto *sources = child<QTreeWidget>(*dialog, "lstGuideSources");
        sources->setCurrentItem(sources->topLevelItem(0));
        QVERIFY(child<QPushButton>(*dialog, "btnRemoveGuideSource")->isEnabled()); // the user's own

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

    // A server that stops sending, and one that sends without end: each ends, the guide stays.
    win.w.guide()->service().setDownloadLimits(1000, 1 << 20);
    TestHttpServer::Reply drip;
    drip.raw = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n<tv>";
    drip.pieces = {QByteArray(100, ' ')};
    drip.pieceDelayMs = 60000;
    drip.close = false;
    http.script(QStringLiteral("/guide"), drip);
    win.w.guide()->service().refreshNow();
    QTRY_VERIFY_WITH_TIMEOUT(!win.source()->ok, 20000);
    QCOMPARE(win.source()->result, QStringLiteral("nothing came for 1 s"));
    TestHttpServer::Reply endless;
    endless.raw = "HTTP/1.1 200 OK\r\n\r\n";
    for (int i = 0; i < 40; ++i)
        endless.pieces.append(QByteArray(64 * 1024, ' '));
    http.script(QStringLiteral("/guide"), endless);
    win.w.guide()->service().refreshNow();
    QTRY_VERIFY_WITH_TIMEOUT(win.source()->result.startsWith(QStringLiteral("the guide is larger than 1")), 20000);
    QVERIFY(win.guideTip(QStringLiteral("One")).contains(QStringLiteral("Fresh")));

    // A server error keeps the guide and tells the status.
    http.script(QStringLiteral("/guide"), HttpReply(500, "Broken <b>server</b>", {}));
    win.w.guide()->service().refreshNow();
    QTRY_COMPARE_WITH_TIMEOUT(win.source()->result, QStringLiteral("the server answered 500 Broken <b>server</b>"),
                              20000);
    QVERIFY(win.guideTip(QStringLiteral("One")).contains(QStringLiteral("Fresh")));
}

QTEST_MAIN(tst_GuideWindow)
#include "tst_guidewindow.moc"
