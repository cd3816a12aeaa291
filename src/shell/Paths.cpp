#include "Paths.h"

#include <QCoreApplication>
#include <QDir>
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
