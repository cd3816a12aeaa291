#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

struct XmltvChannel
{
    QString id;
    QStringList names; // display-name, every language
    QString icon;
};

// What a guide says of a programme.
struct ProgrammeInfo
{
    qint64 start = 0;
    qint64 stop = 0; // 0: the guide gave none
    QString title;
    QString subTitle;
    QString description;
    QStringList categories;
    QString episode;
    QString icon;
    QString rating;
};

struct XmltvProgramme : ProgrammeInfo
{
    QString channel; // the guide channel's id
};

// Reads XMLTV as it comes, a piece at a time, without holding the document: each channel and
// programme goes to its handler once complete. Of texts given in several languages it keeps the
// first, unless a later one is in `language` (the user's, as "de"). Outside text is cleaned and
// capped. Declared entities are refused and nothing outside the document is ever fetched.
// (libxml2's push parser: twice as fast as expat and three times QXmlStreamReader on guides.)
class XmltvReader
{
public:
    struct Handlers
    {
        std::function<void(XmltvChannel &&)> channel;
        // Whether the programmes of a channel (its XMLTV id) are wanted at all; null: all are.
        std::function<bool(const QByteArray &channel)> wants;
        std::function<void(XmltvProgramme &&)> programme;
    };
    struct Counts
    {
        qint64 channels = 0;
        qint64 programmes = 0; // handed on
        qint64 badTimes = 0;   // no start, a time that is none, or a stop before the start
        qint64 outside = 0;    // of unwanted channels, or outside the window
    };

    XmltvReader(Handlers handlers, const QString &language);
    ~XmltvReader();

    // Programmes that end before `from` or start after `to` (Unix seconds) are passed over.
    void setWindow(qint64 from, qint64 to);
    // False once the document is found bad (see error()); `last` with the final piece.
    bool feed(const char *data, qsizetype size, bool last);
    // Where and why the document was found bad: "line 12, column 3: mismatched tag".
    QString error() const;
    const Counts &counts() const;
    // Whether the root element was <tv> (false before it is read).
    bool isXmltv() const;

    static constexpr qsizetype kDescription = 4096;

private:
    struct State;
    std::unique_ptr<State> m;
};
