#include "RecentTitles.h"

#include "base/OutsideText.h"
#include "base/SafeFile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtConcurrent>

namespace {
// A full list of capped entries is far below this.
constexpr qint64 kMaxFileSize = 4 * 1024 * 1024;

RecentTitles::Entry cleaned(RecentTitles::Entry e)
{
    e.channel = outside::Clean(e.channel, outside::kName);
    e.title = outside::Clean(e.title, outside::kTitle);
    return e;
}
} // namespace

RecentTitles::RecentTitles(const QString &file, QObject *parent) : QObject(parent), m_file(file)
{
    m_save.setSingleShot(true);
    m_save.setInterval(kSaveDelayMs);
    connect(&m_save, &QTimer::timeout, this, &RecentTitles::startWrite);
    connect(&m_write, &QFutureWatcher<QString>::finished, this, &RecentTitles::writeDone);
}

RecentTitles::~RecentTitles()
{
    QString why;
    if (!flush(&why))
        qWarning("recently played titles not saved: %s", qPrintable(why));
}

void RecentTitles::load()
{
    m_entries.clear();
    QFile f(m_file);
    if (!f.open(QIODevice::ReadOnly) || f.size() > kMaxFileSize)
        return;
    const QJsonArray list = QJsonDocument::fromJson(f.readAll()).array();
    for (const QJsonValue &v : list) {
        const QJsonObject o = v.toObject();
        const Entry e =
            cleaned({QDateTime::fromString(o.value(QLatin1StringView("time")).toString(), Qt::ISODate),
                     o.value(QLatin1StringView("channel")).toString(), o.value(QLatin1StringView("title")).toString()});
        if (e.title.isEmpty() || !e.time.isValid())
            continue;
        m_entries.append(e);
        if (m_entries.size() == kMax)
            break;
    }
}

void RecentTitles::add(Entry entry)
{
    entry = cleaned(std::move(entry));
    if (entry.title.isEmpty())
        return;
    if (!m_entries.isEmpty() && m_entries.first().title == entry.title && m_entries.first().channel == entry.channel)
        return;
    m_entries.prepend(entry);
    if (m_entries.size() > kMax)
        m_entries.resize(kMax);
    m_dirty = true;
    if (!m_save.isActive() && !m_write.isRunning())
        m_save.start();
}

QByteArray RecentTitles::serialized() const
{
    QJsonArray list;
    for (const Entry &e : std::as_const(m_entries))
        list.append(QJsonObject{{QLatin1StringView("time"), e.time.toString(Qt::ISODateWithMs)},
                                {QLatin1StringView("channel"), e.channel},
                                {QLatin1StringView("title"), e.title}});
    return QJsonDocument(list).toJson(QJsonDocument::Compact);
}

void RecentTitles::startWrite()
{
    if (!m_dirty || m_write.isRunning())
        return;
    m_dirty = false;
    m_write.setFuture(QtConcurrent::run([file = m_file, bytes = serialized()] {
        QString why;
        return WriteFileAtomically(file, bytes, &why) ? QString() : why;
    }));
}

void RecentTitles::writeDone()
{
    const QString why = m_write.result();
    if (!why.isEmpty()) {
        m_dirty = true; // tried again with the next title, and at the end
        emit saveFailed(why);
        return;
    }
    emit saved();
    // Titles that came while it wrote go in the next write.
    if (m_dirty && !m_save.isActive())
        m_save.start();
}

bool RecentTitles::flush(QString *error)
{
    m_save.stop();
    m_write.waitForFinished();
    if (!m_dirty)
        return true;
    m_dirty = false;
    return WriteFileAtomically(m_file, serialized(), error);
}
