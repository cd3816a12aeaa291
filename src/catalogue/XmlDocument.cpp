#include "XmlDocument.h"

#include "base/Errors.h"

#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringDecoder>
#include <cstring>

QString XmlNode::localName() const
{
    const char *name = m_node.name();
    const char *colon = std::strrchr(name, ':');
    return QString::fromUtf8(colon ? colon + 1 : name);
}

QList<XmlNode> XmlNode::childNodes() const
{
    QList<XmlNode> out;
    for (pugi::xml_node c = m_node.first_child(); c; c = c.next_sibling()) {
        if (c.type() == pugi::node_element)
            out.append(XmlNode(c));
    }
    return out;
}

int XmlNode::childCount() const
{
    int n = 0;
    for (pugi::xml_node c = m_node.first_child(); c; c = c.next_sibling())
        n += c.type() == pugi::node_element;
    return n;
}

XmlNode XmlNode::child(int index) const
{
    if (index < 0)
        return {};
    for (pugi::xml_node c = m_node.first_child(); c; c = c.next_sibling()) {
        if (c.type() == pugi::node_element && index-- == 0)
            return XmlNode(c);
    }
    return {};
}

std::optional<QString> XmlNode::attribute(const char *name) const
{
    const pugi::xml_attribute a = m_node.attribute(name);
    if (!a)
        return std::nullopt;
    return QString::fromUtf8(a.value());
}

bool XmlNode::hasAttribute(const char *name) const
{
    return bool(m_node.attribute(name));
}

QString XmlNode::text(const char *name) const
{
    const pugi::xml_attribute a = m_node.attribute(name);
    if (!a)
        throw ZError(QStringLiteral("The channel \"%1\" has no attribute %2.")
                         .arg(QString::fromUtf8(m_node.attribute("ChannelName").value()), QString::fromUtf8(name)));
    return QString::fromUtf8(a.value());
}

QList<QPair<QString, QString>> XmlNode::attributes() const
{
    QList<QPair<QString, QString>> out;
    for (pugi::xml_attribute a = m_node.first_attribute(); a; a = a.next_attribute())
        out.append({QString::fromUtf8(a.name()), QString::fromUtf8(a.value())});
    return out;
}

void XmlNode::setAttribute(const char *name, const QString &value)
{
    pugi::xml_attribute a = m_node.attribute(name);
    if (!a)
        a = m_node.append_attribute(name);
    a.set_value(value.toUtf8().constData());
}

XmlNode XmlNode::appendChild(const QString &name)
{
    return XmlNode(m_node.append_child(name.toUtf8().constData()));
}

bool XmlNode::deleteChild(int index)
{
    const XmlNode c = child(index);
    return !c.isNull() && m_node.remove_child(c.m_node);
}

XmlNode XmlNode::fromOpaque(void *handle)
{
    return XmlNode(pugi::xml_node(static_cast<pugi::xml_node_struct *>(handle)));
}

