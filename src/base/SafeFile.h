#pragma once

#include <QByteArray>
#include <QLockFile>
#include <QSaveFile>
#include <QString>

#include <functional>
#include <memory>

// Writes a file so that it is replaced whole or not at all: the new content goes to a temporary
// file beside it, which takes the file's place only once everything is written.
class AtomicWriter
{
public:
    explicit AtomicWriter(const QString &path);
    ~AtomicWriter(); // an uncommitted write leaves the old file as it was

    bool open();
    bool write(const char *data, qint64 size);
    bool write(const QByteArray &bytes) { return write(bytes.constData(), bytes.size()); }
    bool commit();
    QString errorString() const { return m_error; }

    // For tests: called with the number of bytes written so far; returning false fails the
    // write at that point, as a full disk or a lost device would.
    static void setFaultProbe(std::function<bool(qint64 written)> probe);

private:
    QSaveFile m_file;
    qint64 m_written = 0;
    QString m_error;
};

// Replaces `path` by `bytes`, whole or not at all. Returns false with a reason.
bool WriteFileAtomically(const QString &path, const QByteArray &bytes, QString *error = nullptr);

// A folder only this user can reach, for sockets and locks: XDG_RUNTIME_DIR where it is owned
// by this user and closed to others, else a folder of our own under the temp folder, made so and
// checked so; empty (with the reason) where neither can be had.
QString PrivateRuntimeDir(QString *why = nullptr);

// Keeps other Zentavo processes from changing a file while this one reads, changes and writes
// it: a lock file beside it, or in the user's runtime folder where its folder cannot be written.
// A lock left by a process that died is taken over.
class FileLock
{
public:
    explicit FileLock(const QString &path, int timeoutMs = 10000);
    bool isLocked() const { return m_lock && m_lock->isLocked(); }
    static QString lockFileFor(const QString &path);

private:
    std::unique_ptr<QLockFile> m_lock;
};
