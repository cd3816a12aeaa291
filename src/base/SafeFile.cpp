#include "SafeFile.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QThread>

#include <sys/stat.h>
#include <unistd.h>

namespace {

std::function<bool(qint64)> &faultProbe()
{
    static std::function<bool(qint64)> probe;
    return probe;
}

} // namespace

AtomicWriter::AtomicWriter(const QString &path) : m_file(path)
{
}

AtomicWriter::~AtomicWriter()
{
    if (m_file.isOpen())
        m_file.cancelWriting();
}

void AtomicWriter::setFaultProbe(std::function<bool(qint64)> probe)
{
    faultProbe() = std::move(probe);
}

bool AtomicWriter::open()
{
    if (m_file.open(QIODevice::WriteOnly))
        return true;
    m_error = m_file.errorString();
    return false;
}

bool AtomicWriter::write(const char *data, qint64 size)
{
    // In pieces, so a failure can come part-way, as it does on a full disk.
    constexpr qint64 kPiece = 256 * 1024;
    for (qint64 done = 0; done < size;) {
        const qint64 n = qMin(kPiece, size - done);
        if (m_file.write(data + done, n) != n) {
            m_error = m_file.errorString();
            m_file.cancelWriting();
            return false;
        }
        done += n;
        m_written += n;
        if (faultProbe() && !faultProbe()(m_written)) {
            m_error = QStringLiteral("No space left on device");
            m_file.cancelWriting();
            return false;
        }
    }
    return true;
}

bool AtomicWriter::commit()
{
    if (m_file.commit())
        return true;
    if (m_error.isEmpty())
        m_error = m_file.errorString();
    return false;
}

bool WriteFileAtomically(const QString &path, const QByteArray &bytes, QString *error)
{
    AtomicWriter out(path);
    const bool ok = out.open() && out.write(bytes) && out.commit();
    if (!ok && error)
        *error = out.errorString();
    return ok;
}

namespace {
// Owned by this user, a folder and not a link to one, closed to everyone else: nobody else can
// put a socket or a lock there (a socket there would receive our arguments, tokens and all).
bool isPrivateDir(const QString &path)
{
    struct stat st
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & 077) == 0;
}
} // namespace

QString PrivateRuntimeDir(QString *why)
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && isPrivateDir(runtime))
        return runtime;
    const QString own = QDir::tempPath() + QStringLiteral("/zentavo-") + QString::number(::geteuid());
    ::mkdir(QFile::encodeName(own).constData(), 0700);
    if (isPrivateDir(own))
        return own;
    if (why)
        *why = QStringLiteral("neither XDG_RUNTIME_DIR nor %1 is a folder that only this user can reach").arg(own);
    return {};
}

QString FileLock::lockFileFor(const QString &path)
{
    const QFileInfo info(path);
    const QFileInfo folder(info.absolutePath());
    if (folder.isWritable())
        return info.absoluteFilePath() + QStringLiteral(".lock");
    // A folder we may not write (an installed program's): the runtime folder, one lock per file.
    QString runtime = PrivateRuntimeDir();
    if (runtime.isEmpty())
        runtime = QDir::tempPath();
    const QByteArray id =
        QCryptographicHash::hash(info.absoluteFilePath().toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return runtime + QStringLiteral("/zentavo-") + QString::fromLatin1(id) + QStringLiteral(".lock");
}

FileLock::FileLock(const QString &path, int timeoutMs) : m_lock(std::make_unique<QLockFile>(lockFileFor(path)))
{
    // Only a process holding the lock this long is taken to have died with it.
    m_lock->setStaleLockTime(30000);
    // Tried every few milliseconds: QLockFile's own waits double up to seconds, so a process
    // that writes again soon after would take the lock again and again before a waiter looked.
    const QDeadlineTimer deadline(timeoutMs);
    while (!m_lock->tryLock(0) && m_lock->error() != QLockFile::PermissionError && !deadline.hasExpired())
        QThread::msleep(10);
}
