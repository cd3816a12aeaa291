#include "PlaylistReader.h"

#include "base/Errors.h"
#include "base/NetworkScope.h"
#include "base/OutsideText.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QStringDecoder>
#include <QUrl>

#include <algorithm>

namespace {

// A tvg-shift as kept: hours between -24 and 24 (fractions too), else nothing.
QString shiftText(const QString &value)
{
    bool ok = false;
    const double hours = value.trimmed().toDouble(&ok);
    return ok && hours >= -24 && hours <= 24 && hours != 0 ? QString::number(hours) : QString();
}

// The guides a playlist's header names, each once, without what could be no guide address.
QStringList guideAddresses(const QMap<QString, QString> &attributes)
{
    QStringList out;
    for (const char *name : {"url-tvg", "x-tvg-url", "tvg-url"}) {
        for (const QString &part : attributes.value(QString::fromLatin1(name)).split(u',', Qt::SkipEmptyParts)) {
            const QString address = outside::Clean(part, outside::kAddress + 1);
            const QUrl url(address);
            const bool usable = address.size() <= outside::kAddress &&
                                (url.scheme() == u"http" || url.scheme() == u"https" || address.startsWith(u'/'));
            if (usable && !out.contains(address) && out.size() < 8)
                out.append(address);
        }
    }
    return out;
}

bool startsWith(QStringView line, QLatin1StringView what)
{
    return line.startsWith(what, Qt::CaseInsensitive);
}

bool hasScheme(QStringView line)
{
    const qsizetype sep = line.indexOf(QLatin1StringView("://"));
    if (sep <= 0)
        return false;
    for (qsizetype i = 0; i < sep; ++i) {
        const QChar c = line[i];
        if (!(c.isLetterOrNumber() || c == u'+' || c == u'-' || c == u'.') || c.unicode() > 0x7F)
            return false;
    }
    return line[0].isLetter();
}

QString lastSegment(const QString &address)
{
    QString s = address;
    if (const qsizetype q = s.indexOf(u'?'); q >= 0)
        s.truncate(q);
    while (s.endsWith(u'/'))
        s.chop(1);
    const qsizetype slash = qMax(s.lastIndexOf(u'/'), s.lastIndexOf(u'\\'));
    return slash >= 0 ? s.mid(slash + 1) : s;
}

// key=value pairs of a directive: double, single or no quotes; keys in lower case.
QMap<QString, QString> attributesOf(QStringView text, qsizetype *end = nullptr)
{
    QMap<QString, QString> out;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        while (i < n && text[i].isSpace())
            ++i;
        if (i >= n || text[i] == u',')
            break;
        const qsizetype keyStart = i;
        while (i < n && text[i] != u'=' && !text[i].isSpace() && text[i] != u',')
            ++i;
        const QString key = text.mid(keyStart, i - keyStart).toString().toLower();
        if (i >= n || text[i] != u'=') {
            // A word without a value (the duration, or junk): passed over.
            continue;
        }
        ++i;
        QString value;
        if (i < n && (text[i] == u'"' || text[i] == u'\'')) {
            const QChar quote = text[i++];
            const qsizetype close = text.indexOf(quote, i);
            const qsizetype stop = close < 0 ? n : close;
            value = text.mid(i, stop - i).toString();
            i = close < 0 ? n : close + 1;
        } else {
            const qsizetype valueStart = i;
            while (i < n && !text[i].isSpace() && text[i] != u',')
                ++i;
            value = text.mid(valueStart, i - valueStart).toString();
        }
        if (!key.isEmpty())
            out.insert(key, value.trimmed());
    }
    if (end)
        *end = i;
    return out;
}

struct Pending
{
    PlaylistEntry entry;
    bool info = false; // an #EXTINF came
    QString group;     // from #EXTGRP
};

