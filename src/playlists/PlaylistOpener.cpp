#include "PlaylistOpener.h"

#include "OpenedPlaylist.h"
#include "PlaylistReader.h"
#include "base/AppInfo.h"
#include "base/Prompter.h"
#include "online/HttpReader.h"

#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>
#include <QWidget>

PlaylistOpener::PlaylistOpener(QWidget *window) : QObject(window), m_window(window)
{
}

void PlaylistOpener::open(const QString &argument)
{
    const QString a = argument.trimmed();
    if (!IsWebAddress(a)) {
        const QString path = a.startsWith(QLatin1StringView("file:"), Qt::CaseInsensitive) ? QUrl(a).toLocalFile() : a;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            emit playRequested(argument); // the player says what is wrong with it
            return;
        }
        judge(path, file.read(kOpenedPlaylistHead));
        return;
    }
    if (m_reader) { // replaced by this open
        m_reader->stop();
        m_reader->deleteLater();
    }
    // Its start is enough to judge it; a server that never ends a reply is cut off.
    auto *reader = new HttpReader({QUrl(a), AppUserAgent(), {}, {}, {}, true, 10}, kOpenedPlaylistHead, this);
    m_reader = reader;
    const auto done = [this, reader, argument](const QString &error) {
        if (m_reader != reader)
            return;
        reader->stop();
        reader->deleteLater();
        m_reader = nullptr;
        const HttpReader::Reply &r = reader->reply();
        judge(argument, error.isEmpty() && r.status < 300 ? r.body : QByteArray());
    };
    connect(reader, &HttpReader::finished, this, done);
    QTimer::singleShot(kFetchTimeoutMs, reader, [done] { done(QStringLiteral("timed out")); });
    reader->start();
}

void PlaylistOpener::judge(const QString &argument, const QByteArray &head)
{
    const OpenedPlaylist found = ClassifyOpenedPlaylist(head);
    if (!found.channels) {
        emit playRequested(argument);
        return;
    }
    const QString name =
        argument.contains(QLatin1StringView("://")) ? QUrl(argument).fileName() : QFileInfo(argument).fileName();
    const QString count = head.size() >= kOpenedPlaylistHead ? QStringLiteral("more than %1").arg(found.count)
                                                             : QString::number(found.count);
    if (AskOkCancel(m_window, QStringLiteral("%1 is a playlist of %2 channels.\nAdd it to your playlists?\n\n"
                                             "Cancel plays it as one stream.")
                                  .arg(name, count)))
        emit addRequested(argument);
    else
        emit playRequested(argument);
}
