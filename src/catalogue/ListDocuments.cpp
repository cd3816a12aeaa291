#include "ListDocuments.h"

#include "ListCipher.h"
#include "base/Errors.h"

#include <QDateTime>
#include <QEventLoop>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QHash>
#include <QMutex>
#include <QtConcurrent/QtConcurrentRun>

namespace {

struct Shared
{
    std::weak_ptr<const XmlDocument> document;
    qint64 size = -1;
    QDateTime modified;
};

QMutex lock;
QHash<QString, Shared> shared;

} // namespace

std::shared_ptr<const XmlDocument> OpenListDocument(const QString &path)
{
    const QFileInfo info(path);
    const QString key = info.absoluteFilePath();
    const qint64 size = info.size();
    const QDateTime modified = info.lastModified();
    {
        const QMutexLocker locked(&lock);
        const auto it = shared.constFind(key);
        if (it != shared.cend() && it->size == size && it->modified == modified) {
            if (auto document = it->document.lock())
                return document;
        }
    }
    auto document = std::make_shared<XmlDocument>();
    document->loadFromBytes(ReadListFile(path));
    const QMutexLocker locked(&lock);
    shared.removeIf([](const auto &entry) { return entry.value().document.expired(); });
    shared.insert(key, {document, size, modified});
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
