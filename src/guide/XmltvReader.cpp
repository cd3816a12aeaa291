#include "XmltvReader.h"

#include "XmltvTime.h"
#include "base/OutsideText.h"

#include <libxml/parser.h>

#include <libxml/SAX2.h>

#include <cstring>
#include <limits>

namespace {

enum class Field { None, DisplayName, Title, SubTitle, Description, Category, Episode, Rating };

// Which element's text is being gathered, and where it goes.
struct Text
{
    QByteArray *into = nullptr;
    Field field = Field::None;
};

const char *attribute(const xmlChar **attributes, const char *name)
{
    for (int i = 0; attributes && attributes[i]; i += 2) {
        if (std::strcmp(reinterpret_cast<const char *>(attributes[i]), name) == 0)
            return reinterpret_cast<const char *>(attributes[i + 1]);
    }
    return nullptr;
}

} // namespace

struct XmltvReader::State
{
    Handlers handlers;
    QByteArray language;
    xmlParserCtxtPtr parser = nullptr;
    xmlSAXHandler sax{};
    Counts counts;
    QString error;
    bool root = false;
    bool xmltv = false;
    bool reported = false; // error() says where
    qint64 from = std::numeric_limits<qint64>::min();
    qint64 to = std::numeric_limits<qint64>::max();

    // The channel or programme being read.
    enum { Outside, InChannel, InProgramme, Skipping } where = Outside;
    int depth = 0; // below the channel or programme element
    XmltvChannel channel;
    XmltvProgramme programme;
    QByteArray title, subTitle, description, episode, rating;
    bool titlePreferred = false, subTitlePreferred = false, descriptionPreferred = false;
    int episodeRank = -1;
    bool inRating = false;
    QList<QByteArray> categories;
    Text text;
    QByteArray gathered;
    bool gathering = false;
    int gatherDepth = 0; // of the element whose text is gathered (markup inside it is text)

    bool isPreferred(const xmlChar **attributes) const
    {
        const char *lang = attribute(attributes, "lang");
        return lang && !language.isEmpty() && QByteArrayView(lang).startsWith(language);
    }

    // A text in several languages: the first, or a later one in the user's language.
    void gatherLocalised(QByteArray *into, bool *preferred, const xmlChar **attributes)
    {
        const bool mine = isPreferred(attributes);
        if (into->isEmpty() || (mine && !*preferred)) {
            text = {into, Field::None};
            *preferred = mine;
            gather();
        }
    }
    void gather()
    {
        gathering = true;
        gatherDepth = depth;
        gathered.clear();
    }

