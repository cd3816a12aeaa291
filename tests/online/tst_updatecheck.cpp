#include "TestDirs.h"
#include "TestHttpServer.h"
#include "UiDriver.h"
#include "base/ShellOpen.h"
#include "shell/U_frm_Main.h"
#include "base/pGloba.h"

#include <QAction>
#include <QLabel>
#include <QTcpServer>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

const QString kFailed = QStringLiteral("Downloaded unsuccessfully.Please try again!");

struct Check
{
    TestHttpServer server;
    TempAppDir dir;
    RecordingPrompter prompter;
    ShellRecorder shell;
    std::unique_ptr<TGlobal> global;
    std::unique_ptr<Tfrm_Main> w;
    bool dialogOpenAtShell = true;

    explicit Check(const QString &site = {})
    {
        qputenv("ZENTAVO_VENDOR_SITE", (site.isEmpty() ? server.url(QStringLiteral("/")) : site).toUtf8());
        dir.installCatalogue();
        dir.writeConfig("[Config]\nVersion=4\n");
        global = std::make_unique<TGlobal>(dir.path());
        w = std::make_unique<Tfrm_Main>(*global);
        w->show();
    }
    ~Check() { qunsetenv("ZENTAVO_VENDOR_SITE"); }
    void run(const QByteArray &reply)
    {
        server.script(QStringLiteral("/download/updateinfo.txt"), reply);
        QString title, text;
        WhenModal([&](QWidget *dlg) {
            title = dlg->windowTitle();
            text = dlg->findChild<QLabel *>(QStringLiteral("Label1"))->text();
        });
        w->findChild<QAction *>(QStringLiteral("actUpdate"))->trigger(); // returns once the dialog closed
        QCOMPARE(title, QStringLiteral("Update"));
        QCOMPARE(text, QStringLiteral("Downloading Update  Information..."));
    }
};

} // namespace

class tst_UpdateCheck : public QObject
{
    Q_OBJECT

private slots:
    void sameVersion();
    void newerVersionOpensDownloadPage();
    void cancelAbortsAndSaysNothing_data();
    void cancelAbortsAndSaysNothing();
    void hugeVersionFileIsRefused();
    void failures_data();
    void failures();
    void unreachableServer();
};

void tst_UpdateCheck::sameVersion()
{
    Check c;
    c.run(HttpReply(200, "OK", "4\r\n5.2\r\n"));
    QCOMPARE(c.prompter.texts(), {QStringLiteral("Haven't found new version in server!")});
    QCOMPARE(c.prompter.messages[0].icon, MsgIcon::Information);
    QCOMPARE(c.prompter.messages[0].buttons, MsgButtons::Ok);
    QVERIFY(c.shell.opened.isEmpty());
    QCOMPARE(c.dir.read(QStringLiteral("updateinfo.txt")), QByteArray("4\r\n5.2\r\n"));
    QVERIFY(c.server.requests()[0].startsWith("GET /download/updateinfo.txt HTTP/1.0\r\n"));
    // An older one on the server is no newer one either.
    c.prompter.messages.clear();
    c.run(HttpReply(200, "OK", "3\r\n5.1\r\n"));
    QCOMPARE(c.prompter.texts(), {QStringLiteral("Haven't found new version in server!")});
}

void tst_UpdateCheck::newerVersionOpensDownloadPage()
{
    Check c;
    bool dialogClosed = false;
    SetShellOpener([&](const QString &address) {
        c.shell.opened.append(address);
        dialogClosed = QApplication::activeModalWidget() == nullptr;
    });
    c.run(HttpReply(200, "OK", "5\r\n5.3\r\nignored\r\n"));
    QCOMPARE(c.prompter.texts(), {QStringLiteral("A newer version 5.3 was found.download it?")});
    QCOMPARE(c.prompter.messages[0].buttons, MsgButtons::Ok);
    QCOMPARE(c.shell.opened, QStringList({c.server.url(QStringLiteral("/download.htm"))}));
    QVERIFY(dialogClosed); // the page opens after the dialog has closed
}

