#include "HostileBench.h"

#include "BenchRig.h"
#include "TestDirs.h"
#include "health/HealthChecker.h"
#include "health/HealthCommands.h"
#include "health/HealthStore.h"
#include "playback/StatusLine.h"
#include "playlists/PlaylistFetch.h"
#include "playlists/PlaylistReader.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QMenu>
#include <QProcess>
#include <QStatusBar>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

using namespace bench;

namespace {

// A server that never stops sending, as fast as the reader takes it (it keeps at most a few
// MiB of its own waiting), on a thread of its own.
class EndlessServer : public QObject
{
public:
    EndlessServer(QByteArray head, QByteArray piece) : m_head(std::move(head)), m_piece(std::move(piece))
    {
        moveToThread(&m_thread);
        m_thread.start();
        QMetaObject::invokeMethod(
            this, [this] { listen(); }, Qt::BlockingQueuedConnection);
    }
    ~EndlessServer() override
    {
        QMetaObject::invokeMethod(
            this, [this] { delete m_server; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    quint16 port() const { return m_port; }

private:
    void listen()
    {
        m_server = new QTcpServer;
        m_server->listen(QHostAddress::LocalHost);
        m_port = m_server->serverPort();
        QObject::connect(m_server, &QTcpServer::newConnection, m_server, [this] {
            while (QTcpSocket *s = m_server->nextPendingConnection()) {
                QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    s->readAll();
                    if (s->property("sent").toBool())
                        return;
                    s->setProperty("sent", true);
                    s->write(m_head);
                    feed(s);
                });
                QObject::connect(s, &QTcpSocket::bytesWritten, s, [this, s] { feed(s); });
            }
        });
    }
    void feed(QTcpSocket *s)
    {
        while (s->state() == QAbstractSocket::ConnectedState && s->bytesToWrite() < 4 * m_piece.size())
            s->write(m_piece);
    }

    QThread m_thread;
    QTcpServer *m_server = nullptr;
    QByteArray m_head, m_piece;
    quint16 m_port = 0;
};

// A playlist of about `bytes` bytes with short entries, written as it is made.
void writePlaylist(const QString &path, qint64 bytes, int *entries)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    f.write("#EXTM3U\n");
    int n = 0;
    while (f.size() < bytes) {
        f.write(QStringLiteral("#EXTINF:-1 group-title=\"G%1\",Channel %2\nhttp://s%3.example/live/%2.m3u8\n")
                    .arg(n % 40)
                    .arg(n)
                    .arg(n % 97)
                    .toUtf8());
        ++n;
    }
    *entries = n;
}

// Runs a child process of this benchmark in one role; its figures come back on one line.
QList<QByteArray> child(const QStringList &args)
{
    QProcess p;
    p.start(QCoreApplication::applicationFilePath(), QStringList{QStringLiteral("--hostile-case")} + args);
    if (!p.waitForFinished(600000))
        qWarning("the case %s did not end", qPrintable(args.join(u' ')));
    return p.readAllStandardOutput().trimmed().split('\t');
}

} // namespace

