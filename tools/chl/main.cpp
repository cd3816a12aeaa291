// zentavo-chl: reads, writes and checks Zentavo's channel list files.
//
//   zentavo-chl decode IN OUT          decipher a list file into plain XML
//   zentavo-chl encode IN OUT          encipher plain XML into a list file (IN must be well-formed)
//   zentavo-chl check IN               decipher and parse; list groups, channel counts and channels
//                                      lacking one of the ten attributes
//   zentavo-chl import-m3u IN OUT [--type tv|radio|video]
//                                      build a list file from an M3U/M3U8 playlist
//   zentavo-chl probe IN [--jobs N] [--timeout S] [--json] [--prune OUT]
//                                      check which channels of a list or playlist are on the air
//   zentavo-chl guide GUIDE [--playlist FILE.m3u] [--at YYYY-MM-DDTHH:MM:SSZ] [--json]
//                                      what is on now and next, per channel, in an XMLTV guide
//
// Exit codes: 0 done, 1 the content is no channel list the program can load, 2 bad usage,
// 3 a file could not be read or written.
#include "GuideCommand.h"
#include "Probe.h"
#include "base/Errors.h"
#include "base/SafeFile.h"
#include "catalogue/ListCheck.h"
#include "catalogue/ListCipher.h"
#include "catalogue/XmlDocument.h"
#include "playlists/PlaylistList.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <QUrl>

namespace {

enum Exit { Ok = 0, BadContent = 1, Usage = 2, FileError = 3 };

QTextStream &out()
{
    static QTextStream s(stdout);
    return s;
}

QTextStream &err()
{
    static QTextStream s(stderr);
    return s;
}

int usage()
{
    err() << "usage: zentavo-chl decode IN OUT\n"
             "       zentavo-chl encode IN OUT\n"
             "       zentavo-chl check IN\n"
             "       zentavo-chl import-m3u IN OUT [--type tv|radio|video]\n"
             "       zentavo-chl probe FILE.CHL|FILE.m3u [--jobs N] [--timeout S] [--json] [--prune OUT.CHL]\n"
             "       zentavo-chl guide GUIDE [--playlist FILE.m3u] [--at YYYY-MM-DDTHH:MM:SSZ] [--json]\n";
    return Usage;
}

// Reads an input whole: Ok, FileError, or BadContent for one larger than any list may be.
int readAll(const QString &path, QByteArray *bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        err() << "zentavo-chl: cannot read " << path << ": " << f.errorString() << '\n';
        return FileError;
    }
    if (f.size() > kMaxListFileSize) {
        err() << "zentavo-chl: " << path << " is larger than " << kMaxListFileSize << " bytes, which no list may be\n";
        return BadContent;
    }
    *bytes = f.readAll();
    return Ok;
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QString why;
    if (!WriteFileAtomically(path, bytes, &why)) {
        err() << "zentavo-chl: cannot write " << path << ": " << why << '\n';
        return false;
    }
    return true;
}

// A list file the program can read: no larger than it reads (refused before anything is written).
int writeList(const QString &path, const QByteArray &plain)
{
    if (plain.size() > kMaxListFileSize) {
        err() << "zentavo-chl: the list is larger than " << kMaxListFileSize << " bytes, which Zentavo does not read\n";
        return BadContent;
    }
    return writeAll(path, CipherBytes(plain)) ? Ok : FileError;
}

int decode(const QString &in, const QString &outPath)
{
    QByteArray bytes;
    if (const int read = readAll(in, &bytes); read != Ok)
        return read;
    return writeAll(outPath, CipherBytes(bytes)) ? Ok : FileError;
}

int encode(const QString &in, const QString &outPath)
{
    QByteArray bytes;
    if (const int read = readAll(in, &bytes); read != Ok)
        return read;
    XmlDocument doc;
    try {
        doc.loadFromBytes(bytes);
    } catch (const ZError &e) {
        err() << "zentavo-chl: " << in << ": " << e.message() << '\n';
        return BadContent;
    }
    return writeList(outPath, bytes);
}

int check(const QString &in)
{
    QFile f(in);
    if (!f.open(QIODevice::ReadOnly)) {
        err() << "zentavo-chl: cannot read " << in << ": " << f.errorString() << '\n';
        return FileError;
    }
    f.close();
    const ListCheck c = CheckListFile(in);
    if (!c.parsed) {
        err() << "zentavo-chl: " << in << " does not decipher to a channel list: " << c.error << '\n';
        return BadContent;
    }
    int total = 0;
    for (const auto &g : c.groups) {
        out() << g.name << '\t' << g.channels << '\n';
        total += g.channels;
    }
    out() << c.groups.size() << " groups, " << total << " channels\n";
    for (const auto &i : c.incomplete)
        out() << "incomplete: " << i.group << " #" << i.position + 1 << " \"" << i.channel << "\" lacks "
              << i.missing.join(QStringLiteral(", ")) << '\n';
    out().flush();
    if (!c.treeLoadable) {
        err() << "zentavo-chl: the program cannot load this list: " << c.error << '\n';
        return BadContent;
    }
    return Ok;
}

int importM3u(const QString &in, const QString &outPath, const QString &type)
{
    int ty = 1;
    if (type == u"radio")
        ty = 2;
    else if (type == u"video")
        ty = 3;
    else if (!type.isEmpty() && type != u"tv")
        return usage();
    QByteArray bytes;
    if (const int read = readAll(in, &bytes); read != Ok)
        return read;
    try {
        // The same reading as the program's playlists: what the tool imports, the window shows.
        const QString origin = QUrl::fromLocalFile(QFileInfo(in).absoluteFilePath()).toString();
        const PlaylistList r = ChannelListOf(ReadPlaylist(bytes, origin), ty, QStringLiteral("Channels"));
        if (const int written = writeList(outPath, r.xml); written != Ok)
            return written;
        out() << r.groups << " groups, " << r.channels << " channels written to " << outPath << '\n';
        return Ok;
    } catch (const ZError &e) {
        err() << "zentavo-chl: " << in << ": " << e.message() << '\n';
        return BadContent;
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList a = QCoreApplication::arguments().mid(1);
    if (a.isEmpty())
        return usage();
    const QString cmd = a[0];
    if (cmd == u"decode" && a.size() == 3)
        return decode(a[1], a[2]);
    if (cmd == u"encode" && a.size() == 3)
        return encode(a[1], a[2]);
    if (cmd == u"check" && a.size() == 2)
        return check(a[1]);
    if (cmd == u"import-m3u" && a.size() == 3)
        return importM3u(a[1], a[2], QString());
    if (cmd == u"import-m3u" && a.size() == 5 && a[3] == u"--type")
        return importM3u(a[1], a[2], a[4]);
    if (cmd == u"probe")
        return RunProbe(a.mid(1));
    if (cmd == u"guide")
        return RunGuide(a.mid(1));
    return usage();
}
