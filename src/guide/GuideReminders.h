#pragma once

#include <QFutureWatcher>
#include <QList>
#include <QObject>
#include <QTimer>

struct Reminder
{
    QString channel; // as the list names it
    QString address; // what plays it
    QString title;
    qint64 start = 0; // in the channel's time (shift applied)
};

// Programmes the user asked to be reminded of: kept across runs (a small JSON file, written on a
// worker), told by `due` when each starts (or at once for one that started while the program
// was not running, within the last ten minutes), then forgotten.
class GuideReminders : public QObject
{
    Q_OBJECT

public:
    explicit GuideReminders(const QString &file, QObject *parent = nullptr);
    ~GuideReminders() override;

    // One that has started already is not taken.
    void add(const Reminder &reminder);
    void remove(const QString &address, qint64 start);
    bool contains(const QString &address, qint64 start) const;
    const QList<Reminder> &list() const { return m_list; }

    static constexpr qint64 kLate = 10 * 60; // a reminder missed by more than this is dropped
    static constexpr int kMax = 500;

signals:
    void due(const Reminder &reminder);

private:
    void read();
    void save();
    QByteArray contents() const;
    void arm();
    void fire();

    QString m_file;
    QList<Reminder> m_list; // by start
    QTimer m_timer;
    QFutureWatcher<void> m_write;
    bool m_writeAgain = false;
};
