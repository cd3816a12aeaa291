#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <optional>
#include <pugixml.hpp>

// An element of an XmlDocument. A handle: valid while its document stays open.
class XmlNode
{
public:
    XmlNode() = default;

    bool isNull() const { return !m_node; }
    // The element's name without a namespace prefix.
    QString localName() const;

    // Element children in document order (text, comments and instructions are not nodes here).
    QList<XmlNode> childNodes() const;
    int childCount() const;
    XmlNode child(int index) const; // null when out of range

    // A missing attribute is null; a present but empty one is empty text.
    std::optional<QString> attribute(const char *name) const;
    bool hasAttribute(const char *name) const;
    // The attribute as text; raises ZError when the element lacks it.
    QString text(const char *name) const;
    QList<QPair<QString, QString>> attributes() const;

    void setAttribute(const char *name, const QString &value);
    XmlNode appendChild(const QString &name);
    bool deleteChild(int index);

    // For views that keep a reference to the element in an item of their own.
    void *opaque() const { return m_node.internal_object(); }
    static XmlNode fromOpaque(void *handle);

    bool operator==(const XmlNode &other) const { return m_node == other.m_node; }

private:
    friend class XmlDocument;
    explicit XmlNode(pugi::xml_node node) : m_node(node) {}
    pugi::xml_node m_node;
};

// The XML document component of the channel lists: loads a file, offers its elements and
// saves it back with its declaration and in the encoding it declares (UTF-8, UTF-16,
// ISO-8859-1 or US-ASCII). A document in another encoding Qt's converters know (windows-1252,
// ISO-8859-15, ...) loads too and is saved as UTF-8; an unknown encoding does not load.
class XmlDocument
{
public:
    enum class Encoding { Utf8, Utf16, Latin1, Ascii };

    XmlDocument() = default;
    XmlDocument(const XmlDocument &) = delete;
    XmlDocument &operator=(const XmlDocument &) = delete;

    void close();
    bool isActive() const { return m_active; }

    void setFileName(const QString &path) { m_fileName = path; }
    QString fileName() const { return m_fileName; }

    // Parses the file named by setFileName. Raises ZError when it cannot be read or is not a
    // well-formed document in an encoding we can keep.
    void open();
    void loadFromBytes(const QByteArray &bytes);

    // Raises ZError while no document is open.
    XmlNode documentElement() const;
    Encoding encoding() const { return m_encoding; }

    // Raises ZError when the file cannot be written; an old file there stays whole.
    void save(const QString &path) const;
    QByteArray saveToBytes() const;

    static constexpr qint64 kMaxSize = qint64(256) << 20;
    static constexpr int kMaxIndentDepth = 16;

private:
    pugi::xml_document m_doc;
    QString m_fileName;
    Encoding m_encoding = Encoding::Utf8;
    bool m_active = false;
};