void parseExtinf(QStringView body, Pending *pending)
{
    PlaylistEntry &e = pending->entry;
    // The duration, then attributes up to the first comma outside quotes, then the title.
    qsizetype i = 0;
    while (i < body.size() && !body[i].isSpace() && body[i] != u',')
        ++i;
    bool ok = false;
    const double duration = body.first(i).toDouble(&ok);
    if (ok)
        e.duration = duration;
    qsizetype end = 0;
    const QMap<QString, QString> a = attributesOf(body.sliced(i), &end);
    end += i;
    const QStringView title = end < body.size() && body[end] == u',' ? body.sliced(end + 1) : QStringView();
    e.name = title.trimmed().toString();
    e.tvgId = a.value(QStringLiteral("tvg-id"));
    e.tvgName = a.value(QStringLiteral("tvg-name"));
    e.logo = a.value(QStringLiteral("tvg-logo"));
    e.number = a.value(QStringLiteral("tvg-chno"));
    e.country = a.value(QStringLiteral("tvg-country"));
    e.tvgShift = shiftText(a.value(QStringLiteral("tvg-shift")));
    e.group = a.value(QStringLiteral("group-title")).section(u';', 0, 0).trimmed();
    e.radio = a.value(QStringLiteral("radio")).compare(u"true", Qt::CaseInsensitive) == 0;
    if (const QString ua = a.value(QStringLiteral("user-agent")); !ua.isEmpty())
        e.userAgent = ua;
    pending->info = true;
}

// A header value with a line break or a NUL in it would add headers of its own: refused.
void keepHeaderIfSafe(QString &value)
{
    if (!outside::IsHeaderSafe(value))
        value.clear();
}

// False for an entry to drop: its address is longer than any real one.
bool completeEntry(PlaylistEntry &e, const QString &group)
{
    if (e.address.size() > outside::kAddress)
        return false;
    if (e.group.isEmpty())
        e.group = group;
    if (e.name.isEmpty())
        e.name = !e.tvgName.isEmpty() ? e.tvgName : lastSegment(e.address);
    for (QString *text : {&e.name, &e.group, &e.tvgId, &e.tvgName, &e.number, &e.country})
        *text = outside::Clean(*text, outside::kName);
    if (e.logo.size() > outside::kAddress)
        e.logo.clear();
    for (QString *value : {&e.userAgent, &e.referrer, &e.cookie})
        keepHeaderIfSafe(*value);
    return true;
}

// Whether a line marks an HLS playlist: then the playlist is one stream, not a list.
bool isHlsLine(QStringView l)
{
    return startsWith(l, QLatin1StringView("#EXT-X-TARGETDURATION")) ||
           startsWith(l, QLatin1StringView("#EXT-X-STREAM-INF")) ||
           startsWith(l, QLatin1StringView("#EXT-X-MEDIA-SEQUENCE"));
}

// How much of a file's start is looked at to tell text from other bytes.
constexpr qsizetype kTextSample = 64 * 1024;

} // namespace

struct PlaylistScanner::State
{
    QString address;
    QUrl base;
    Sink sink;
    enum class Kind { Unknown, M3u, Pls } kind = Kind::Unknown;
    bool hls = false;
    bool started = false; // the byte order mark is looked for once
    QByteArray partial;   // a line not ended yet
    qsizetype sampled = 0;
    qsizetype controls = 0;
    QStringDecoder utf8{QStringDecoder::Utf8, QStringDecoder::Flag::Stateless};
    Pending pending;
    QMap<int, PlaylistEntry> pls;
    Summary summary;
    QString headerShift; // the header's tvg-shift, for channels without their own

    void emitEntry(PlaylistEntry &&e)
    {
        if (!address.isEmpty() && !hasScheme(e.address))
            e.address = base.resolved(QUrl(e.address)).toString();
        ++summary.entries;
        if (!hls)
            sink(std::move(e));
    }
    void line(QByteArrayView bytes);
    void m3uLine(QStringView line);
    void plsLine(QStringView line);
};

