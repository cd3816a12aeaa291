#include "IniFile.h"

#include "SafeFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

QString sectionOf(const QByteArray &trimmed)
{
    if (trimmed.size() >= 2 && trimmed.startsWith('[') && trimmed.endsWith(']'))
        return QString::fromUtf8(trimmed.mid(1, trimmed.size() - 2)).trimmed();
    return {};
}

} // namespace

IniFile::IniFile(const QString &path) : m_path(path)
{
}

void IniFile::load()
{
    m_lines.clear();
    QFile f(m_path);
    if (!f.open(QIODevice::ReadOnly))
        return;
    const QByteArray all = f.readAll();
    QString section;
    for (QByteArray raw : all.split('\n')) {
        if (raw.endsWith('\r'))
            raw.chop(1);
        Line line{raw, section, {}};
        const QByteArray t = raw.trimmed();
        const QString s = sectionOf(t);
        if (!s.isEmpty()) {
            section = s;
            line.section = s;
        } else if (!t.startsWith(';') && t.contains('=')) {
            line.key = QString::fromUtf8(t.left(t.indexOf('='))).trimmed();
        }
        m_lines.append(line);
    }
    // split() leaves one empty piece after a final newline; it is not a line of the file.
    if (!m_lines.isEmpty() && m_lines.last().raw.isEmpty() && m_lines.last().key.isEmpty())
        m_lines.removeLast();
}

qsizetype IniFile::findKey(const QString &section, const QString &key) const
{
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const Line &l = m_lines[i];
        if (!l.key.isEmpty() && l.key.compare(key, Qt::CaseInsensitive) == 0 &&
            l.section.compare(section, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

std::optional<QString> IniFile::value(const QString &section, const QString &key) const
{
    const qsizetype i = findKey(section, key);
    if (i < 0)
        return std::nullopt;
    const QByteArray &raw = m_lines[i].raw;
    return QString::fromUtf8(raw.mid(raw.indexOf('=') + 1)).trimmed();
}

void IniFile::setValue(const QString &section, const QString &key, const QString &value)
{
    const QByteArray raw = key.toUtf8() + '=' + value.toUtf8();
    const qsizetype i = findKey(section, key);
    if (i >= 0) {
        m_lines[i].raw = raw;
        return;
    }
    // Append to the end of the section, or open the section at the end of the file.
    qsizetype last = -1;
    for (qsizetype n = 0; n < m_lines.size(); ++n) {
        if (m_lines[n].section.compare(section, Qt::CaseInsensitive) == 0)
            last = n;
    }
    if (last < 0) {
        m_lines.append(Line{'[' + section.toUtf8() + ']', section, {}});
        last = m_lines.size() - 1;
    } else {
        // Keep trailing blank lines of the section after the new key.
        while (last > 0 && m_lines[last].raw.trimmed().isEmpty() && m_lines[last].key.isEmpty() &&
               sectionOf(m_lines[last].raw.trimmed()).isEmpty())
            --last;
    }
    m_lines.insert(last + 1, Line{raw, section, key});
}

bool IniFile::save() const
{
    // A file marked read-only is refused even for an administrator (who could replace it),
    // like the read-only attribute on the systems our settings files come from.
    const QFileInfo info(m_path);
    const auto perms = info.permissions();
    if (info.exists() && (info.isDir() || !(perms & QFileDevice::WriteOwner) || !(perms & QFileDevice::WriteUser)))
        return false;
    QByteArray out;
    for (const Line &l : m_lines)
        out += l.raw + '\n';
    return WriteFileAtomically(m_path, out);
}
