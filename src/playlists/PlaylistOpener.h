#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class HttpReader;
class QWidget;

// Opens a playlist the program was started with: reads its start (a file) or fetches it (an
// address), then offers to add a list of channels as a playlist, and hands anything else on to
// be played as one stream.
class PlaylistOpener : public QObject
{
    Q_OBJECT

public:
    explicit PlaylistOpener(QWidget *window);

    void open(const QString &argument);

    static constexpr int kFetchTimeoutMs = 10000;

signals:
    void playRequested(const QString &address);
    void addRequested(const QString &source);

private:
    void judge(const QString &argument, const QByteArray &head);

    QWidget *m_window;
    QPointer<HttpReader> m_reader; // the one fetch at a time
};
