#include "StartupBench.h"

#include "Measure.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTextStream>

#include <ctime>

namespace {

qint64 nowNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

} // namespace

double StartOnce(const QString &program, const QStringList &args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ZENTAVO_REPORT_SHOWN"), QStringLiteral("1"));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::SeparateChannels);
    const qint64 start = nowNs();
    p.start(program, args);
    if (!p.waitForFinished(30000))
        return -1;
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    for (const QString &line : out.split(u'\n')) {
        if (line.startsWith(QStringLiteral("shown ")))
            return (line.mid(6).toLongLong() - start) / 1e6;
    }
    return -1;
}

int RunStartupBench(const QString &program, const QString &floorProgram, int runs, const QString &installedProgram)
{
    if (!installedProgram.isEmpty()) {
        // The installed program with a user of its own (its first start makes the favourites).
        QTemporaryDir home;
        for (const char *v : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
            qputenv(v, (home.path() + u'/' + QLatin1String(v)).toUtf8());
        StartOnce(installedProgram);
        StartOnce(program);
        QList<double> installed, portable;
        for (int i = 0; i < runs; ++i) {
            installed.append(StartOnce(installedProgram));
            portable.append(StartOnce(program));
        }
        if (installed.contains(-1) || portable.contains(-1)) {
            QTextStream(stderr) << "startup: a run failed\n";
            return 1;
        }
        bench::Report(QStringLiteral("start-up to window shown, installed program (median of %1)").arg(runs),
                      bench::Median(installed), QStringLiteral("ms"), bench::Median(portable),
                      QStringLiteral("portable program"));
        return 0;
    }
    // One start of each first: font caches and the page cache warm up.
    const QStringList text = {QStringLiteral("--text")};
    StartOnce(program);
    StartOnce(floorProgram);
    StartOnce(floorProgram, text);
    QList<double> ours, floor, textFloor;
    for (int i = 0; i < runs; ++i) {
        const double a = StartOnce(program);
        const double b = StartOnce(floorProgram);
        const double c = StartOnce(floorProgram, text);
        if (a < 0 || b < 0 || c < 0) {
            QTextStream(stderr) << "startup: a run failed\n";
            return 1;
        }
        ours.append(a);
        floor.append(b);
        textFloor.append(c);
    }
    bench::Report(QStringLiteral("start-up to window shown (median of %1)").arg(runs), bench::Median(ours),
                  QStringLiteral("ms"), bench::Median(floor), QStringLiteral("bare Qt window"),
                  QStringLiteral("target <= 1.3 x floor"));
    bench::Report(QStringLiteral("start-up to window shown (median of %1)").arg(runs), bench::Median(ours),
                  QStringLiteral("ms"), bench::Median(textFloor), QStringLiteral("bare window with menus and a tree"));
    return 0;
}
