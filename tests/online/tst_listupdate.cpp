#include "ListMaker.h"
#include "TestDirs.h"
#include "TestHttpServer.h"
#include "UiDriver.h"
#include "base/SafeFile.h"
#include "base/pGloba.h"
#include "catalogue/ListCipher.h"
#include "online/HttpCli.h"
#include "online/ListUpdateCheck.h"
#include "shell/U_frm_Main.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QTcpServer>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

namespace {

const QString kQuestion = QStringLiteral("New list of channel were found in the server!\r\nDo you want to update?");
const QString kFailed = QStringLiteral("Downloaded unsuccessfully.Please try again!");

QByteArray newList()
{
    return CipherBytes(ListMaker::Document(
        {{QStringLiteral("Fresh"), ListMaker::Item(QStringLiteral("New One"), QStringLiteral("http://n/1")) +
                                       ListMaker::Item(QStringLiteral("New Two"), QStringLiteral("http://n/2"))}}));
}

// The program started with the list check on, its vendor site on a test server.
struct Start
{
    TestHttpServer server;
    TempAppDir dir;
    RecordingPrompter prompter;
    std::unique_ptr<TGlobal> global;
    std::unique_ptr<Tfrm_Main> w;
    QByteArray oldList;

    explicit Start(bool download = true, const QString &site = {})
    {
        qputenv("ZENTAVO_VENDOR_SITE", (site.isEmpty() ? server.url(QStringLiteral("/")) : site).toUtf8());
        dir.installCatalogue();
        dir.writeConfig(QByteArray("[Config]\nTVVersion=3\nDownload=") + (download ? "1" : "0") + "\n");
        oldList = dir.read(QStringLiteral("data/TV.CHL"));
    }
    void run()
    {
        global = std::make_unique<TGlobal>(dir.path());
        w = std::make_unique<Tfrm_Main>(*global);
        w->show();
    }
    ~Start() { qunsetenv("ZENTAVO_VENDOR_SITE"); }
    bool listUnchanged() const { return dir.read(QStringLiteral("data/TV.CHL")) == oldList; }
    QByteArray config() const { return dir.config(); }
    // The download dialog, once it is up.
    static QWidget *dialog() { return QApplication::activeModalWidget(); }
};

} // namespace

class tst_ListUpdate : public QObject
{
    Q_OBJECT

private slots:
    void noCheckWhenSettingIsOff();
    void noQuestion_data();
    void noQuestion();
    void unreachableServerIsQuiet();
    void cancelInTheQuestion();
    void successfulUpdate();
    void anUpdateEndingDuringALoadShowsAfterIt();
    void failedDownloadsChangeNothing_data();
    void failedDownloadsChangeNothing();
    void cancelDuringDownload();
    void withoutLengthTheLabelStaysEmpty();
    void replacementFailingPartWayKeepsTheOldList();
};

void tst_ListUpdate::noCheckWhenSettingIsOff()
{
    Start s(false);
    s.server.script(QStringLiteral("/download/channelsinfo4.txt"), HttpReply(200, "OK", "9\r\nx\r\n"));
    s.run();
    QTest::qWait(400);
    QVERIFY(s.server.requests().isEmpty());
    QVERIFY(s.prompter.messages.isEmpty());
}

void tst_ListUpdate::noQuestion_data()
{
    QTest::addColumn<QByteArray>("versionFile");
    QTest::newRow("same version") << QByteArray("3\r\nlist of today\r\n");
    QTest::newRow("older version") << QByteArray("2\r\nx\r\n");
    QTest::newRow("one line only") << QByteArray("9\r\n");
    QTest::newRow("first line is text") << QByteArray("nine\r\nx\r\n");
    QTest::newRow("trailing text") << QByteArray("9 new\r\nx\r\n");
    QTest::newRow("empty") << QByteArray();
}