int RunHostileCase(const QStringList &args)
{
    const QString what = args.value(0);
    const PeakProbe peak;
    QString outcome;
    QElapsedTimer t;
    t.start();
    if (what == u"fetch") {
        QTemporaryDir dir;
        PlaylistFetch fetch;
        bool done = false;
        QObject::connect(&fetch, &PlaylistFetch::finished, [&](const PlaylistFetch::Result &r) {
            outcome = r.ok ? QStringLiteral("%1 channels").arg(r.channels) : r.error;
            done = true;
        });
        fetch.start({args.value(1), dir.filePath(QStringLiteral("p.CHL")), QStringLiteral("x"), dir.path()});
        while (!done)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    } else if (what == u"probe") {
        HealthChecker checker;
        bool done = false;
        QObject::connect(&checker, &HealthChecker::checked,
                         [&](int, const Health &h) { outcome = Health::Word(h.state) + u' ' + h.reason; });
        QObject::connect(&checker, &HealthChecker::finished, [&] { done = true; });
        checker.check({{QStringLiteral("c"), args.value(1), {}, {}, {}}});
        while (!done)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    printf("%.1f\t%.0f\t%s\n", peak.addedMiB(), t.nsecsElapsed() / 1e6, qPrintable(outcome));
    return 0;
}

int RunHostileBench()
{
    const auto report = [](const QString &what, const QList<QByteArray> &figures, double target) {
        Report(what, figures.value(0).toDouble(), QStringLiteral("MiB"), 0, {},
               QStringLiteral("target <= +%1 MiB; %2 ms; %3")
                   .arg(target)
                   .arg(QString::fromUtf8(figures.value(1)), QString::fromUtf8(figures.value(2))));
    };
    {
        EndlessServer endless("HTTP/1.0 200 OK\r\nContent-Type: audio/x-mpegurl\r\n\r\n#EXTM3U\n",
                              QByteArray(1 << 20, '#'));
        report(QStringLiteral("hostile: endless playlist body, peak memory"),
               child({QStringLiteral("fetch"), QStringLiteral("http://127.0.0.1:%1/list.m3u").arg(endless.port())}),
               100);
    }
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("big.m3u"));
        int entries = 0;
        writePlaylist(file, qint64(100) << 20, &entries);
        report(QStringLiteral("hostile: 100 MiB playlist (%1 entries), peak memory").arg(entries),
               child({QStringLiteral("fetch"), file}), 600);
    }
    {
        // A 4 KB title of 2,000 words fitted to a status line, as every new title is.
        QString title;
        for (int i = 0; i < 2000; ++i)
            title += QStringLiteral("w ");
        const QFont font = QApplication::font();
        const double ours = MedianMs(15, [&] { StatusLine::fitted(title, font, 400); });
        const double floor = MedianMs(15, [&] { QFontMetrics(font).elidedText(title, Qt::ElideRight, 400); });
        Report(QStringLiteral("hostile: a 4 KB title of 2,000 words fitted to the status line"), ours,
               QStringLiteral("ms"), floor, QStringLiteral("QFontMetrics::elidedText alone"));
    }
    {
        // A start with the results of 100,000 checked channels: how long the window waits.
        TempAppDir dir;
        TGlobal global(dir.path());
        const QString file = global.CacheDir + QStringLiteral("health.json");
        QDir().mkpath(global.CacheDir);
        {
            HealthStore store(file);
            const QDateTime now = QDateTime::currentDateTimeUtc();
            for (int i = 0; i < 100000; ++i)
                store.put(QStringLiteral("http://s%1.example/live/%2.m3u8").arg(i % 97).arg(i),
                          {i % 3 ? Health::State::OnAir : Health::State::OffAir,
                           i % 3 ? QStringLiteral("stream") : QStringLiteral("HTTP 404 Not Found"), now.addSecs(-i),
                           40});
            store.save();
        }
        const double readMs = TimeMs([&] {
            HealthStore store(file);
            store.load();
        });
        Tree tree(global);
        QWidget panel;
        QStatusBar bar;
        QMenu filter;
        QApplication::processEvents();
        LatencyProbe probe;
        probe.start();
        double startMs = 0;
        startMs = TimeMs([&] { // owned by the window, as in the program
            new HealthCommands({tree.tree, &filter, &panel, &bar}, global, *tree.channels, &tree.window);
        });
        QElapsedTimer wait;
        wait.start();
        while (wait.elapsed() < 3 * readMs + 500)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        Report(QStringLiteral("hostile: start with 100,000 check results (%1 MiB), GUI thread's worst latency")
                   .arg(QFileInfo(file).size() / 1048576.0, 0, 'f', 1),
               probe.stop(), QStringLiteral("ms"), readMs, QStringLiteral("reading them on the GUI thread"),
               QStringLiteral("target < 50 ms; the window's own part %1 ms").arg(startMs, 0, 'f', 1));
    }
    {
        EndlessServer rtsp("RTSP/1.0 200 OK\r\nCSeq: 1\r\n", "X-More: " + QByteArray(1000, 'a') + "\r\n");
        report(QStringLiteral("hostile: endless RTSP reply to the checker, peak memory"),
               child({QStringLiteral("probe"), QStringLiteral("rtsp://127.0.0.1:%1/live").arg(rtsp.port())}), 100);
    }
    return 0;
}
