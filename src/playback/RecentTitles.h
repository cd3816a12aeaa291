#pragma once

#include <QDateTime>
#include <QFutureWatcher>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

// The titles heard lately, newest first, kept across runs in a small file: at most kMax, the
// oldest go first. A station may change its title every second: the file is written at most
// once per save delay, on a worker thread, and at the end.
class RecentTitles : public QObject
{
    Q_OBJECT

public:
    struct Entry
    {
        QDateTime time;
        QString channel;
        QString title;
    };
    static constexpr int kMax = 100;
    static constexpr int kSaveDelayMs = 5000;

    explicit RecentTitles(const QString &file, QObject *parent = nullptr);
    ~RecentTitles() override; // writes what is not saved yet

    // A missing or unreadable file is an empty list.
    void load();
    // Adds, and saves within the save delay; the same title on the same channel as the newest is
    // not added twice (a stream that reconnects says it again). Titles and names are cleaned and
    // capped as any outside text.
    void add(Entry entry);
    // Writes what is not saved yet and waits for it: false with the reason when the file could
    // not be written (the entries are kept for this run).
    bool flush(QString *error = nullptr);
    void setSaveDelay(int ms) { m_save.setInterval(ms); }

    const QList<Entry> &entries() const { return m_entries; }
    QString file() const { return m_file; }

signals:
    void saved();
    void saveFailed(const QString &why);

private:
    QByteArray serialized() const;
    void startWrite();
    void writeDone();

    QString m_file;
    QList<Entry> m_entries;
    QTimer m_save;
    QFutureWatcher<QString> m_write;
    bool m_dirty = false;
};