void tst_ListUpdate::noQuestion()
{
    QFETCH(QByteArray, versionFile);
    Start s;
    s.server.script(QStringLiteral("/download/channelsinfo4.txt"), HttpReply(200, "OK", versionFile));
    s.run();
    QTRY_COMPARE(s.server.requests().size(), 1);
    QTest::qWait(200);
    QVERIFY(s.prompter.messages.isEmpty());
    QCOMPARE(s.dir.read(QStringLiteral("channelsinfo.txt")), versionFile); // kept beside the program
    QVERIFY(s.server.requests()[0].startsWith("GET /download/channelsinfo4.txt HTTP/1.0\r\n"));
}

void tst_ListUpdate::unreachableServerIsQuiet()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const QString site = QStringLiteral("http://127.0.0.1:%1/").arg(probe.serverPort());
    probe.close();
    Start s(true, site);
    s.run();
    QTRY_VERIFY(s.server.requests().isEmpty() && !s.w->listUpdateCheck()->HttpGetversion->isBusy());
    QTest::qWait(200);
    QVERIFY(!QFile::exists(s.dir.file(QStringLiteral("channelsinfo.txt")))); // nothing of a failed request
    QVERIFY(s.prompter.messages.isEmpty());
    QVERIFY(s.w->isVisible());
}

void tst_ListUpdate::cancelInTheQuestion()
{
    Start s;
    s.server.script(QStringLiteral("/download/channelsinfo4.txt"), HttpReply(200, "OK", "9\r\nlist\r\n"));
    s.prompter.answers = {false};
    s.run();
    QTRY_COMPARE(s.prompter.messages.size(), 1);
    QCOMPARE(s.prompter.messages[0].text, kQuestion);
    QCOMPARE(s.prompter.messages[0].icon, MsgIcon::Information);
    QCOMPARE(s.prompter.messages[0].buttons, MsgButtons::OkCancel);
    QTest::qWait(300);
    QCOMPARE(s.server.requests().size(), 1); // no download
    QCOMPARE(s.global->TVVersion, 3);
    QVERIFY(!s.config().contains("TVVersion=9"));
}

void tst_ListUpdate::successfulUpdate()
{
    Start s;
    s.server.script(QStringLiteral("/download/channelsinfo4.txt"), HttpReply(200, "OK", "9\r\nlist\r\n"));
    s.server.script(QStringLiteral("/download/tv4.chl"), HttpReply(200, "OK", newList()));
    QString labelAtSuccess;
    bool listReplacedAtSuccess = true;
    s.prompter.onMessage = [&] {
        if (s.prompter.messages.last().text == u"Updated successfully!") {
            labelAtSuccess = Start::dialog()->findChild<QLabel *>(QStringLiteral("Label2"))->text();
            listReplacedAtSuccess = !s.listUnchanged();
        }
    };
    s.run();
    QTRY_COMPARE_WITH_TIMEOUT(s.prompter.messages.size(), 2, 10000);
    QCOMPARE(s.prompter.texts(), QStringList({kQuestion, "Updated successfully!"}));
    QTRY_VERIFY(!Start::dialog());
    QCOMPARE(labelAtSuccess, QStringLiteral("Current file size:    %1 / %1 Byte").arg(newList().size()));
    QVERIFY(listReplacedAtSuccess); // the message comes once the new list is in place
    QCOMPARE(s.dir.read(QStringLiteral("data/TV.CHL")), newList());
    QCOMPARE(s.dir.read(QStringLiteral("TV.CHL")), newList()); // the download stays beside the program
    QCOMPARE(s.global->TVVersion, 9);
    QVERIFY(s.config().contains("TVVersion=9"));
    auto *tree = s.w->findChild<QTreeWidget *>(QStringLiteral("treChannle"));
    QTRY_COMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("FRESH  (2)"));
    QVERIFY(s.w->findChild<QAction *>(QStringLiteral("actTV"))->isChecked());
    QVERIFY(s.server.requests()[1].startsWith("GET /download/tv4.chl HTTP/1.0\r\n"));
}

