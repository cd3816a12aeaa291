#include "GuideCommand.h"

#include "base/Errors.h"
#include "guide/GuideImport.h"
#include "guide/GuideSchedule.h"
#include "guide/XmltvReader.h"
#include "guide/XmltvTime.h"
#include "playlists/PlaylistReader.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QTextStream>
#include <QUrl>

namespace {

enum Exit { Ok = 0, BadContent = 1, Usage = 2, FileError = 3 };

// What is on, and a day either side, is all a now-and-next answer needs.
constexpr qint64 kAround = 2 * 86400;

struct Row
{
    QString name;
    QString id;
    qint64 key = 0;
};

QJsonValue airingJson(const std::optional<Airing> &a)
{
    if (!a)
        return QJsonValue::Null;
    return QJsonObject{{QStringLiteral("title"), a->title},
                       {QStringLiteral("start"), IsoUtc(a->start)},
                       {QStringLiteral("stop"), IsoUtc(a->stop)}};
}

QString airingText(const std::optional<Airing> &a)
{
    return a ? QStringLiteral("%1 %2 %3").arg(IsoUtc(a->start), IsoUtc(a->stop), a->title) : QStringLiteral("-");
}

} // namespace

int RunGuide(const QStringList &args)
{
    QTextStream out(stdout), err(stderr);
    QString guidePath, playlistPath;
    qint64 at = QDateTime::currentSecsSinceEpoch();
    bool json = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == u"--json") {
            json = true;
        } else if (a == u"--playlist" && i + 1 < args.size()) {
            playlistPath = args[++i];
        } else if (a == u"--at" && i + 1 < args.size()) {
            const std::optional<qint64> t = ParseIsoUtc(args[++i]);
            if (!t) {
                err << "zentavo-chl: --at wants a time as YYYY-MM-DDTHH:MM:SSZ\n";
                return Usage;
            }
            at = *t;
        } else if (!a.startsWith(u"--") && guidePath.isEmpty()) {
            guidePath = a;
        } else {
            err << "usage: zentavo-chl guide GUIDE [--playlist FILE.m3u] [--at YYYY-MM-DDTHH:MM:SSZ] [--json]\n";
            return Usage;
        }
    }
    if (guidePath.isEmpty()) {
        err << "usage: zentavo-chl guide GUIDE [--playlist FILE.m3u] [--at YYYY-MM-DDTHH:MM:SSZ] [--json]\n";
        return Usage;
    }

    QList<ListChannel> listed;
    if (!playlistPath.isEmpty()) {
        QFile f(playlistPath);
        if (!f.open(QIODevice::ReadOnly) || f.size() > kMaxPlaylistSize) {
            err << "zentavo-chl: cannot read " << playlistPath << ": " << f.errorString() << '\n';
            return FileError;
        }
        try {
            const QString origin = QUrl::fromLocalFile(QFileInfo(playlistPath).absoluteFilePath()).toString();
            for (const PlaylistEntry &e : ReadPlaylist(f.readAll(), origin).entries)
                listed.append({e.tvgId, e.tvgName, e.name});
        } catch (const ZError &e) {
            err << "zentavo-chl: " << playlistPath << ": " << e.message() << '\n';
            return BadContent;
        }
    }

    QFile guide(guidePath);
    if (!guide.open(QIODevice::ReadOnly)) {
        err << "zentavo-chl: cannot read " << guidePath << ": " << guide.errorString() << '\n';
        return FileError;
    }
    GuideSchedule schedule;
    QList<Row> declared;
    QHash<QString, qint64> keys;
    GuideImportOptions options;
    options.from = at - kAround;
    options.to = at + kAround;
    options.language = QLocale().name();
    const QString failure = ReadGuide(
        guide, options,
        [&](XmltvChannel &&c) {
            if (keys.contains(c.id))
                return;
            const qint64 key = keys.size() + 1;
            keys.insert(c.id, key);
            schedule.addChannel(key, c.id, c.names);
            declared.append({c.names.value(0, c.id), c.id, key});
        },
        [&](XmltvProgramme &&p) {
            if (const qint64 key = keys.value(p.channel))
                schedule.addProgramme(key, {p.start, p.stop, p.title});
        });
    if (!failure.isEmpty()) {
        err << "zentavo-chl: " << guidePath << ": " << failure << '\n';
        return BadContent;
    }
    schedule.finish();

    QList<Row> rows;
    if (playlistPath.isEmpty()) {
        rows = declared;
    } else {
        for (const ListChannel &c : std::as_const(listed))
            rows.append({c.name, c.tvgId, schedule.channelOf(c)});
    }
    QJsonArray array;
    for (const Row &r : std::as_const(rows)) {
        const NowNext n = r.key ? schedule.at(r.key, at) : NowNext{};
        if (json) {
            array.append(QJsonObject{{QStringLiteral("channel"), r.name},
                                     {QStringLiteral("id"), r.id},
                                     {QStringLiteral("now"), airingJson(n.now)},
                                     {QStringLiteral("next"), airingJson(n.next)}});
        } else {
            out << r.name << "\tnow: " << airingText(n.now) << "\tnext: " << airingText(n.next) << '\n';
        }
    }
    if (json)
        out << QJsonDocument(array).toJson(QJsonDocument::Indented);
    return Ok;
}
