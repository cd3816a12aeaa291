#include "ListDocuments.h"

#include "ListCipher.h"
#include "base/Errors.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QHash>
#include <QMutex>
#include <QtConcurrent/QtConcurrentRun>

#include <sys/stat.h>

namespace {

// What tells one version of a file from another: a list is replaced by a rename (a new inode),
// and its time is kept to the nanosecond.
struct Version
{
    quint64 inode = 0;
    qint64 size = -1;
    qint64 modifiedNs = 0;
    bool operator==(const Version &) const = default;
};

Version versionOf(const QString &path)
{
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return {quint64(st.st_ino), qint64(st.st_size), qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

struct Shared
{
    std::weak_ptr<const XmlDocument> document;
    Version version;
};

QMutex lock;
QHash<QString, Shared> shared;

} // namespace

std::shared_ptr<const XmlDocument> OpenListDocument(const QString &path)
{
    const QString key = QFileInfo(path).absoluteFilePath();
    const Version version = versionOf(key);
    {
        const QMutexLocker locked(&lock);
        const auto it = shared.constFind(key);
        if (it != shared.cend() && version.size >= 0 && it->version == version) {
            if (auto document = it->document.lock())
                return document;
        }
    }
    auto document = std::make_shared<XmlDocument>();
    document->loadFromBytes(ReadListFile(path));
    const QMutexLocker locked(&lock);
    shared.removeIf([](const auto &entry) { return entry.value().document.expired(); });
    shared.insert(key, {document, version});
    return document;
}

std::shared_ptr<const XmlDocument> OpenListDocumentRunningEvents(const QString &path)
{
    struct Opened
    {
        std::shared_ptr<const XmlDocument> document;
        QString error;
    };
    QFuture<Opened> future = QtConcurrent::run([path] {
        try {
            return Opened{OpenListDocument(path), {}};
        } catch (const ZError &e) {
            return Opened{nullptr, e.message()};
        } catch (const std::exception &e) {
            return Opened{nullptr, QString::fromUtf8(e.what())};
        }
    });
    if (!future.isFinished()) {
        QFutureWatcher<Opened> watcher;
        QEventLoop loop;
        QObject::connect(&watcher, &QFutureWatcher<Opened>::finished, &loop, &QEventLoop::quit);
        watcher.setFuture(future);
        if (!future.isFinished())
            loop.exec();
    }
    Opened opened = future.result();
    if (!opened.document)
        throw ZError(opened.error);
    return std::move(opened.document);
}