void tst_ListUpdate::anUpdateEndingDuringALoadShowsAfterIt()
{
    Start s;
    s.server.script(QStringLiteral("/download/channelsinfo4.txt"), HttpReply(200, "OK", "9\r\nlist\r\n"));
    s.server.script(QStringLiteral("/download/tv4.chl"), HttpReply(200, "OK", newList()));
    QAction *tv = nullptr;
    s.prompter.onMessage = [&] {
        if (s.prompter.messages.last().text != u"Updated successfully!")
            return;
        // As while a long list loads: the list commands are held off for a while.
        tv = s.w->findChild<QAction *>(QStringLiteral("actTV"));
        tv->setEnabled(false);
        QTimer::singleShot(300, tv, [tv] { tv->setEnabled(true); });
    };
    s.run();
    auto *tree = s.w->findChild<QTreeWidget *>(QStringLiteral("treChannle"));
    QTRY_COMPARE_WITH_TIMEOUT(tree->topLevelItem(0) ? tree->topLevelItem(0)->text(0) : QString(),
                              QStringLiteral("FRESH  (2)"), 10000);
}

void tst_ListUpdate::failedDownloadsChangeNothing_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("why");
    QTest::newRow("404") << HttpReply(404, "Not Found", "<html>gone</html>") << QStringLiteral("Not Found");
    QTest::newRow("not a channel list") << HttpReply(200, "OK", QByteArray(5000, 'z'))
                                        << QStringLiteral("The downloaded file is not a channel list: The document");
    QTest::newRow("a list without groups") << HttpReply(200, "OK", CipherBytes("<TVList></TVList>"))
                                           << QStringLiteral("not a channel list: it holds no group");
    QTest::newRow("plain xml") << HttpReply(200, "OK", ListMaker::Plain(1, 3)) << QStringLiteral("not a channel list");
    QTest::newRow("cut short") << QByteArray("HTTP/1.0 200 OK\r\nContent-Length: 99999\r\n\r\n") + newList().left(300)
                               << QStringLiteral("closed before the whole document arrived");
}

void tst_ListUpdate::failedDownloadsChangeNothing()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, why);
    Start s;
    s.server.script(QStringLiteral("/download/channelsinfo4.txt"), HttpReply(200, "OK", "9\r\nlist\r\n"));
    s.server.script(QStringLiteral("/download/tv4.chl"), reply);
    s.run();
    QTRY_COMPARE_WITH_TIMEOUT(s.prompter.messages.size(), 2, 10000);
    // The message says what failed on its second line; then the dialog closes by itself.
    const QStringList lines = s.prompter.messages[1].text.split(u'\n');
    QCOMPARE(lines.value(0), kFailed);
    QVERIFY2(lines.value(1).contains(why), qPrintable(lines.value(1)));
    QTRY_VERIFY(!Start::dialog());
    QVERIFY(s.listUnchanged());
    QVERIFY(!QFile::exists(s.dir.file(QStringLiteral("TV.CHL")))); // the partial download is gone
    QCOMPARE(s.global->TVVersion, 3);
    QVERIFY(!s.config().contains("TVVersion=9"));
    QTest::qWait(100);
    QCOMPARE(s.prompter.messages.size(), 2);
}