void PlaylistScanner::State::line(QByteArrayView bytes)
{
    // Old lists come in Latin-1: a line that is not UTF-8 is read as that.
    QString text = utf8(bytes);
    if (utf8.hasError()) {
        utf8.resetState();
        text = QString::fromLatin1(bytes);
    }
    const QStringView l = QStringView(text).trimmed();
    if (l.isEmpty())
        return;
    if (isHlsLine(l))
        hls = true;
    if (kind == Kind::Unknown)
        kind = l.compare(u"[playlist]", Qt::CaseInsensitive) == 0 ? Kind::Pls : Kind::M3u;
    if (kind == Kind::Pls)
        plsLine(l);
    else
        m3uLine(l);
}

void PlaylistScanner::State::m3uLine(QStringView line)
{
    if (line.startsWith(u'#')) {
        if (startsWith(line, QLatin1StringView("#EXTINF:"))) {
            const QString ua = pending.entry.userAgent, referrer = pending.entry.referrer,
                          cookie = pending.entry.cookie;
            pending.entry = PlaylistEntry();
            // Options given before the #EXTINF belong to the same entry.
            pending.entry.userAgent = ua;
            pending.entry.referrer = referrer;
            pending.entry.cookie = cookie;
            parseExtinf(line.sliced(8), &pending);
            if (pending.entry.tvgShift.isEmpty())
                pending.entry.tvgShift = headerShift;
        } else if (startsWith(line, QLatin1StringView("#EXTM3U"))) {
            const QMap<QString, QString> a = attributesOf(line.sliced(7));
            summary.guides = guideAddresses(a);
            headerShift = shiftText(a.value(QStringLiteral("tvg-shift")));
        } else if (startsWith(line, QLatin1StringView("#EXTGRP:"))) {
            pending.group = line.sliced(8).trimmed().toString();
        } else if (startsWith(line, QLatin1StringView("#EXTVLCOPT:"))) {
            const QStringView option = line.sliced(11).trimmed();
            const qsizetype eq = option.indexOf(u'=');
            const QString key = option.first(qMax<qsizetype>(eq, 0)).trimmed().toString().toLower();
            QString value = eq < 0 ? QString() : option.sliced(eq + 1).trimmed().toString();
            // Quoted as attributes are: the quotes are not part of it.
            if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
                value = value.sliced(1, value.size() - 2);
            if (key == u"http-user-agent")
                pending.entry.userAgent = value;
            else if (key == u"http-referrer" || key == u"http-referer")
                pending.entry.referrer = value;
        } else if (startsWith(line, QLatin1StringView("#EXTHTTP:"))) {
            // Header names, whatever their case ("User-Agent", "cookie").
            const QJsonObject o = QJsonDocument::fromJson(line.sliced(9).toUtf8()).object();
            for (auto it = o.begin(); it != o.end(); ++it) {
                const QString name = it.key().toLower();
                if (name == u"cookie")
                    pending.entry.cookie = it.value().toString();
                else if (name == u"user-agent" && !it.value().toString().isEmpty())
                    pending.entry.userAgent = it.value().toString();
                else if ((name == u"referer" || name == u"referrer") && !it.value().toString().isEmpty())
                    pending.entry.referrer = it.value().toString();
            }
        }
        return; // unknown directives and comments
    }
    // An address: after #EXTINF any line; alone only one with a scheme (so that text which
    // is no playlist makes no channels).
    if (!pending.info && !hasScheme(line))
        return;
    PlaylistEntry e = std::move(pending.entry);
    e.address = line.toString();
    if (completeEntry(e, pending.group))
        emitEntry(std::move(e));
    pending = Pending();
}

void PlaylistScanner::State::plsLine(QStringView line)
{
    const qsizetype eq = line.indexOf(u'=');
    if (eq <= 0)
        return;
    const QStringView key = line.first(eq).trimmed();
    const QString value = line.sliced(eq + 1).trimmed().toString();
    for (const auto &[prefix, field] :
         {std::pair{QLatin1StringView("File"), 0}, std::pair{QLatin1StringView("Title"), 1},
          std::pair{QLatin1StringView("Length"), 2}}) {
        if (!key.startsWith(prefix, Qt::CaseInsensitive))
            continue;
        bool ok = false;
        const int n = key.sliced(prefix.size()).toInt(&ok);
        if (!ok)
            continue;
        PlaylistEntry &e = pls[n];
        if (field == 0)
            e.address = value;
        else if (field == 1)
            e.name = value;
        else
            e.duration = value.toDouble();
    }
}

