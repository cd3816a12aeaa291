#pragma once

#include "PlayTarget.h"
#include "VideoLayout.h"

#include <QObject>
#include <QPointer>
#include <QThread>
#include <memory>

class AnimatedPicture;
class AudioArtwork;
class NowPlaying;
class Reconnect;
class FullScreen;
class QAction;
class QLabel;
class QWidget;
class StatusLine;
class TGlobal;
class TRePlayer;
class TWmPlayer;

// The play operation: chooses the engine for an address, hands it over, stops the other engine
// and names the stream in the caption; then the engines' events drive what the player area
// shows, which of Play, Pause and Stop are enabled, and the status line.
class PlaybackController : public QObject, public PlayTarget
{
    Q_OBJECT

public:
    struct Widgets
    {
        QWidget *window;
        QWidget *imgPlay;
        QWidget *imgPause;
        QWidget *imgStop;
        QAction *actPlay;
        QAction *actPause;
        QAction *actStop;
        QAction *actOpen;
        QAction *act50;
        QAction *act100;
        QAction *act200;
        QAction *actFull;
        QWidget *panFlash;
        QWidget *imgWmplay;
        AnimatedPicture *gifConMedia;
        QLabel *labState;
        QWidget *imgmute;
    };

    PlaybackController(const Widgets &widgets, TGlobal &global, VideoLayout &layout, FullScreen &fullScreen,
                       QObject *parent);
    ~PlaybackController() override;

    bool CreatePlayers();
    // Loads the engines in the background (once the window is up), for a quicker first stream.
    void Preload();
    // Frees the engines, the first before the second (the window is closing).
    void FreePlayers();

    void PlayStream(const QString &address, const QString &name) override;
    void SetCurrentChannelType(int type) override { CurrentChannelType = type; }
    // A value with a line break in it would add headers of its own: it is not sent.
    void SetStreamHeaders(const StreamHeaders &headers) override;

    void actPlayExecute();
    void actPauseExecute();
    void actStopExecute();
    void actFullExecute();

    void wmplayerPlayStateChange(int NewState);
    void rePlayerPlayStateChange(int lNewState);
    void wmplayerStatusChange();
    void rePlayerShowStatus(const QString &statusText);
    void wmplayerError();

    // The logo (a file on disk) shown while the current stream plays without a picture;
    // cleared by the next stream.
    void setArtwork(const QString &logoFile);
    AudioArtwork *artwork() const { return m_artwork; }
    NowPlaying *nowPlaying() const { return m_now; }
    // What the current engine knows of its stream, as lines of "field: value".
    QStringList streamInfo() const;
    Reconnect *reconnect() const { return m_reconnect; }
    // Counts the streams started by address: tells whether a late answer is still for this one.
    int streamNumber() const { return m_streamNumber; }

    void ShowIdleState();
    void ShowPlayingState();
    void ShowPausedState();
    void ShowConnectingState();

    // The player part of the window's resize handling.
    void FormResize();

    // Volume and mute reach the engine of the current stream once the engines exist; engines
    // made later start at the last volume asked for.
    void applyVolume(int volume);
    void applyMute(bool mute);

    // The control showing the current stream and its natural video size (for the layout).
    std::optional<VideoLayout::Video> currentVideo() const;

    TWmPlayer *wmplayer() const;
    TRePlayer *rePlayer() const;

signals:
    // What became of the stream at `address`: it plays, or it failed and why.
    void streamPlayed(const QString &address);
    void streamFailed(const QString &address, const QString &reason);

public:
    QString CurrentUrl;
    int CurrentEngine = 0;
    int PlayState = 0;
    int CurrentChannelType = 0;

private:
    // A channel of a list from the internet is not played where it leads to a local file or
    // into this computer's network: the user is told. False also while its host is looked up
    // (it plays once that says it may).
    bool mayPlayFromWeb(const QString &address, const QString &name);
    bool m_addressJudged = false; // the next PlayStream's address was looked up and may be played
    StreamHeaders m_nextHeaders;
    int m_lookups = 0; // counts plays: a host lookup answers only the play that asked
    AudioArtwork *m_artwork;
    NowPlaying *m_now;
    void titleChanged(int engine, const QString &title);
    bool hasPicture() const;
    void showStatus(const QString &text);
    Reconnect *m_reconnect;
    // A live stream that dropped: true when a try is due (the display says so).
    bool reconnecting();
    void showEngineStatus(const QString &text);
    void watchNetwork();
    bool m_watchingNetwork = false;
    QString m_engineStatus; // what the engine said last
    QString m_requested;    // the address asked for (the engine may play another it led to)
    int m_streamNumber = 0;
    void showArtwork();
    void playing(bool firstEngine);
    void videoSizeChanged(int engine);
    void setButtons(std::optional<bool> play, std::optional<bool> pause, std::optional<bool> stop);

    Widgets m_w;
    TGlobal &m_global;
    VideoLayout &m_layout;
    FullScreen &m_fullScreen;
    QPointer<TWmPlayer> m_wm;
    QPointer<TRePlayer> m_re;
    std::unique_ptr<QThread> m_preload;
    std::optional<int> m_volume; // asked for before the engines existed
    StatusLine *m_status;
};