namespace {

struct Detected
{
    XmlDocument::Encoding encoding;
    pugi::xml_encoding pugi;
    QByteArray converter; // another declared encoding: its name, read through Qt's converters
};

// The encoding of a document from its byte order mark, its first bytes and its declaration.
Detected detectEncoding(const QByteArray &bytes)
{
    using E = XmlDocument::Encoding;
    const auto b = [&](int n) {
        return n < bytes.size() ? std::uint8_t(bytes[n]) : 0xFFu;
    };
    bool wide = false;
    pugi::xml_encoding wideKind = pugi::encoding_utf16_le;
    if (b(0) == 0xFF && b(1) == 0xFE) {
        wide = true;
    } else if (b(0) == 0xFE && b(1) == 0xFF) {
        wide = true;
        wideKind = pugi::encoding_utf16_be;
    } else if (bytes.size() >= 2) {
        // 16-bit text without a byte order mark: a document starts with ASCII (blanks, '<'),
        // so its first characters have one zero byte each, on the same side.
        const int n = int(qMin<qsizetype>(bytes.size() / 2, 8));
        int zeroHigh = 0, zeroLow = 0;
        for (int i = 0; i < n; ++i) {
            const bool lo0 = b(2 * i) == 0, hi0 = b(2 * i + 1) == 0;
            zeroHigh += !lo0 && hi0;
            zeroLow += lo0 && !hi0;
        }
        if (zeroHigh == n) {
            wide = true;
        } else if (zeroLow == n) {
            wide = true;
            wideKind = pugi::encoding_utf16_be;
        }
    }

    // The declaration, read in the document's own width.
    QString head;
    if (wide) {
        QStringDecoder dec(wideKind == pugi::encoding_utf16_le ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        head = dec(bytes.left(400));
    } else {
        head = QString::fromLatin1(bytes.left(200));
    }
    if (head.startsWith(QChar(0xFEFF)))
        head.remove(0, 1);
    if (head.startsWith(QStringLiteral("\xEF\xBB\xBF")))
        head.remove(0, 3);
    static const QRegularExpression decl(QStringLiteral("^<\\?xml\\s[^>]*?encoding\\s*=\\s*[\"']([^\"']*)[\"']"));
    const QRegularExpressionMatch m = decl.match(head);
    const QString declared = m.hasMatch() ? m.captured(1).trimmed().toLower() : QString();

    if (wide) {
        if (declared.isEmpty() || declared == u"utf-16" || declared == u"utf-16le" || declared == u"utf-16be" ||
            declared == u"unicode")
            return {E::Utf16, wideKind, {}};
        throw ZError(QStringLiteral("The document is 16-bit text but declares the encoding %1.").arg(declared));
    }
    if (declared.isEmpty() || declared == u"utf-8" || declared == u"utf8")
        return {E::Utf8, pugi::encoding_utf8, {}};
    if (declared == u"iso-8859-1" || declared == u"latin1" || declared == u"iso_8859-1" || declared == u"l1")
        return {E::Latin1, pugi::encoding_latin1, {}};
    if (declared == u"us-ascii" || declared == u"ascii")
        return {E::Ascii, pugi::encoding_utf8, {}};
    // Any other encoding Qt knows (windows-1252, ISO-8859-15, ...): read through its converter.
    if (QStringDecoder(declared.toLatin1().constData()).isValid())
        return {E::Utf8, pugi::encoding_utf8, declared.toLatin1()};
    throw ZError(QStringLiteral("The document's encoding %1 is not supported.").arg(declared));
}

// UTF-8 text to a single-byte encoding; characters beyond it become character references,
// which a single-byte document may hold in attribute values and text.
QByteArray narrowUtf8(const QByteArray &utf8, uint maxCode)
{
    const QString text = QString::fromUtf8(utf8);
    QByteArray out;
    out.reserve(utf8.size());
    for (auto it = text.cbegin(); it != text.cend(); ++it) {
        uint code = it->unicode();
        if (it->isHighSurrogate() && it + 1 != text.cend() && (it + 1)->isLowSurrogate()) {
            code = QChar::surrogateToUcs4(*it, *(it + 1));
            ++it;
        }
        if (code <= maxCode)
            out.append(char(code));
        else
            out.append("&#" + QByteArray::number(code) + ';');
    }
    return out;
}

} // namespace

void XmlDocument::close()
{
    m_doc.reset();
    m_active = false;
    m_encoding = Encoding::Utf8;
}

void XmlDocument::open()
{
    close();
    if (m_fileName.isEmpty())
        throw ZError(QStringLiteral("No channel list file to open."));
    QFile f(m_fileName);
    if (!f.open(QIODevice::ReadOnly))
        throw ZError(QStringLiteral("Cannot read %1: %2").arg(m_fileName, f.errorString()));
    if (f.size() > kMaxSize)
        throw ZError(QStringLiteral("%1 is too large to be a channel list.").arg(m_fileName));
    loadFromBytes(f.readAll());
}

void XmlDocument::loadFromBytes(const QByteArray &bytes)
{
    close();
    const Detected enc = detectEncoding(bytes);
    QByteArray converted;
    if (!enc.converter.isEmpty()) {
        QStringDecoder decoder(enc.converter.constData());
        converted = QString(decoder(bytes)).toUtf8();
        if (decoder.hasError())
            throw ZError(QStringLiteral("The document is not valid %1 text.").arg(QString::fromLatin1(enc.converter)));
    }
    const QByteArray &text = enc.converter.isEmpty() ? bytes : converted;
    const pugi::xml_parse_result r = m_doc.load_buffer(text.constData(), size_t(text.size()),
                                                       pugi::parse_default | pugi::parse_declaration, enc.pugi);
    if (!r) {
        m_doc.reset();
        throw ZError(QStringLiteral("The document is not well-formed XML: %1 at offset %2.")
                         .arg(QString::fromUtf8(r.description()))
                         .arg(qint64(r.offset)));
    }
    int roots = 0;
    for (pugi::xml_node c = m_doc.first_child(); c; c = c.next_sibling()) {
        if (c.type() == pugi::node_element)
            ++roots;
        else if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata)
            roots = 99;
    }
    if (roots != 1) {
        m_doc.reset();
        throw ZError(QStringLiteral("The document is not well-formed XML: it needs exactly one root element."));
    }
    // Read through a converter, the document is UTF-8 now, and is saved so.
    if (!enc.converter.isEmpty()) {
        if (pugi::xml_node decl = m_doc.first_child(); decl.type() == pugi::node_declaration)
            decl.attribute("encoding").set_value("UTF-8");
    }
    m_encoding = enc.encoding;
    m_active = true;
}