PlaylistScanner::PlaylistScanner(const QString &address, Sink sink) : m(std::make_unique<State>())
{
    m->address = address;
    m->base = QUrl(address);
    m->sink = std::move(sink);
}

PlaylistScanner::~PlaylistScanner() = default;

void PlaylistScanner::feed(QByteArrayView bytes)
{
    if (!m->started && !bytes.isEmpty()) {
        m->started = true;
        if (bytes.startsWith("\xEF\xBB\xBF"))
            bytes = bytes.sliced(3);
    }
    if (bytes.contains('\0'))
        throw ZError(QStringLiteral("The file is not a playlist (it is not text)."));
    // Text, or not: few control characters in its start (titles do carry stray ones).
    for (qsizetype i = 0; i < bytes.size() && m->sampled < kTextSample; ++i, ++m->sampled) {
        const uchar c = uchar(bytes[i]);
        m->controls += c < 0x20 && c != '\t' && c != '\n' && c != '\r';
    }
    if (m->sampled == kTextSample && m->controls * 20 > m->sampled)
        throw ZError(QStringLiteral("The file is not a playlist (it is not text)."));
    // CR, LF and CR LF all end a line: the empty line between a CR and its LF is passed over
    // like any blank line.
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c != '\n' && c != '\r')
            continue;
        if (m->partial.isEmpty()) {
            m->line(bytes.sliced(start, i - start));
        } else {
            m->partial += bytes.sliced(start, i - start);
            m->line(m->partial);
            m->partial.clear();
        }
        start = i + 1;
    }
    m->partial += bytes.sliced(start);
}

PlaylistScanner::Summary PlaylistScanner::finish()
{
    if (!m->partial.isEmpty()) {
        m->line(m->partial);
        m->partial.clear();
    }
    if (m->sampled < kTextSample && m->controls * 20 > m->sampled)
        throw ZError(QStringLiteral("The file is not a playlist (it is not text)."));
    for (PlaylistEntry &e : m->pls) {
        if (!e.address.isEmpty() && completeEntry(e, {}))
            m->emitEntry(std::move(e));
    }
    m->pls.clear();
    Summary out = m->summary;
    if (m->hls) {
        // Segments or variants of one stream: the stream itself is the one entry.
        if (m->address.isEmpty())
            throw ZError(QStringLiteral("The file is an HLS stream, not a list of channels."));
        out.hls = true;
        out.entries = 0;
        PlaylistEntry e;
        e.address = m->address;
        if (completeEntry(e, {})) {
            out.entries = 1;
            out.hlsEntry = e;
        }
    }
    if (out.entries == 0)
        throw ZError(QStringLiteral("The playlist holds no channel (no entry with an address)."));
    return out;
}
bool IsWebAddress(const QString &source)
{
    return source.startsWith(QLatin1StringView("http://"), Qt::CaseInsensitive) ||
           source.startsWith(QLatin1StringView("https://"), Qt::CaseInsensitive);
}

QStringList GuidesOfWebList(const QStringList &guides)
{
    QStringList out;
    for (const QString &g : guides) {
        if (IsWebAddress(g) && netscope::WebListRefusal(QUrl(g)).isEmpty())
            out.append(g);
    }
    return out;
}

Playlist ReadPlaylist(const QByteArray &bytes, const QString &address)
{
    if (bytes.size() > kMaxPlaylistSize)
        throw ZError(QStringLiteral("The playlist is larger than %1 MiB.").arg(kMaxPlaylistSize >> 20));
    Playlist out;
    PlaylistScanner scanner(address, [&out](PlaylistEntry &&e) { out.entries.append(std::move(e)); });
    scanner.feed(bytes);
    const PlaylistScanner::Summary summary = scanner.finish();
    out.guides = summary.guides;
    if (summary.hls)
        out.entries = {summary.hlsEntry};
    return out;
}
