#include "Probe.h"

#include "base/Errors.h"
#include "base/SafeFile.h"
#include "catalogue/ListCipher.h"
#include "catalogue/XmlDocument.h"
#include "health/HealthChecker.h"
#include "playlists/PlaylistList.h"
#include "playlists/PlaylistReader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>
#include <QUrl>

namespace {

enum Exit { Ok = 0, BadContent = 1, Usage = 2, FileError = 3 };

const char *const kUsage =
    "usage: zentavo-chl probe FILE.CHL|FILE.m3u [--jobs N] [--timeout S] [--json] [--prune OUT.CHL]\n";

struct Source
{
    QList<HealthTarget> targets;
    // A channel list: its document, and where each target's item is (group, item).
    std::unique_ptr<XmlDocument> list;
    QList<QPair<int, int>> items;
    Playlist playlist; // or the playlist read
};

bool isPlaylistFile(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == u"m3u" || suffix == u"m3u8" || suffix == u"pls";
}

Source read(const QString &path, const QByteArray &bytes)
{
    Source s;
    if (isPlaylistFile(path)) {
        s.playlist = ReadPlaylist(bytes, QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString());
        for (const PlaylistEntry &e : std::as_const(s.playlist.entries))
            s.targets.append({e.name, e.address, e.userAgent, e.referrer, e.cookie});
        return s;
    }
    s.list = std::make_unique<XmlDocument>();
    s.list->loadFromBytes(CipherBytes(bytes));
    const QList<XmlNode> groups = s.list->documentElement().childNodes();
    for (int g = 0; g < groups.size(); ++g) {
        const QList<XmlNode> items = groups[g].childNodes();
        for (int i = 0; i < items.size(); ++i) {
            s.targets.append(HealthTarget::Of(items[i]));
            s.items.append({g, i});
        }
    }
    return s;
}

// The list without the channels found off the air.
QByteArray pruned(Source &s, const QList<Health> &results)
{
    if (!s.list) {
        Playlist kept;
        for (int i = 0; i < s.playlist.entries.size(); ++i) {
            if (!results[i].isOffAir())
                kept.entries.append(s.playlist.entries[i]);
        }
        return ChannelListOf(kept, 1, QStringLiteral("Channels")).xml;
    }
    QList<XmlNode> groups = s.list->documentElement().childNodes();
    for (int k = int(s.items.size()) - 1; k >= 0; --k) {
        if (results[k].isOffAir())
            groups[s.items[k].first].deleteChild(s.items[k].second);
    }
    return s.list->saveToBytes();
}

} // namespace

int RunProbe(const QStringList &a)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    QString path, prune;
    int jobs = HealthChecker::kDefaultJobs;
    double timeout = HealthChecker::kDefaultTimeoutMs / 1000.0;
    bool json = false;
    for (int i = 0; i < a.size(); ++i) {
        const QString &arg = a[i];
        bool ok = true;
        if (arg == u"--json")
            json = true;
        else if (arg == u"--jobs" && i + 1 < a.size())
            jobs = a[++i].toInt(&ok);
        else if (arg == u"--timeout" && i + 1 < a.size())
            timeout = a[++i].toDouble(&ok);
        else if (arg == u"--prune" && i + 1 < a.size())
            prune = a[++i];
        else if (!arg.startsWith(u'-') && path.isEmpty())
            path = arg;
        else
            ok = false;
        if (!ok || jobs < 1 || timeout <= 0) {
            err << kUsage;
            return Usage;
        }
    }
    if (path.isEmpty()) {
        err << kUsage;
        return Usage;
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        err << "zentavo-chl: cannot read " << path << ": " << f.errorString() << '\n';
        return FileError;
    }
    Source source;
    try {
        source = read(path, f.readAll());
    } catch (const ZError &e) {
        err << "zentavo-chl: " << path << ": " << e.message() << '\n';
        return BadContent;
    }

    QList<Health> results(source.targets.size());
    HealthChecker checker;
    checker.setJobs(jobs);
    checker.setTimeout(int(timeout * 1000));
    QEventLoop loop;
    QObject::connect(&checker, &HealthChecker::checked, [&](int index, const Health &h) { results[index] = h; });
    QObject::connect(&checker, &HealthChecker::finished, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    checker.check(source.targets);
    if (checker.isRunning())
        loop.exec();
    const double seconds = clock.elapsed() / 1000.0;

    int on = 0, off = 0, unknown = 0;
    QJsonArray channels;
    for (int i = 0; i < results.size(); ++i) {
        const Health &h = results[i];
        (h.state == Health::State::OnAir ? on : h.isOffAir() ? off : unknown) += 1;
        const HealthTarget &t = source.targets[i];
        if (json)
            channels.append(QJsonObject{{QLatin1StringView("state"), Health::Word(h.state)},
                                        {QLatin1StringView("reason"), h.reason},
                                        {QLatin1StringView("ms"), h.ms},
                                        {QLatin1StringView("name"), t.name},
                                        {QLatin1StringView("address"), t.address}});
        else
            out << Health::Word(h.state) << '\t' << h.reason << '\t' << h.ms << " ms\t" << t.name << '\t' << t.address
                << '\n';
    }
    const QString summary = QStringLiteral("%1 channels: %2 on the air, %3 off the air, %4 unknown, in %5 s")
                                .arg(results.size())
                                .arg(on)
                                .arg(off)
                                .arg(unknown)
                                .arg(seconds, 0, 'f', 1);
    if (json)
        out << QJsonDocument(QJsonObject{{QLatin1StringView("channels"), channels},
                                         {QLatin1StringView("on"), on},
                                         {QLatin1StringView("off"), off},
                                         {QLatin1StringView("unknown"), unknown},
                                         {QLatin1StringView("seconds"), seconds}})
                   .toJson(QJsonDocument::Indented);
    else
        out << summary << '\n';
    out.flush();
    if (prune.isEmpty())
        return Ok;
    const QByteArray list = pruned(source, results);
    if (list.size() > kMaxListFileSize) {
        err << "zentavo-chl: the list is larger than " << kMaxListFileSize << " bytes, which Zentavo does not read\n";
        return BadContent;
    }
    QString why;
    if (!WriteFileAtomically(prune, CipherBytes(list), &why)) {
        err << "zentavo-chl: cannot write " << prune << ": " << why << '\n';
        return FileError;
    }
    if (!json)
        out << (results.size() - off) << " channels written to " << prune << '\n';
    return Ok;
}
