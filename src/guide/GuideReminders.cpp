#include "GuideReminders.h"

#include "base/OutsideText.h"
#include "base/SafeFile.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtConcurrent>

#include <algorithm>

namespace {

void write(const QString &file, const QByteArray &bytes)
{
    QString why;
    if (!WriteFileAtomically(file, bytes, &why))
        qWarning("reminders not saved: %s", qPrintable(why));
}

} // namespace

GuideReminders::GuideReminders(const QString &file, QObject *parent) : QObject(parent), m_file(file)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &GuideReminders::fire);
    connect(&m_write, &QFutureWatcher<void>::finished, this, [this] {
        if (std::exchange(m_writeAgain, false))
            save();
    });
    read();
    arm();
}

GuideReminders::~GuideReminders()
{
    m_write.waitForFinished();
    // A change made while the last write ran is written now: the program is ending.
    if (m_writeAgain)
        write(m_file, contents());
}

QByteArray GuideReminders::contents() const
{
    QJsonArray array;
    for (const Reminder &r : std::as_const(m_list))
        array.append(QJsonObject{{QStringLiteral("channel"), r.channel},
                                 {QStringLiteral("address"), r.address},
                                 {QStringLiteral("title"), r.title},
                                 {QStringLiteral("start"), double(r.start)}});
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

void GuideReminders::read()
{
    QFile f(m_file);
    if (!f.open(QIODevice::ReadOnly) || f.size() > 1 << 20)
        return;
    for (const QJsonValue &v : QJsonDocument::fromJson(f.readAll()).array()) {
        const QJsonObject o = v.toObject();
        const Reminder r{outside::Clean(o.value(QStringLiteral("channel")).toString(), outside::kName),
                         o.value(QStringLiteral("address")).toString().left(outside::kAddress),
                         outside::Clean(o.value(QStringLiteral("title")).toString(), outside::kTitle),
                         qint64(o.value(QStringLiteral("start")).toDouble())};
        if (r.start > 0 && !r.address.isEmpty() && m_list.size() < kMax)
            m_list.append(r);
    }
    std::sort(m_list.begin(), m_list.end(), [](const Reminder &a, const Reminder &b) { return a.start < b.start; });
}

void GuideReminders::save()
{
    if (m_write.isRunning()) {
        m_writeAgain = true;
        return;
    }
    m_write.setFuture(QtConcurrent::run([file = m_file, bytes = contents()] { write(file, bytes); }));
}

void GuideReminders::add(const Reminder &reminder)
{
    if (contains(reminder.address, reminder.start) || m_list.size() >= kMax ||
        reminder.start <= QDateTime::currentSecsSinceEpoch())
        return;
    const auto at = std::upper_bound(m_list.begin(), m_list.end(), reminder.start,
                                     [](qint64 t, const Reminder &r) { return t < r.start; });
    m_list.insert(at, reminder);
    save();
    arm();
}

void GuideReminders::remove(const QString &address, qint64 start)
{
    const auto n = m_list.removeIf([&](const Reminder &r) { return r.address == address && r.start == start; });
    if (n > 0) {
        save();
        arm();
    }
}

bool GuideReminders::contains(const QString &address, qint64 start) const
{
    return std::any_of(m_list.cbegin(), m_list.cend(),
                       [&](const Reminder &r) { return r.address == address && r.start == start; });
}

void GuideReminders::arm()
{
    m_timer.stop();
    if (m_list.isEmpty())
        return;
    const qint64 wait = m_list.first().start - QDateTime::currentSecsSinceEpoch();
    // Long waits are taken in steps: a suspended computer's clock jumps.
    m_timer.start(int(std::clamp<qint64>(wait, 0, 600) * 1000));
}

void GuideReminders::fire()
{
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    QList<Reminder> dueNow;
    while (!m_list.isEmpty() && m_list.first().start <= now)
        dueNow.append(m_list.takeFirst());
    if (!dueNow.isEmpty())
        save();
    for (const Reminder &r : std::as_const(dueNow)) {
        if (now - r.start <= kLate)
            emit due(r);
    }
    arm();
}
