#pragma once

#include "FrameView.h"
#include "Handles.h"
#include "PlaylistResolver.h"
#include "playback/ConnectionProbe.h"
#include "playback/PlayerEngineApi.h"

#include <QMutex>
#include <QObject>
#include <QTimer>
#include <atomic>
#include <gst/app/gstappsink.h>

// The second engine over GStreamer's playbin. Its bus and appsink callbacks, which run on
// GStreamer's threads, only hand messages and frames over to the GUI thread; a generation
// counter, bumped at every stop and start, drops what a previous stream left behind.
class GstEngine : public QObject, public engine::Engine
{
    Q_OBJECT

public:
    static std::unique_ptr<GstEngine> create(QWidget *parent, engine::Events &events, QString *why);
    // Starts GStreamer and loads the plugins a stream needs (thread-safe; for a worker thread).
    static void Preload();
    ~GstEngine() override;

    QWidget *view() override { return m_view; }
    void setSource(const QString &address) override { m_source = address; }
    void setRequestHeaders(const engine::RequestHeaders &headers) override;
    QString source() const override { return m_source; }
    void play() override;
    void stop() override;
    void pause() override;
    void togglePause() override;
    void setVolume(int percent) override;
    void setMute(bool mute) override;
    QString playingAddress() const override { return m_playing; }
    QSize naturalSize() const override { return m_natural; }
    double duration() const override { return m_duration; }
    int playState() const override { return m_state; }
    QString status() const override { return m_status; }
    double outputVolume() const override;
    bool outputMuted() const override;
    int framesShown() const override { return m_view->framesShown(); }
    QString title() const override { return m_title; }
    engine::StreamInfo info() const override;

private:
    GstEngine(GstPtr<GstElement> playbin, GstElement *volume, GstElement *frames, QWidget *parent,
              engine::Events &events);
    static GstBusSyncReply onBusMessage(GstBus *bus, GstMessage *message, gpointer self);
    static GstFlowReturn onNewSample(GstAppSink *sink, gpointer self);
    static GstFlowReturn onNewPreroll(GstAppSink *sink, gpointer self);
    static void onSourceSetup(GstElement *playbin, GstElement *source, gpointer self);
    void queueFrame(GstSample *sample);
    void showFrame();
    void handle(GstMessage *message, quint64 generation);
    void start(const QString &address);
    void open(const QString &address);
    void fail(const QString &why);
    // Fails with what `failure` says, finding out first why the server could not be reached
    // when GStreamer does not say.
    void failWith(const StreamFailure &failure);
    void halt();
    void setState(int state, const QString &status);
    void readTags(const GstTagList *tags);
    void setTitle(const QString &title);

    GstPtr<GstElement> m_playbin;
    GstElement *m_volume; // owned by the playbin
    GstElement *m_frames; // the appsink, owned by the playbin
    FrameView *m_view;    // owned by the parent widget
    engine::Events &m_events;
    PlaylistResolver m_resolver;
    ConnectionProbe m_probe;
    QTimer m_contactTimer;
    QTimer m_stallCheck;
    std::atomic<GstSample *> m_pendingFrame{nullptr};
    std::atomic<quint64> m_generation{0};
    std::atomic<int> m_latestBuffering{100};
    QString m_source;
    QMutex m_headersLock; // the source is set up on whichever thread starts it
    engine::RequestHeaders m_headers;
    QString m_playing;
    double m_duration = 0;
    QSize m_natural{0, 0};
    QString m_status;
    QString m_title;
    QString m_tagTitle;
    QString m_tagArtist;
    engine::StreamInfo m_info; // from the stream's tags
    int m_state = 0;
    bool m_live = false;
    bool m_buffering = false;
    bool m_starting = false; // opened: PLAYING is asked for once prerolled and buffered
    bool m_userPaused = false;
};
