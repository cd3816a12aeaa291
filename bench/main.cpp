// zentavo-bench: the program's speed and memory figures, each against a named peer measured in
// the same run. Usage: zentavo-bench [startup] [catalogue] [playback] [download] [playlists] [live] [health]
//                     [hostile] [guide]
//                     [--runs N] [--installed PREFIX] (startup: an installed copy against the
//                     portable one) [--list FILE.CHL] [--m3u FILE] [--xmltv FILE]
#include "CatalogueBench.h"
#include "DownloadBench.h"
#include "GuideBench.h"
#include "HealthBench.h"
#include "HostileBench.h"
#include "LiveBench.h"
#include "Measure.h"
#include "PlaybackBench.h"
#include "PlaylistBench.h"
#include "StartupBench.h"

#include <QApplication>
#include <QDir>
#include <QTextStream>

namespace bench {

void Report(const QString &what, double ours, const QString &unit, double peer, const QString &peerName,
            const QString &note)
{
    QTextStream out(stdout);
    out << what << ": " << QString::number(ours, 'f', 2) << ' ' << unit;
    if (!peerName.isEmpty() && peer > 0)
        out << "   " << peerName << ": " << QString::number(peer, 'f', 2) << ' ' << unit << "   ratio "
            << QString::number(ours / peer, 'f', 2);
    if (!note.isEmpty())
        out << "   (" << note << ')';
    out << Qt::endl;
}

} // namespace bench

int main(int argc, char *argv[])
{
    // The program's engine module, beside the program rather than beside the benchmark.
    if (!qEnvironmentVariableIsSet("ZENTAVO_ENGINES_DIR"))
        qputenv("ZENTAVO_ENGINES_DIR", ZENTAVO_ENGINES_DIR);
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.size() == 2 && args.first() == u"--shown-memory")
        return RunShownMemory(args[1]);
    if (args.value(0) == u"--hostile-case")
        return RunHostileCase(args.mid(1));
    if (args.value(0) == u"--guide-case")
        return RunGuideCase(args.mid(1));
    int runs = 15;
    if (const qsizetype i = args.indexOf(QStringLiteral("--runs")); i >= 0 && i + 1 < args.size())
        runs = args[i + 1].toInt();
    const bool all = args.isEmpty() || args.first().startsWith(QStringLiteral("--"));
    int rc = 0;
    QString list;
    if (const qsizetype i = args.indexOf(QStringLiteral("--list")); i >= 0 && i + 1 < args.size())
        list = args[i + 1];
    QString m3u;
    if (const qsizetype i = args.indexOf(QStringLiteral("--m3u")); i >= 0 && i + 1 < args.size())
        m3u = args[i + 1];
    QString installed;
    if (const qsizetype i = args.indexOf(QStringLiteral("--installed")); i >= 0 && i + 1 < args.size())
        installed = args[i + 1] + QStringLiteral("/bin/zentavo");
    if (all || args.contains(QStringLiteral("startup")))
        rc |= RunStartupBench(QStringLiteral(ZENTAVO_PROGRAM), QStringLiteral(ZENTAVO_BARE_WINDOW), runs, installed);
    if (all || args.contains(QStringLiteral("catalogue")))
        rc |= RunCatalogueBench(list, qMin(runs, 7));
    if (all || args.contains(QStringLiteral("playback")))
        rc |= RunPlaybackBench(qMin(runs, 7));
    if (all || args.contains(QStringLiteral("download")))
        rc |= RunDownloadBench(qMin(runs, 5));
    if (all || args.contains(QStringLiteral("playlists")))
        rc |= RunPlaylistBench(m3u, qMin(runs, 5));
    if (all || args.contains(QStringLiteral("health")))
        rc |= RunHealthBench(1);
    if (all || args.contains(QStringLiteral("live")))
        rc |= RunLiveBench(qMin(runs, 5));
    if (all || args.contains(QStringLiteral("hostile")))
        rc |= RunHostileBench();
    QString xmltv;
    if (const qsizetype i = args.indexOf(QStringLiteral("--xmltv")); i >= 0 && i + 1 < args.size())
        xmltv = args[i + 1];
    if (all || args.contains(QStringLiteral("guide")))
        rc |= RunGuideBench(xmltv);
    return rc;
}
