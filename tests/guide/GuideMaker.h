#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>

// Small XMLTV guides, and their packed forms, for tests.
namespace GuideMaker {

inline QByteArray Channel(const char *id, const char *name)
{
    return QByteArray("  <channel id=\"") + id + "\"><display-name>" + name + "</display-name></channel>\n";
}

inline QByteArray Programme(const char *channel, const QByteArray &start, const char *stop, const char *title)
{
    QByteArray p = QByteArray("  <programme channel=\"") + channel + "\" start=\"" + start + '"';
    if (*stop)
        p += QByteArray(" stop=\"") + stop + '"';
    return p + "><title>" + title + "</title></programme>\n";
}

inline QByteArray Tv(const QByteArray &body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE tv SYSTEM \"xmltv.dtd\">\n<tv>\n" + body + "</tv>\n";
}

// `bytes` through gzip or xz, as the tools of the same names write them.
inline QByteArray Packed(const char *tool, const QByteArray &bytes)
{
    QProcess p;
    p.start(QString::fromLatin1(tool), {QStringLiteral("-c")});
    p.write(bytes);
    p.closeWriteChannel();
    p.waitForFinished(60000);
    return p.readAllStandardOutput();
}

} // namespace GuideMaker
