#include "Paths.h"

#include "SafeFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

QString FindPath(const QString &dir, const QString &relative)
{
    QString current = dir;
    if (!current.endsWith(u'/'))
        current += u'/';
    const QStringList parts = relative.split(u'/', Qt::SkipEmptyParts);
    bool searching = true;
    for (qsizetype n = 0; n < parts.size(); ++n) {
        const QString &part = parts[n];
        QString chosen = part;
        if (searching && !QFileInfo::exists(current + part)) {
            const QStringList entries =
                QDir(current).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
            searching = false;
            for (const QString &e : entries) {
                if (e.compare(part, Qt::CaseInsensitive) == 0) {
                    chosen = e;
                    searching = true;
                    break;
                }
            }
        }
        current += chosen;
        if (n + 1 < parts.size() || relative.endsWith(u'/'))
            current += u'/';
    }
    return current;
}

QString ExecutableDir()
{
    QString dir = QCoreApplication::applicationDirPath();
    if (!dir.endsWith(u'/'))
        dir += u'/';
    return dir;
}

bool CopyFileReplacing(const QString &source, const QString &target, QString *error)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        if (error)
            *error = in.errorString();
        return false;
    }
    AtomicWriter out(target);
    if (!out.open()) {
        if (error)
            *error = out.errorString();
        return false;
    }
    QByteArray buffer(256 * 1024, Qt::Uninitialized);
    for (;;) {
        const qint64 got = in.read(buffer.data(), buffer.size());
        if (got < 0 || (got > 0 && !out.write(buffer.constData(), got))) {
            if (error)
                *error = got < 0 ? in.errorString() : out.errorString();
            return false;
        }
        if (got == 0)
            break;
    }
    if (!out.commit()) {
        if (error)
            *error = out.errorString();
        return false;
    }
    return true;
}

namespace {
QString canonical(const QString &path)
{
    QFileInfo info(path);
    if (!info.exists())
        info = QFileInfo(FindPath(QDir::rootPath(), QDir::cleanPath(info.absoluteFilePath())));
    const QString c = info.canonicalFilePath();
    return c.isEmpty() ? info.absoluteFilePath() : c;
}
} // namespace

bool SameFile(const QString &a, const QString &b)
{
    return canonical(a) == canonical(b);
}
