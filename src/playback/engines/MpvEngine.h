#pragma once

#include "Handles.h"
#include "MpvViews.h"
#include "playback/PlayerEngineApi.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <atomic>

// The first engine over libmpv. mpv runs its own threads; its wakeup callback only re-posts to
// the GUI thread, where events are drained and turned into the play states of the first engine.
class MpvEngine : public QObject, public engine::Engine
{
    Q_OBJECT

public:
    static std::unique_ptr<MpvEngine> create(QWidget *parent, engine::Events &events, QString *why);
    ~MpvEngine() override;

    QWidget *view() override { return m_view; }
    void setSource(const QString &address) override;
    void setRequestHeaders(const engine::RequestHeaders &headers) override;
    QString source() const override { return m_source; }
    void play() override;
    void stop() override;
    void pause() override;
    void togglePause() override;
    void setVolume(int percent) override;
    void setMute(bool mute) override;
    QString playingAddress() const override { return m_path; }
    QSize naturalSize() const override { return m_natural; }
    double duration() const override { return m_duration; }
    int playState() const override { return m_state; }
    QString status() const override { return m_status; }
    double outputVolume() const override;
    bool outputMuted() const override;
    int framesShown() const override { return m_view ? m_view->framesShown() : 0; }
    QString title() const override { return m_title; }
    engine::StreamInfo info() const override;

private:
    MpvEngine(MpvHandle mpv, engine::Events &events);
    static void onWakeup(void *self);
    void drainEvents();
    void handle(const mpv_event &event);
    void setState(int state, const QString &status);
    void setStatus(const QString &status);
    void load();
    void readSize();
    bool hasVideo() const;
    void reportPlaying();
    void reportFailure();
    void setTitle(const QString &title);
    // A list from the internet may not make mpv open local files or this computer's network.
    void judgeOpening(uint64_t hook);

    MpvHandle m_mpv;
    engine::Events &m_events;
    QPointer<MpvView> m_view; // owned by the parent widget
    QString m_source;
    QByteArray m_defaultUserAgent; // mpv's own
    QString m_path;
    double m_duration = 0;
    QSize m_natural{0, 0};
    QString m_status;
    QString m_title;
    int m_state = 10; // Ready
    bool m_needLoad = false;
    bool m_started = false;   // a file is being opened or played
    bool m_loaded = false;    // a file is open
    bool m_running = false;   // it has started playing (its picture laid out)
    bool m_switching = false; // a new file replaces the current one: its end is no stop
    bool m_paused = false;
    bool m_pausedForCache = false;
    bool m_awaitingSize = false;
    QTimer m_sizeTimeout;
    QStringList m_log;         // mpv's warnings and errors since the stream was opened
    QElapsedTimer m_loadClock; // since the stream was opened
    bool m_printLog = false;   // ZENTAVO_MPV_LOG asks for mpv's log on the terminal
    QTimer m_failureDelay;     // the failure is told once the log lines that explain it are in
    QString m_failure;
    bool m_failureAfterTimeout = false;
    std::atomic_bool m_wakeupPending{false};
    bool m_fromWeb = false;
    QString m_refusal; // why the file being opened was not
};