void tst_UpdateCheck::failures_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("newer without second line") << HttpReply(200, "OK", "5\r\n");
    QTest::newRow("first line not a number") << HttpReply(200, "OK", "five\r\n5.3\r\n");
    QTest::newRow("empty file") << HttpReply(200, "OK", "");
    QTest::newRow("404") << HttpReply(404, "Not Found", "<html>none</html>");
    QTest::newRow("server error") << HttpReply(500, "Oops", "");
}

void tst_UpdateCheck::failures()
{
    QFETCH(QByteArray, reply);
    Check c;
    c.run(reply);
    QCOMPARE(c.prompter.texts(), {kFailed});
    QVERIFY(c.shell.opened.isEmpty());
    QVERIFY(!QApplication::activeModalWidget());
}

void tst_UpdateCheck::unreachableServer()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const QString site = QStringLiteral("http://127.0.0.1:%1/").arg(probe.serverPort());
    probe.close();
    Check c(site);
    c.run({});
    QCOMPARE(c.prompter.texts(), {kFailed});
    QVERIFY(c.shell.opened.isEmpty());
}

void tst_UpdateCheck::cancelAbortsAndSaysNothing_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("button") << QStringLiteral("button");
    QTest::newRow("escape") << QStringLiteral("escape");
    QTest::newRow("close box") << QStringLiteral("close");
}

void tst_UpdateCheck::cancelAbortsAndSaysNothing()
{
    QFETCH(QString, how);
    Check c;
    TestHttpServer::Reply silent;
    silent.silent = true; // a server that never answers
    c.server.script(QStringLiteral("/download/updateinfo.txt"), silent);
    QElapsedTimer t;
    WhenModal([&](QWidget *dlg) {
        QTimer::singleShot(200, dlg, [dlg, how] {
            if (how == u"button")
                dlg->findChild<QPushButton *>(QStringLiteral("btnCancel"))->click();
            else if (how == u"escape")
                QTest::keyClick(dlg, Qt::Key_Escape);
            else
                dlg->close();
        });
    });
    t.start();
    c.w->findChild<QAction *>(QStringLiteral("actUpdate"))->trigger(); // returns once the dialog closed
    QVERIFY(t.elapsed() < 5000);
    QTest::qWait(300);
    QVERIFY(c.prompter.messages.isEmpty()); // no message box after the dialog has gone
    QVERIFY(c.shell.opened.isEmpty());
    QVERIFY(!QFile::exists(c.dir.file(QStringLiteral("updateinfo.txt"))));
}

void tst_UpdateCheck::hugeVersionFileIsRefused()
{
    Check c;
    // A 1 GB version file: announced, and sent until the client hangs up.
    TestHttpServer::Reply huge;
    huge.raw = "HTTP/1.0 200 OK\r\nContent-Length: 1073741824\r\n\r\n9\r\nZentavo 9\r\n" + QByteArray(256 * 1024, 'x');
    for (int i = 0; i < 40; ++i)
        huge.pieces.append(QByteArray(256 * 1024, 'x'));
    huge.close = false; // and then holds the connection open
    c.server.script(QStringLiteral("/download/updateinfo.txt"), huge);
    QElapsedTimer t;
    t.start();
    c.w->findChild<QAction *>(QStringLiteral("actUpdate"))->trigger();
    QVERIFY(t.elapsed() < 5000); // refused at the limit, not read on until the server stops
    QCOMPARE(c.prompter.texts(), QStringList({kFailed}));
    QVERIFY(!QFile::exists(c.dir.file(QStringLiteral("updateinfo.txt"))));
    QVERIFY(c.shell.opened.isEmpty());
}

QTEST_MAIN(tst_UpdateCheck)
#include "tst_updatecheck.moc"
