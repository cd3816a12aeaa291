#pragma once

#include <QObject>
#include <QString>

// What plays now, as the desktop (media keys, sound menu, tray, notifications) and the window
// show it: the channel, the title the stream reports and whether it plays. The play operation
// keeps it current; the desktop's pieces read it and follow its signals.
class NowPlaying : public QObject
{
    Q_OBJECT

public:
    enum class State { Stopped, Playing, Paused };

    struct Title
    {
        QString artist; // empty where the text names none
        QString title;
    };
    // "Artist - Title" where the text has exactly one " - "; otherwise all of it is the title.
    static Title Split(const QString &text);
    // The text shown for an artist and a title (either may be empty).
    static QString Join(const QString &artist, const QString &title);

    explicit NowPlaying(QObject *parent = nullptr) : QObject(parent) {}

    // A new stream: the title and the logo of the one before are gone.
    void startChannel(const QString &name, const QString &address);
    // The text the stream reports as playing now ("" when it reports none).
    void setStreamTitle(const QString &text);
    void setState(State state);
    void setLogoFile(const QString &file);
    void setVideo(bool video);
    // The guide's programme on the channel now ("" for none) and when it ends (Unix seconds).
    void setProgramme(const QString &title, qint64 stop);

    QString channel() const { return m_channel; }
    QString address() const { return m_address; }
    QString streamTitle() const { return m_title; }
    Title splitTitle() const { return Split(m_title); }
    QString programme() const { return m_programme; }
    qint64 programmeStop() const { return m_programmeStop; }
    // What describes the track: the stream's own title, else the guide's programme.
    QString shownTitle() const { return m_title.isEmpty() ? m_programme : m_title; }
    QString logoFile() const { return m_logo; }
    bool hasVideo() const { return m_video; }
    State state() const { return m_state; }
    // Counts the streams started: a track's identity.
    int streamNumber() const { return m_number; }
    bool isIdle() const { return m_address.isEmpty(); }

signals:
    // Any of channel, title, logo or picture changed: what describes the track is new.
    void trackChanged();
    void stateChanged(NowPlaying::State state);
    // The stream reports a new, non-empty title.
    void newTitle(const QString &channel, const QString &title);

private:
    QString m_channel;
    QString m_address;
    QString m_title;
    QString m_programme;
    qint64 m_programmeStop = 0;
    QString m_logo;
    bool m_video = false;
    State m_state = State::Stopped;
    int m_number = 0;
};
