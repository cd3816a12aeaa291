#include "MediaFixtures.h"

#include "TestDirs.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace Media {

namespace {

QTemporaryDir &dir()
{
    static QTemporaryDir d;
    return d;
}

QString make(const QString &name, const QStringList &args)
{
    const QString path = dir().filePath(name);
    if (QFile::exists(path))
        return path;
    QProcess ff;
    ff.start(QStringLiteral("ffmpeg"),
             QStringList{QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-y")} + args +
                 QStringList{path});
    if (!ff.waitForFinished(60000) || ff.exitCode() != 0)
        qFatal("ffmpeg could not make %s: %s", qPrintable(name), ff.readAllStandardError().constData());
    return path;
}

QStringList videoInputs(const QString &seconds)
{
    return {QStringLiteral("-f"),
            QStringLiteral("lavfi"),
            QStringLiteral("-i"),
            QStringLiteral("color=c=0x3060c0:s=320x240:r=25:d=") + seconds +
                QStringLiteral(",drawbox=x=0:y=180:w=320:h=60:color=0xe0c020:t=fill"),
            QStringLiteral("-f"),
            QStringLiteral("lavfi"),
            QStringLiteral("-i"),
            QStringLiteral("sine=frequency=440:d=") + seconds};
}

} // namespace

QColor ClipColor()
{
    return QColor(0x30, 0x60, 0xc0);
}

QColor BottomColor()
{
    return QColor(0xe0, 0xc0, 0x20);
}

QString Folder()
{
    return dir().path();
}

QString VideoMp4()
{
    return make(QStringLiteral("clip.mp4"),
                videoInputs(QStringLiteral("3")) + QStringList{"-c:v", "libx264", "-pix_fmt", "yuv420p", "-c:a", "aac",
                                                               "-movflags", "+faststart", "-shortest"});
}

QString ShortMp4()
{
    return make(QStringLiteral("short.mp4"),
                videoInputs(QStringLiteral("1")) + QStringList{"-c:v", "libx264", "-pix_fmt", "yuv420p", "-c:a", "aac",
                                                               "-movflags", "+faststart", "-shortest"});
}

QString LongMp4()
{
    return make(QStringLiteral("long.mp4"),
                videoInputs(QStringLiteral("120")) + QStringList{"-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt",
                                                                 "yuv420p", "-c:a", "aac", "-b:a", "32k", "-movflags",
                                                                 "+faststart", "-shortest"});
}

QString LongRealMedia()
{
    return make(QStringLiteral("long.rm"), videoInputs(QStringLiteral("120")) +
                                               QStringList{"-c:v", "rv10", "-c:a", "ac3", "-f", "rm", "-shortest"});
}

QString LongAudio()
{
    return make(QStringLiteral("long.mp3"),
                {"-f", "lavfi", "-i", "sine=frequency=550:d=120", "-c:a", "libmp3lame", "-b:a", "32k"});
}

QString ResizingTs()
{
    const QString path = dir().filePath(QStringLiteral("resize.ts"));
    if (QFile::exists(path))
        return path;
    // Two MPEG-TS pieces of different picture sizes, one after the other, as adaptive streams
    // switch between them.
    const auto piece = [](const QString &name, const QString &size, const QString &seconds) {
        return make(name,
                    QStringList{"-f", "lavfi", "-i",
                                QStringLiteral("color=c=0x3060c0:s=") + size + QStringLiteral(":r=25:d=") + seconds,
                                "-f", "lavfi", "-i", QStringLiteral("sine=frequency=440:d=") + seconds, "-c:v",
                                "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-c:a", "aac", "-shortest",
                                "-f", "mpegts"});
    };
    QByteArray joined;
    for (const QString &p : {piece(QStringLiteral("small.ts"), QStringLiteral("320x240"), QStringLiteral("2")),
                             piece(QStringLiteral("large.ts"), QStringLiteral("480x360"), QStringLiteral("60"))}) {
        QFile f(p);
        f.open(QIODevice::ReadOnly);
        joined += f.readAll();
    }
    QFile out(path);
    out.open(QIODevice::WriteOnly);
    out.write(joined);
    return path;
}

QString Hd720Mp4()
{
    return make(QStringLiteral("hd720.mp4"),
                {"-f", "lavfi", "-i", "testsrc2=s=1280x720:r=30:d=8", "-f", "lavfi", "-i", "sine=frequency=440:d=8",
                 "-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p", "-c:a", "aac", "-movflags",
                 "+faststart", "-shortest"});
}

QString AudioOnly()
{
    return make(QStringLiteral("tone.mp3"),
                {"-f", "lavfi", "-i", "sine=frequency=660:d=3", "-c:a", "libmp3lame", "-b:a", "64k"});
}

QString LiveAudio()
{
    // Without a Xing header its length is known only from its size: served without one, it is
    // a live stream.
    return make(QStringLiteral("live.mp3"), {"-f", "lavfi", "-i", "sine=frequency=440:d=2", "-c:a", "libmp3lame",
                                             "-b:a", "64k", "-write_xing", "0", "-id3v2_version", "0"});
}

TestHttpServer::Reply LiveAudioReply()
{
    QFile f(LiveAudio());
    if (!f.open(QIODevice::ReadOnly))
        qFatal("no live.mp3");
    const QByteArray mp3 = f.readAll();
    TestHttpServer::Reply live;
    const qsizetype piece = mp3.size() / 10 + 1;
    live.raw = "HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n" + mp3.left(piece);
    for (qsizetype at = piece; at < mp3.size(); at += piece)
        live.pieces.append(mp3.mid(at, piece));
    live.pieceDelayMs = 150;
    return live;
}

QString RadioAudio()
{
    return make(QStringLiteral("radio.mp3"), {"-f", "lavfi", "-i", "sine=frequency=440:d=40", "-c:a", "libmp3lame",
                                              "-b:a", "64k", "-write_xing", "0", "-id3v2_version", "0"});
}

QString RealMedia()
{
    return make(QStringLiteral("clip.rm"),
                videoInputs(QStringLiteral("3")) + QStringList{"-c:v", "rv10", "-c:a", "ac3", "-f", "rm", "-shortest"});
}

QString RandomBytes()
{
    const QString path = dir().filePath(QStringLiteral("noise.mp4"));
    if (!QFile::exists(path)) {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(NoiseBytes(64 * 1024));
    }
    return path;
}

bool Alike(const QColor &a, const QColor &b, int tolerance)
{
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance &&
           qAbs(a.blue() - b.blue()) <= tolerance;
}

} // namespace Media