    void start(const char *name, const xmlChar **attributes)
    {
        if (!root) {
            root = true;
            xmltv = std::strcmp(name, "tv") == 0;
            if (!xmltv)
                stop("the document is no XMLTV guide (its root is not <tv>)");
            return;
        }
        if (where == Skipping) {
            ++depth;
            return;
        }
        if (where == Outside) {
            if (std::strcmp(name, "channel") == 0) {
                where = InChannel;
                depth = 0;
                channel = {};
                const char *id = attribute(attributes, "id");
                channel.id = outside::CleanUtf8(id ? id : "", outside::kName);
            } else if (std::strcmp(name, "programme") == 0) {
                depth = 0;
                where = beginProgramme(attributes) ? InProgramme : Skipping;
            } else {
                where = Skipping;
                depth = 0;
            }
            return;
        }
        ++depth;
        if (where == InChannel) {
            if (depth == 1 && std::strcmp(name, "display-name") == 0) {
                text = {nullptr, Field::DisplayName};
                gather();
            } else if (depth == 1 && std::strcmp(name, "icon") == 0 && channel.icon.isEmpty()) {
                const char *src = attribute(attributes, "src");
                channel.icon = outside::CleanUtf8(src ? src : "", outside::kAddress);
            }
            return;
        }
        // A programme's children.
        if (depth == 1) {
            if (std::strcmp(name, "title") == 0)
                gatherLocalised(&title, &titlePreferred, attributes);
            else if (std::strcmp(name, "sub-title") == 0)
                gatherLocalised(&subTitle, &subTitlePreferred, attributes);
            else if (std::strcmp(name, "desc") == 0)
                gatherLocalised(&description, &descriptionPreferred, attributes);
            else if (std::strcmp(name, "category") == 0 && categories.size() < 8) {
                text = {nullptr, Field::Category};
                gather();
            } else if (std::strcmp(name, "episode-num") == 0) {
                // What a viewer reads ("S01E02") before the machine's form.
                const char *system = attribute(attributes, "system");
                const int rank = system && std::strcmp(system, "onscreen") == 0 ? 2 : 1;
                if (rank > episodeRank) {
                    episodeRank = rank;
                    text = {&episode, Field::Episode};
                    gather();
                }
            } else if (std::strcmp(name, "icon") == 0 && programme.icon.isEmpty()) {
                const char *src = attribute(attributes, "src");
                programme.icon = outside::CleanUtf8(src ? src : "", outside::kAddress);
            } else if (std::strcmp(name, "rating") == 0 && rating.isEmpty()) {
                inRating = true;
            }
        } else if (depth == 2 && inRating && std::strcmp(name, "value") == 0) {
            text = {&rating, Field::Rating};
            gather();
        }
    }

    bool beginProgramme(const xmlChar **attributes)
    {
        programme = {};
        title.clear();
        subTitle.clear();
        description.clear();
        episode.clear();
        rating.clear();
        categories.clear();
        titlePreferred = subTitlePreferred = descriptionPreferred = false;
        episodeRank = -1;
        inRating = false;
        const char *channelId = attribute(attributes, "channel");
        const char *startText = attribute(attributes, "start");
        const char *stopText = attribute(attributes, "stop");
        if (!channelId || !startText) {
            ++counts.badTimes;
            return false;
        }
        if (handlers.wants && !handlers.wants(QByteArray(channelId))) {
            ++counts.outside;
            return false;
        }
        const std::optional<qint64> startAt = ParseXmltvTime(startText);
        const std::optional<qint64> stopAt = stopText ? ParseXmltvTime(stopText) : std::optional<qint64>(0);
        if (!startAt || !stopAt || (*stopAt != 0 && *stopAt <= *startAt)) {
            ++counts.badTimes;
            return false;
        }
        if ((*stopAt != 0 && *stopAt <= from) || *startAt > to) {
            ++counts.outside;
            return false;
        }
        programme.channel = outside::CleanUtf8(channelId, outside::kName);
        programme.start = *startAt;
        programme.stop = *stopAt;
        return true;
    }

    void end(const char *name)
    {
        if (!root)
            return;
        if (where == Outside)
            return; // </tv>
        if (depth > 0) {
            if (gathering && depth == gatherDepth)
                finishText();
            if (depth == 1 && where == InProgramme && std::strcmp(name, "rating") == 0)
                inRating = false;
            --depth;
            return;
        }
        if (where == InChannel) {
            ++counts.channels;
            if (handlers.channel && !channel.id.isEmpty())
                handlers.channel(std::move(channel));
        } else if (where == InProgramme) {
            programme.title = outside::CleanUtf8(title, outside::kTitle);
            programme.subTitle = outside::CleanUtf8(subTitle, outside::kTitle);
            programme.description = outside::CleanUtf8(description, kDescription);
            programme.episode = outside::CleanUtf8(episode, outside::kName);
            programme.rating = outside::CleanUtf8(rating, outside::kName);
            for (const QByteArray &c : std::as_const(categories))
                programme.categories.append(outside::CleanUtf8(c, outside::kName));
            ++counts.programmes;
            if (handlers.programme)
                handlers.programme(std::move(programme));
        }
        where = Outside;
    }

