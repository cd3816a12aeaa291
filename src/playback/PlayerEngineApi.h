#pragma once

// The boundary between the program and its media engines module. Only plain C++ interfaces
// cross it; every call happens on the GUI thread and returns at once, and every event is
// reported on the GUI thread.

#include <QSize>
#include <QString>

#include <memory>

class QWidget;

namespace engine {

inline constexpr int kApiVersion = 6;

class Events
{
public:
    virtual ~Events() = default;
    virtual void playStateChanged(int state) = 0;
    virtual void statusChanged(const QString &status) = 0;
    virtual void errorOccurred(const QString &description) = 0;
    // The picture's natural size changed (the first frame, or a stream changing resolution).
    virtual void videoSizeChanged() = 0;
    // What the stream says plays now ("Artist - Title", or a title alone); "" when it says
    // nothing (again). Read from ICY metadata and the stream's tags.
    virtual void titleChanged(const QString &title) = 0;
};

// What the engine knows of the stream it plays, for the curious; unknown fields stay empty.
struct StreamInfo
{
    QString container;
    QString audioCodec;
    QString videoCodec;
    QSize size;
    qint64 bitrate = 0;        // bits per second, audio and video together
    double bufferSeconds = -1; // how much is read ahead
    int bufferPercent = -1;    // or how full the buffer is
};

// What a stream's server may want to see (many providers refuse requests without them).
// Empty fields: the engine's own defaults.
struct RequestHeaders
{
    QString userAgent;
    QString referrer;
    QString cookie;
    // Of a playlist from the internet: playlists it leads through, and the streams they name,
    // may not be local files nor addresses of this computer or its network.
    bool fromWeb = false;
};

// What both engines offer. Play states follow each engine's own numbering (see PlayerComponents.h).
class Engine
{
public:
    virtual ~Engine() = default;
    // The video surface, a child of the parent given at creation (owned by it).
    virtual QWidget *view() = 0;
    virtual void setSource(const QString &address) = 0;
    // Sent with the requests of the sources opened after it.
    virtual void setRequestHeaders(const RequestHeaders &headers) = 0;
    virtual QString source() const = 0;
    virtual void play() = 0;
    virtual void stop() = 0;
    virtual void pause() = 0;       // pauses a playing stream
    virtual void togglePause() = 0; // pauses a playing stream, resumes a paused one
    virtual void setVolume(int percent) = 0;
    virtual void setMute(bool mute) = 0;
    virtual QString playingAddress() const = 0; // the address actually playing
    virtual QSize naturalSize() const = 0;      // 0 x 0 without video
    // The length of what plays, in seconds, read when it started playing; 0 when it has none
    // (a live stream).
    virtual double duration() const = 0;
    virtual int playState() const = 0;
    virtual QString status() const = 0;
    // What the output really has (read back from the engine).
    virtual double outputVolume() const = 0; // 0..1 of full scale
    virtual bool outputMuted() const = 0;
    // How many new frames the view has painted so far.
    virtual int framesShown() const = 0;
    // The title reported last (see Events::titleChanged).
    virtual QString title() const = 0;
    virtual StreamInfo info() const = 0;
};

enum class Kind { Media /* first engine */, Stream /* second engine */ };

class Factory
{
public:
    virtual ~Factory() = default;
    virtual int apiVersion() const { return kApiVersion; }
    // Creates an engine whose view is a child of `parent`; nullptr with a reason on failure.
    virtual std::unique_ptr<Engine> create(Kind kind, QWidget *parent, Events &events, QString *why) = 0;
    // Loads what the first stream would otherwise wait for. Runs on a worker thread.
    virtual void preload() {}
};

} // namespace engine

// Exported by the engines module.
extern "C" engine::Factory *zentavo_player_engines();
