#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// A small INI file in the common layout: "[Section]" headers and "key=value" lines. Section
// and key names compare without regard to case. Lines the reader does not understand are kept
// as they are, so a save changes only the keys it was given.
class IniFile
{
public:
    explicit IniFile(const QString &path);

    // Reads the file; a missing or unreadable file reads as empty.
    void load();

    std::optional<QString> value(const QString &section, const QString &key) const;
    void setValue(const QString &section, const QString &key, const QString &value);

    // Writes the whole file at once. Returns false when the file may not or cannot be written;
    // the file on disk is then unchanged.
    bool save() const;

    const QString &path() const { return m_path; }

private:
    struct Line
    {
        QByteArray raw;
        QString section; // section the line belongs to
        QString key;     // empty when the line is no key line
    };
    qsizetype findKey(const QString &section, const QString &key) const;

    QString m_path;
    QList<Line> m_lines;
};