    void finishText()
    {
        gathering = false;
        switch (text.field) {
        case Field::DisplayName:
            if (channel.names.size() < 16) {
                if (const QString name = outside::CleanUtf8(gathered, outside::kName); !name.isEmpty())
                    channel.names.append(name);
            }
            break;
        case Field::Category:
            categories.append(gathered);
            break;
        default:
            if (text.into)
                *text.into = gathered;
            break;
        }
        text = {};
    }

    void characters(const char *data, int size)
    {
        // Only what is kept is gathered, and never more than it is kept at.
        if (gathering && gathered.size() < kDescription * 4)
            gathered.append(data, qMin<qsizetype>(size, kDescription * 4 - gathered.size()));
    }

    void stop(const char *why)
    {
        if (error.isEmpty())
            error = QString::fromUtf8(why);
        xmlStopParser(parser);
    }
};

XmltvReader::XmltvReader(Handlers handlers, const QString &language) : m(std::make_unique<State>())
{
    m->handlers = std::move(handlers);
    m->language = language.left(2).toLower().toUtf8();
    xmlInitParser();
    // SAX1 callbacks: names and attribute values as C strings, as the reader wants them.
    m->sax.startElement = [](void *self, const xmlChar *name, const xmlChar **attributes) {
        static_cast<State *>(self)->start(reinterpret_cast<const char *>(name), attributes);
    };
    m->sax.endElement = [](void *self, const xmlChar *name) {
        static_cast<State *>(self)->end(reinterpret_cast<const char *>(name));
    };
    m->sax.characters = [](void *self, const xmlChar *data, int size) {
        static_cast<State *>(self)->characters(reinterpret_cast<const char *>(data), size);
    };
    m->sax.entityDecl = [](void *self, const xmlChar *, int, const xmlChar *, const xmlChar *, xmlChar *) {
        // An entity could make a few bytes into gigabytes: guides have no need of them.
        static_cast<State *>(self)->stop("the guide declares entities of its own, which are not read");
    };
    m->parser = xmlCreatePushParserCtxt(&m->sax, m.get(), nullptr, 0, nullptr);
    // Never the network, never an external DTD, no messages on the terminal.
    xmlCtxtUseOptions(m->parser, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
}

XmltvReader::~XmltvReader()
{
    if (m->parser) {
        xmlFreeDoc(m->parser->myDoc);
        xmlFreeParserCtxt(m->parser);
    }
}

void XmltvReader::setWindow(qint64 from, qint64 to)
{
    m->from = from;
    m->to = to;
}

bool XmltvReader::feed(const char *data, qsizetype size, bool last)
{
    if (!m->error.isEmpty() && m->reported)
        return false;
    while (size > 0 || last) {
        const int piece = int(qMin<qsizetype>(size, 1 << 30));
        const bool final = last && piece == size;
        const int failed = xmlParseChunk(m->parser, data, piece, final ? 1 : 0);
        if (failed != 0 || !m->error.isEmpty()) {
            const xmlError *e = xmlCtxtGetLastError(m->parser);
            QString why = m->error;
            if (why.isEmpty() && e && e->message)
                why = QString::fromUtf8(e->message).trimmed();
            m->error = QStringLiteral("line %1, column %2: %3")
                           .arg(e ? e->line : xmlSAX2GetLineNumber(m->parser))
                           .arg(e ? qMax(1, e->int2) : xmlSAX2GetColumnNumber(m->parser))
                           .arg(why);
            m->reported = true;
            return false;
        }
        data += piece;
        size -= piece;
        if (final)
            break;
    }
    if (last && !m->xmltv) {
        m->error = QStringLiteral("the document is no XMLTV guide");
        m->reported = true;
        return false;
    }
    return true;
}

QString XmltvReader::error() const
{
    return m->error;
}

const XmltvReader::Counts &XmltvReader::counts() const
{
    return m->counts;
}

bool XmltvReader::isXmltv() const
{
    return m->xmltv;
}
