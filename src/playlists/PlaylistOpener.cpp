#include "PlaylistOpener.h"

#include "OpenedPlaylist.h"
#include "PlaylistReader.h"
#include "base/AppInfo.h"
#include "base/Prompter.h"

#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QUrl>
#include <QWidget>

PlaylistOpener::PlaylistOpener(QNetworkAccessManager *network, QWidget *window)
    : QObject(window), m_network(network), m_window(window)
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
    if (!m_network) {
        emit playRequested(argument);
        return;
    }
    if (m_reply)
        m_reply->abort();
    QNetworkRequest request{QUrl(a)};
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setHeader(QNetworkRequest::UserAgentHeader, AppUserAgent());
    request.setTransferTimeout(kFetchTimeoutMs);
    QNetworkReply *reply = m_network->get(request);
    m_reply = reply;
    auto head = std::make_shared<QByteArray>();
    connect(reply, &QNetworkReply::readyRead, this, [reply, head] {
        head->append(reply->read(kOpenedPlaylistHead - head->size()));
        if (head->size() >= kOpenedPlaylistHead)
            reply->abort(); // enough to judge it
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, head, argument] {
        reply->deleteLater();
        if (reply->error() == QNetworkReply::OperationCanceledError && head->size() < kOpenedPlaylistHead)
            return; // replaced by a later open
        head->append(reply->read(kOpenedPlaylistHead - head->size()));
        judge(argument, *head);
    });
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