XmlNode XmlDocument::documentElement() const
{
    if (!m_active)
        throw ZError(QStringLiteral("No channel list is open."));
    return XmlNode(m_doc.document_element());
}

QByteArray XmlDocument::saveToBytes() const
{
    if (!m_active)
        throw ZError(QStringLiteral("No channel list is open."));
    // Every saved document carries its declaration.
    pugi::xml_document &doc = const_cast<pugi::xml_document &>(m_doc);
    if (doc.first_child().type() != pugi::node_declaration) {
        pugi::xml_node d = doc.prepend_child(pugi::node_declaration);
        d.append_attribute("version") = "1.0";
        const char *name = m_encoding == Encoding::Utf16    ? "UTF-16"
                           : m_encoding == Encoding::Latin1 ? "ISO-8859-1"
                           : m_encoding == Encoding::Ascii  ? "US-ASCII"
                                                            : "UTF-8";
        d.append_attribute("encoding") = name;
    }
    struct Sink : pugi::xml_writer
    {
        QByteArray bytes;
        void write(const void *data, size_t size) override
        {
            bytes.append(static_cast<const char *>(data), qsizetype(size));
        }
    } sink;
    // Indentation grows with depth squared: a deeply nested document is written raw.
    struct DepthProbe : pugi::xml_tree_walker
    {
        bool deep = false;
        bool for_each(pugi::xml_node &) override
        {
            deep = depth() > kMaxIndentDepth;
            return !deep;
        }
    } probe;
    doc.traverse(probe);
    const unsigned layout = probe.deep ? pugi::format_raw : pugi::format_indent;
    const unsigned flags = layout | (m_encoding == Encoding::Utf16 ? pugi::format_write_bom : 0);
    switch (m_encoding) {
    case Encoding::Utf16:
        doc.save(sink, "  ", flags, pugi::encoding_utf16_le);
        return sink.bytes;
    case Encoding::Latin1:
        doc.save(sink, "  ", flags, pugi::encoding_utf8);
        return narrowUtf8(sink.bytes, 0xFF);
    case Encoding::Ascii:
        doc.save(sink, "  ", flags, pugi::encoding_utf8);
        return narrowUtf8(sink.bytes, 0x7F);
    case Encoding::Utf8:
        break;
    }
    doc.save(sink, "  ", flags, pugi::encoding_utf8);
    return sink.bytes;
}

void XmlDocument::save(const QString &path) const
{
    const QByteArray bytes = saveToBytes();
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit())
        throw ZError(QStringLiteral("Unable to write to %1").arg(path));
}
