#include "HealthBench.h"

#include "BenchRig.h"
#include "TestHttpServer.h"
#include "health/HealthChecker.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryFile>
#include <QTimer>

namespace {

constexpr int kHosts = 20;
constexpr int kPerHost = 100;

QList<HealthTarget> makeWorld(std::vector<std::unique_ptr<TestHttpServer>> &servers)
{
    const QByteArray mp3 = QByteArray("\xff\xfb\x90\x64", 4) + QByteArray(4000, '\x55');
    QList<HealthTarget> targets;
    for (int h = 0; h < kHosts; ++h) {
        auto server = std::make_unique<TestHttpServer>(0, QHostAddress(QStringLiteral("127.0.0.%1").arg(h + 2)));
        server->script(QStringLiteral("/live"), HttpReply(200, "OK", mp3, "Content-Type: audio/mpeg\r\n"));
        server->script(QStringLiteral("/page"),
                       HttpReply(200, "OK", "<html><body>gone</body></html>", "Content-Type: text/html\r\n"));
        server->script(QStringLiteral("/empty"), QByteArray("HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n"));
        TestHttpServer::Reply slow;
        slow.raw = HttpReply(200, "OK", mp3, "Content-Type: audio/mpeg\r\n");
        slow.delayMs = 1000;
        server->script(QStringLiteral("/slow"), slow);
        TestHttpServer::Reply silent;
        silent.silent = true;
        server->script(QStringLiteral("/silent"), silent);
        for (int i = 0; i < kPerHost; ++i) {
            QString address;
            if (i == 50 && h % 2 == 0)
                address = server->url(QStringLiteral("/silent"));
            else if (i % 50 == 7)
                address = server->url(QStringLiteral("/slow?%1").arg(i));
            else if (i % 3 == 2) {
                switch ((i / 3) % 4) {
                case 0:
                    address = server->url(QStringLiteral("/gone?%1").arg(i));
                    break;
                case 1:
                    address = server->url(QStringLiteral("/page?%1").arg(i));
                    break;
                case 2:
                    address = server->url(QStringLiteral("/empty?%1").arg(i));
                    break;
                default:
                    address = QStringLiteral("http://127.0.0.%1:9/refused%2").arg(h + 2).arg(i);
                    break;
                }
            } else
                address = server->url(QStringLiteral("/live?%1").arg(i));
            targets.append({QStringLiteral("Channel %1-%2").arg(h).arg(i), address, {}, {}, {}});
        }
        servers.push_back(std::move(server));
    }
    return targets;
}

double curlMs(const QList<HealthTarget> &targets)
{
    QTemporaryFile list;
    if (!list.open())
        return -1;
    for (const HealthTarget &t : targets)
        list.write(t.address.toUtf8() + '\n');
    list.flush();
    QProcess xargs;
    xargs.setStandardInputFile(list.fileName());
    QElapsedTimer t;
    t.start();
    xargs.start(QStringLiteral("xargs"),
                {QStringLiteral("-P"), QStringLiteral("24"), QStringLiteral("-n"), QStringLiteral("1"),
                 QStringLiteral("curl"), QStringLiteral("-s"), QStringLiteral("-o"), QStringLiteral("/dev/null"),
                 QStringLiteral("--max-time"), QStringLiteral("8"), QStringLiteral("-r"), QStringLiteral("0-1023")});
    if (!xargs.waitForStarted(5000))
        return -1;
    while (!xargs.waitForFinished(100))
        QCoreApplication::processEvents(); // the servers' threads need nothing of ours, but be fair
    return xargs.error() == QProcess::FailedToStart ? -1 : t.nsecsElapsed() / 1e6;
}

} // namespace

int RunHealthBench(int)
{
    std::vector<std::unique_ptr<TestHttpServer>> servers;
    const QList<HealthTarget> targets = makeWorld(servers);
    const long before = bench::RssKb();
    long peak = before;

    HealthChecker checker;
    int on = 0, off = 0, unknown = 0;
    QObject::connect(&checker, &HealthChecker::checked, [&](int, const Health &h) {
        (h.state == Health::State::OnAir ? on : h.isOffAir() ? off : unknown) += 1;
    });
    // The GUI thread's latency: how late a 5 ms timer fires while the check runs.
    QElapsedTimer beat;
    double worst = 0;
    QTimer probe;
    probe.setInterval(5);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (beat.isValid())
            worst = qMax(worst, beat.nsecsElapsed() / 1e6 - 5);
        beat.start();
        peak = qMax(peak, bench::RssKb());
    });
    QSignalSpy finished(&checker, &HealthChecker::finished);
    QElapsedTimer t;
    t.start();
    probe.start();
    checker.check(targets);
    finished.wait(120000);
    const double ms = t.nsecsElapsed() / 1e6;
    probe.stop();
    const double peer = curlMs(targets);
    bench::Report(QStringLiteral("check 2,000 loopback channels on 20 hosts, 24 jobs"), ms, QStringLiteral("ms"), peer,
                  QStringLiteral("curl, 24 at a time"),
                  QStringLiteral("%1 on, %2 off, %3 unknown; target <= 10000 ms").arg(on).arg(off).arg(unknown));
    bench::Report(QStringLiteral("GUI thread's worst event latency during the check"), worst, QStringLiteral("ms"), 0,
                  {}, QStringLiteral("target < 50"));
    bench::Report(QStringLiteral("resident memory growth during the check"), (peak - before) / 1024.0,
                  QStringLiteral("MiB"), 0, {}, QStringLiteral("target <= 60"));
    return 0;
}
