// One running Zentavo per program: processes of this test play the running program and the
// later starts.
#include "desktop/SingleInstance.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Another process of this test in one of its roles.
struct Other
{
    QProcess process;
    explicit Other(const QStringList &args)
    {
        process.setProcessChannelMode(QProcess::SeparateChannels);
        process.start(QCoreApplication::applicationFilePath(), args);
        process.waitForStarted();
    }
    ~Other()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    }
    // Waits for a line on standard output.
    QByteArray line(int ms = 10000)
    {
        QElapsedTimer t;
        t.start();
        while (!process.canReadLine() && t.elapsed() < ms)
            process.waitForReadyRead(100);
        return process.readLine().trimmed();
    }
};

int startAs(const QString &key, const QStringList &args, qint64 *ms = nullptr)
{
    QElapsedTimer t;
    t.start();
    QProcess p;
    p.start(QCoreApplication::applicationFilePath(), QStringList{QStringLiteral("--start"), key} + args);
    p.waitForFinished(20000);
    if (ms)
        *ms = t.elapsed();
    return p.exitCode();
}

} // namespace

class tst_SingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void messagesRoundTrip();
    void laterStartHandsItsRequestOver();
    void crashedInstanceLeavesNothingInTheWay();
    void anotherProgramIsItsOwnInstance();
    void garbageAndFloodsAreDropped();
    void onlyAFolderOfOurOwnIsUsed();
};

void tst_SingleInstance::messagesRoundTrip()
{
    const SingleInstance::Request r{{QStringLiteral("http://x/ü?a=1"), QStringLiteral("/tmp/a b.mp4")}, false};
    const auto back = SingleInstance::decode(SingleInstance::encode(r));
    QVERIFY(back);
    QCOMPARE(back->arguments, r.arguments);
    QCOMPARE(back->raise, false);
    QVERIFY(!SingleInstance::decode(SingleInstance::encode(r).chopped(1)));                // cut short
    QVERIFY(!SingleInstance::decode("ZENTAVO-REQUEST/9\n2\n{}"));                          // another version
    QVERIFY(!SingleInstance::decode(SingleInstance::encode(r).replace("arguments", "x"))); // length no longer fits
}

void tst_SingleInstance::laterStartHandsItsRequestOver()
{
    Other running({QStringLiteral("--serve"), QStringLiteral("program-a")});
    QCOMPARE(running.line(), QByteArray("running"));
    qint64 ms = 0;
    QCOMPARE(startAs(QStringLiteral("program-a"), {QStringLiteral("rtsp://example/live")}, &ms), 0);
    QVERIFY2(ms < 5000, qPrintable(QString::number(ms))); // the benchmark of this is the closing note's
    QCOMPARE(running.line(), QByteArray("request 1 rtsp://example/live"));
    // Without an address: only raise.
    QCOMPARE(startAs(QStringLiteral("program-a"), {}), 0);
    QCOMPARE(running.line(), QByteArray("request 1"));
}

void tst_SingleInstance::crashedInstanceLeavesNothingInTheWay()
{
    {
        Other crashed({QStringLiteral("--crash"), QStringLiteral("program-b")});
        QVERIFY(crashed.process.waitForFinished(10000));
    }
    // Its socket and lock are still there; the next start takes over.
    const QString socket = SingleInstance(QStringLiteral("program-b")).socketPath();
    QVERIFY(QFile::exists(socket));
    Other next({QStringLiteral("--serve"), QStringLiteral("program-b")});
    QCOMPARE(next.line(), QByteArray("running"));
    QCOMPARE(startAs(QStringLiteral("program-b"), {QStringLiteral("a")}), 0);
    QCOMPARE(next.line(), QByteArray("request 1 a"));
}

void tst_SingleInstance::anotherProgramIsItsOwnInstance()
{
    Other a({QStringLiteral("--serve"), QStringLiteral("/portable/one/Config.ini")});
    QCOMPARE(a.line(), QByteArray("running"));
    Other b({QStringLiteral("--serve"), QStringLiteral("/portable/two/Config.ini")});
    QCOMPARE(b.line(), QByteArray("running"));
}

