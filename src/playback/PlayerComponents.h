#pragma once

#include "PlayerEngineApi.h"

#include <QWidget>
#include <functional>
#include <memory>

// Engine 1, the media engine (libmpv): the members and events the play operation uses, with
// its play states and its status texts ("Connecting...", "Buffering (40%)", "Playing", ...).
class TWmPlayer : public QWidget, private engine::Events
{
    Q_OBJECT

public:
    enum PlayState {
        psUndefined = 0,
        psStopped = 1,
        psPaused = 2,
        psPlaying = 3,
        psScanForward = 4,
        psScanReverse = 5,
        psBuffering = 6,
        psWaiting = 7,
        psMediaEnded = 8,
        psTransitioning = 9,
        psReady = 10,
        psReconnecting = 11
    };

    // Takes ownership of the engine, whose view must be a child of `this`.
    TWmPlayer(QWidget *parent, std::function<std::unique_ptr<engine::Engine>(QWidget *, engine::Events &)> make);
    ~TWmPlayer() override;
    bool isValid() const { return bool(m_engine); }
    const engine::Engine &engine() const { return *m_engine; }

    class Controls
    {
    public:
        void play() { m_p->m_engine->play(); }
        void stop() { m_p->m_engine->stop(); }
        void pause() { m_p->m_engine->pause(); }

    private:
        friend class TWmPlayer;
        explicit Controls(TWmPlayer *p) : m_p(p) {}
        TWmPlayer *m_p;
    };
    class Settings
    {
    public:
        int volume() const { return m_volume; }
        void setVolume(int v);
        bool mute() const { return m_mute; }
        void setMute(bool m);

    private:
        friend class TWmPlayer;
        explicit Settings(TWmPlayer *p) : m_p(p) {}
        TWmPlayer *m_p;
        int m_volume = 100;
        bool m_mute = false;
    };
    class Media
    {
    public:
        QString sourceURL() const { return m_p->m_engine->playingAddress(); }
        int imageSourceWidth() const { return m_p->m_engine->naturalSize().width(); }
        int imageSourceHeight() const { return m_p->m_engine->naturalSize().height(); }
        double duration() const { return m_p->m_engine->duration(); }

    private:
        friend class TWmPlayer;
        explicit Media(TWmPlayer *p) : m_p(p) {}
        TWmPlayer *m_p;
    };

    Controls controls{this};
    Settings settings{this};
    Media currentMedia{this};

    void setURL(const QString &url) { m_engine->setSource(url); }
    void setRequestHeaders(const engine::RequestHeaders &headers) { m_engine->setRequestHeaders(headers); }
    QString URL() const { return m_engine->source(); }
    QString status() const { return m_engine->status(); }
    int playState() const { return m_engine->playState(); }
    QString title() const { return m_engine->title(); }
    engine::StreamInfo streamInfo() const { return m_engine->info(); }
    // The first entry of the error queue: the description of the last failure.
    QString errorDescription() const { return m_error; }

    // Full screen is shown by the host window; the player returns from it by itself (Esc, a
    // double-click or the end of the stream).
    bool fullScreen() const { return m_fullScreen; }
    void setFullScreen(bool on);

    void setEnableContextMenu(bool on) { m_contextMenu = on; }
    void setUiMode(const QString &mode) { m_uiMode = mode; }
    void setStretchToFit(bool on) { m_stretch = on; }

signals:
    void OnPlayStateChange(int NewState);
    void OnStatusChange();
    void OnError();
    void OnVideoSizeChange();
    void OnTitleChange(const QString &title);
    void fullScreenChanged(bool on);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void playStateChanged(int state) override;
    void titleChanged(const QString &title) override { emit OnTitleChange(title); }
    void statusChanged(const QString &) override { emit OnStatusChange(); }
    void errorOccurred(const QString &description) override;
    void videoSizeChanged() override { emit OnVideoSizeChange(); }

    std::unique_ptr<engine::Engine> m_engine;
    QString m_error;
    QString m_uiMode = QStringLiteral("full");
    bool m_fullScreen = false;
    bool m_contextMenu = true;
    bool m_stretch = false;
};

// Engine 2, the stream engine (GStreamer): RTSP streams, RealMedia and playlist files it
// resolves itself, and anything else. States: 0 stopped, 1 contacting, 2 buffering,
// 3 playing, 4 paused.
class TRePlayer : public QWidget, private engine::Events
{
    Q_OBJECT

public:
    enum State { Stopped = 0, Contacting = 1, Buffering = 2, Playing = 3, Paused = 4 };

    TRePlayer(QWidget *parent, std::function<std::unique_ptr<engine::Engine>(QWidget *, engine::Events &)> make);
    ~TRePlayer() override;
    bool isValid() const { return bool(m_engine); }
    const engine::Engine &engine() const { return *m_engine; }

    void SetSource(const QString &source) { m_engine->setSource(source); }
    void SetRequestHeaders(const engine::RequestHeaders &headers) { m_engine->setRequestHeaders(headers); }
    QString GetSource() const { return m_engine->source(); }
    void DoPlay() { m_engine->play(); }
    void DoStop() { m_engine->stop(); }
    void DoPlayPause() { m_engine->togglePause(); }
    void SetVolume(int volume);
    int GetVolume() const { return m_volume; }
    void SetMute(bool mute);
    bool GetMute() const { return m_mute; }
    int GetClipWidth() const { return m_engine->naturalSize().width(); }
    int GetClipHeight() const { return m_engine->naturalSize().height(); }
    double GetDuration() const { return m_engine->duration(); }
    int GetPlayState() const { return m_engine->playState(); }
    QString GetTitle() const { return m_engine->title(); }
    engine::StreamInfo GetStreamInfo() const { return m_engine->info(); }
    void SetFullScreen();
    bool GetFullScreen() const { return m_fullScreen; }
    void leaveFullScreen();
    void SetControls(const QString &controls) { m_controls = controls; }

signals:
    void OnPlayStateChange(int lNewState);
    void OnShowStatus(const QString &statusText);
    void OnVideoSizeChange();
    void OnTitleChange(const QString &title);
    void fullScreenChanged(bool on);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void playStateChanged(int state) override { emit OnPlayStateChange(state); }
    void titleChanged(const QString &title) override { emit OnTitleChange(title); }
    void statusChanged(const QString &status) override;
    void errorOccurred(const QString &) override {}
    void videoSizeChanged() override { emit OnVideoSizeChange(); }

    std::unique_ptr<engine::Engine> m_engine;
    QString m_controls;
    int m_volume = 100;
    bool m_mute = false;
    bool m_fullScreen = false;
};

// The engines module beside the executable, loaded once. nullptr with a reason when it, libmpv
// or GStreamer cannot be loaded.
engine::Factory *LoadPlayerEngines(QString *why);
// Replaces the module (tests link the engines in); nullptr goes back to loading it.
void SetPlayerEngines(engine::Factory *factory);
// Loads the module and what its engines need on a worker thread, so the first stream starts
// sooner. Safe to call while the GUI thread asks for the engines.
void PreloadPlayerEngines();