void tst_ListUpdate::cancelDuringDownload()
{
    Start s;
    const QByteArray list = newList();
    TestHttpServer::Reply slow;
    slow.raw = "HTTP/1.0 200 OK\r\nContent-Length: " + QByteArray::number(list.size()) + "\r\n\r\n" + list.left(100);
    for (int i = 0; i < 50; ++i)
        slow.pieces.append(list.mid(100 + i, 1));
    slow.pieceDelayMs = 100;
    s.server.script(QStringLiteral("/download/channelsinfo4.txt"), HttpReply(200, "OK", "9\r\nlist\r\n"));
    s.server.script(QStringLiteral("/download/tv4.chl"), slow);
    // The dialog runs its own loop: the user's click comes from inside it, once bytes arrived.
    QString title, caption;
    int maximum = 0, value = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget *dlg = Start::dialog();
        if (!dlg || dlg->findChild<QLabel *>(QStringLiteral("Label2"))->text().isEmpty())
            return;
        poll.stop();
        title = dlg->windowTitle();
        caption = dlg->findChild<QLabel *>(QStringLiteral("Label1"))->text();
        auto *bar = dlg->findChild<QProgressBar *>(QStringLiteral("ProgressBar1"));
        maximum = bar->maximum();
        value = bar->value();
        dlg->findChild<QPushButton *>(QStringLiteral("btnCancel"))->click();
    });
    poll.start(20);
    s.run();
    QTRY_VERIFY_WITH_TIMEOUT(!title.isEmpty(), 10000);
    QCOMPARE(title, QStringLiteral("Downloading channels"));
    QCOMPARE(caption, QStringLiteral("Downloading new channels from server...."));
    QCOMPARE(maximum, list.size());
    QVERIFY(value >= 100);
    QTRY_VERIFY(!Start::dialog());
    QTest::qWait(200);
    QCOMPARE(s.prompter.texts(), {kQuestion}); // no failure message after Cancel
    QVERIFY(s.listUnchanged());
    QCOMPARE(s.global->TVVersion, 3);
    QVERIFY(!QFile::exists(s.dir.file(QStringLiteral("TV.CHL")))); // the partial download is gone
}

void tst_ListUpdate::withoutLengthTheLabelStaysEmpty()
{
    Start s;
    TestHttpServer::Reply noLength;
    noLength.raw = "HTTP/1.0 200 OK\r\n\r\n" + newList();
    s.server.script(QStringLiteral("/download/channelsinfo4.txt"), HttpReply(200, "OK", "9\r\nlist\r\n"));
    s.server.script(QStringLiteral("/download/tv4.chl"), noLength);
    QString label = QStringLiteral("unset");
    s.prompter.onMessage = [&] {
        if (s.prompter.messages.last().text == u"Updated successfully!")
            label = Start::dialog()->findChild<QLabel *>(QStringLiteral("Label2"))->text();
    };
    s.run();
    QTRY_COMPARE_WITH_TIMEOUT(s.prompter.messages.size(), 2, 10000);
    QCOMPARE(s.prompter.messages[1].text, QStringLiteral("Updated successfully!"));
    QCOMPARE(label, QString());
    QCOMPARE(s.dir.read(QStringLiteral("data/TV.CHL")), newList());
}

void tst_ListUpdate::replacementFailingPartWayKeepsTheOldList()
{
    Start s;
    const QByteArray list = CipherBytes(ListMaker::Plain(20, 500)); // some 1.7 MB: written in pieces
    s.server.script(QStringLiteral("/download/channelsinfo4.txt"), HttpReply(200, "OK", "9\r\nlist\r\n"));
    s.server.script(QStringLiteral("/download/tv4.chl"), HttpReply(200, "OK", list));
    // The disk fills up once part of the new list is written over the old one.
    AtomicWriter::setFaultProbe([](qint64 written) { return written < 300 * 1024; });
    const auto noFault = qScopeGuard([] { AtomicWriter::setFaultProbe({}); });
    s.run();
    QTRY_COMPARE_WITH_TIMEOUT(s.prompter.messages.size(), 2, 10000);
    QVERIFY(s.prompter.messages[1].text.startsWith(kFailed + u'\n'));
    QTRY_VERIFY(!Start::dialog());
    QVERIFY(s.listUnchanged());
    QCOMPARE(s.global->TVVersion, 3);
}

QTEST_MAIN(tst_ListUpdate)
#include "tst_listupdate.moc"