void tst_SingleInstance::garbageAndFloodsAreDropped()
{
    Other running({QStringLiteral("--serve"), QStringLiteral("program-c")});
    QCOMPARE(running.line(), QByteArray("running"));
    const QString path = SingleInstance(QStringLiteral("program-c")).socketPath();
    for (const QByteArray &junk :
         {QByteArray(SingleInstance::kMaxMessage * 4, 'x'), QByteArray("GET / HTTP/1.0\r\n\r\n"),
          SingleInstance::encode({{QStringLiteral("big")}, true}).replace("big", "bi")}) {
        QLocalSocket s;
        s.connectToServer(path);
        QVERIFY(s.waitForConnected(2000));
        s.write(junk);
        s.waitForBytesWritten(2000);
        s.waitForReadyRead(300);
        QVERIFY(!s.readAll().startsWith("OK"));
    }
    // Still serving, and nothing was taken as a request.
    QCOMPARE(startAs(QStringLiteral("program-c"), {QStringLiteral("after")}), 0);
    QCOMPARE(running.line(), QByteArray("request 1 after"));
}

void tst_SingleInstance::onlyAFolderOfOurOwnIsUsed()
{
    // Without XDG_RUNTIME_DIR the socket goes into a folder of ours under the temp folder, which
    // anyone could have made first.
    QTemporaryDir tmp;
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    qunsetenv("XDG_RUNTIME_DIR");
    qputenv("TMPDIR", QFile::encodeName(tmp.path()));
    const auto restore = qScopeGuard([&] {
        qputenv("XDG_RUNTIME_DIR", runtime);
        qunsetenv("TMPDIR");
    });
    const QString own = tmp.path() + QStringLiteral("/zentavo-") + QString::number(::geteuid());
    const QByteArray ownPath = QFile::encodeName(own);
    {
        SingleInstance first(QStringLiteral("program-d"));
        QCOMPARE(QFileInfo(first.socketPath()).absolutePath(), own);
        struct stat st
        {
        };
        QVERIFY(::stat(ownPath.constData(), &st) == 0 && (st.st_mode & 0777) == 0700);
        QCOMPARE(first.start({}), SingleInstance::Role::Running);
    }
    QVERIFY(QDir(own).removeRecursively());
    // Made first by someone, open to all: not used, and this start runs alone.
    QVERIFY(::mkdir(ownPath.constData(), 0700) == 0 && ::chmod(ownPath.constData(), 0777) == 0);
    SingleInstance open(QStringLiteral("program-d"));
    QVERIFY(open.socketPath().isEmpty());
    QCOMPARE(open.start({}), SingleInstance::Role::Alone);
    QVERIFY(QDir(own).isEmpty());
    // Closed but another user's (only root can make one here).
    if (::geteuid() == 0) {
        QVERIFY(::chmod(ownPath.constData(), 0700) == 0 && ::chown(ownPath.constData(), 65534, 65534) == 0);
        QVERIFY(SingleInstance(QStringLiteral("program-d")).socketPath().isEmpty());
    }
    // A runtime folder open to others is not taken either.
    QVERIFY(::chmod(QFile::encodeName(tmp.path()).constData(), 0777) == 0);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(tmp.path()));
    QVERIFY(SingleInstance(QStringLiteral("program-d")).socketPath().isEmpty());
}

int main(int argc, char *argv[])
{
    // Every process of the test uses one runtime folder of its own.
    QByteArray runtime = qgetenv("ZENTAVO_TEST_RUNTIME");
    QTemporaryDir dir;
    if (runtime.isEmpty()) {
        runtime = dir.path().toUtf8();
        qputenv("ZENTAVO_TEST_RUNTIME", runtime);
    }
    qputenv("XDG_RUNTIME_DIR", runtime);
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const QString role = args.value(1);
    if (role == u"--serve" || role == u"--crash") {
        SingleInstance instance(args.value(2));
        if (instance.start({}) != SingleInstance::Role::Running)
            return 5;
        std::puts("running");
        std::fflush(stdout);
        if (role == u"--crash")
            std::abort(); // leaves its socket and lock behind
        QObject::connect(&instance, &SingleInstance::requested, [](const SingleInstance::Request &r) {
            std::printf("request %d%s%s\n", int(r.raise), r.arguments.isEmpty() ? "" : " ",
                        qPrintable(r.arguments.join(u' ')));
            std::fflush(stdout);
        });
        instance.setReady();
        return QCoreApplication::exec();
    }
    if (role == u"--start") {
        SingleInstance instance(args.value(2));
        switch (instance.start({args.mid(3), true})) {
        case SingleInstance::Role::HandedOver:
            return 0;
        case SingleInstance::Role::Running:
            return 3;
        case SingleInstance::Role::Alone:
            return 4;
        }
    }
    tst_SingleInstance test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_singleinstance.moc"
