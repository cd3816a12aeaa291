#include "MpvEngine.h"

#include "Timeouts.h"
#include "base/NetworkScope.h"
#include "base/OutsideText.h"
#include "playback/NowPlaying.h"
#include "playback/PlaylistParser.h"
#include "playback/StreamError.h"

#include <QFileInfo>
#include <QUrl>
#include <clocale>
#include <cstring>

namespace {

enum Observed : uint64_t { ObsPause = 1, ObsPausedForCache, ObsBuffering, ObsWidth, ObsHeight, ObsPath, ObsMetadata };

// The title in mpv's metadata map: a radio's ICY title, else the tags' artist and title.
QString titleOf(const mpv_node &metadata)
{
    if (metadata.format != MPV_FORMAT_NODE_MAP)
        return {};
    QString icy, artist, title;
    const mpv_node_list *map = metadata.u.list;
    for (int i = 0; i < map->num; ++i) {
        if (map->values[i].format != MPV_FORMAT_STRING)
            continue;
        const QByteArray key = QByteArray(map->keys[i]).toLower();
        const QString value = QString::fromUtf8(map->values[i].u.string).trimmed();
        if (key == "icy-title")
            icy = value;
        else if (key == "artist")
            artist = value;
        else if (key == "title")
            title = value;
    }
    return icy.isEmpty() ? NowPlaying::Join(artist, title) : icy;
}

QString stringProperty(mpv_handle *h, const char *name)
{
    char *text = mpv_get_property_string(h, name);
    if (!text)
        return {};
    const QString value = QString::fromUtf8(text);
    mpv_free(text);
    return value;
}

QString fileArgument(const QString &address)
{
    // Local paths go to mpv as they are; addresses with a scheme as given.
    return address.trimmed();
}

} // namespace

std::unique_ptr<MpvEngine> MpvEngine::create(QWidget *parent, engine::Events &events, QString *why)
{
    // mpv refuses to start under a locale whose numbers are not written the C way.
    std::setlocale(LC_NUMERIC, "C");
    MpvHandle mpv(mpv_create());
    if (!mpv) {
        *why = QStringLiteral("libmpv could not be started");
        return nullptr;
    }
    mpv_handle *h = mpv.get();
    const auto opt = [h](const char *name, const char *value) {
        mpv_set_option_string(h, name, value);
    };
    opt("config", "no");
    opt("terminal", "no");
    opt("vo", "libmpv");
    opt("ytdl", "no");
    opt("hwdec", "auto-safe");
    opt("gpu-hwdec-interop", "no");
    opt("idle", "yes");
    opt("keep-open", "no");
    opt("input-default-bindings", "no");
    opt("input-vo-keyboard", "no");
    opt("osc", "no");
    opt("load-scripts", "no");
    opt("load-stats-overlay", "no");
    opt("load-osd-console", "no");
    opt("load-auto-profiles", "no");
    opt("audio-display", "no");
    const QByteArray timeout = QByteArray::number(qMax(1, ContactTimeoutMs() / 1000));
    opt("network-timeout", timeout.constData());
    opt("audio-client-name", "Zentavo");
    opt("volume", "100");
    if (qEnvironmentVariable("ZENTAVO_AUDIO_OUTPUT") == u"null")
        opt("ao", "null");
    if (mpv_initialize(h) < 0) {
        *why = QStringLiteral("libmpv could not be initialised");
        return nullptr;
    }
    std::unique_ptr<MpvEngine> engine(new MpvEngine(std::move(mpv), events));
    if (char *agent = mpv_get_property_string(h, "user-agent")) {
        engine->m_defaultUserAgent = agent;
        mpv_free(agent);
    }
    if (OpenGlAvailable()) {
        auto *gl = new MpvGlView(h, parent);
        if (!gl->isReady()) {
            delete gl;
            *why = QStringLiteral("libmpv could not draw with OpenGL");
            return nullptr;
        }
        engine->m_view = gl;
    } else {
        auto *sw = new MpvSwView(h, parent);
        if (!sw->isReady()) {
            delete sw;
            *why = QStringLiteral("libmpv offers no way to draw video here");
            return nullptr;
        }
        engine->m_view = sw;
    }
    return engine;
}

MpvEngine::MpvEngine(MpvHandle mpv, engine::Events &events) : m_mpv(std::move(mpv)), m_events(events)
{
    // A picture whose size never comes still plays.
    m_sizeTimeout.setSingleShot(true);
    m_sizeTimeout.setInterval(1000);
    connect(&m_sizeTimeout, &QTimer::timeout, this, [this] {
        if (m_awaitingSize)
            reportPlaying();
    });
    mpv_handle *h = m_mpv.get();
    mpv_observe_property(h, ObsPause, "pause", MPV_FORMAT_FLAG);
    mpv_observe_property(h, ObsPausedForCache, "paused-for-cache", MPV_FORMAT_FLAG);
    mpv_observe_property(h, ObsBuffering, "cache-buffering-state", MPV_FORMAT_INT64);
    mpv_observe_property(h, ObsWidth, "video-params/dw", MPV_FORMAT_INT64);
    mpv_observe_property(h, ObsHeight, "video-params/dh", MPV_FORMAT_INT64);
    mpv_observe_property(h, ObsPath, "path", MPV_FORMAT_STRING);
    mpv_observe_property(h, ObsMetadata, "metadata", MPV_FORMAT_NODE);
    // Every file mpv opens passes here, the entries of playlists it expands included.
    mpv_hook_add(h, 0, "on_load", 50);
    // Warnings and errors tell why a stream failed. For diagnosing a stream that will not
    // play, ZENTAVO_MPV_LOG=info (or v, debug) prints mpv's log as well.
    const QByteArray level = qgetenv("ZENTAVO_MPV_LOG");
    m_printLog = !level.isEmpty();
    mpv_request_log_messages(h, m_printLog ? level.constData() : "warn");
    mpv_set_wakeup_callback(h, &MpvEngine::onWakeup, this);
    m_status = QStringLiteral("Ready");
    m_failureDelay.setSingleShot(true);
    m_failureDelay.setInterval(150);
    connect(&m_failureDelay, &QTimer::timeout, this, &MpvEngine::reportFailure);
}

MpvEngine::~MpvEngine()
{
    // No callback may reach us any more, and the render context goes before the core.
    mpv_set_wakeup_callback(m_mpv.get(), nullptr, nullptr);
    if (m_view)
        m_view->release();
    m_mpv.reset();
}

void MpvEngine::onWakeup(void *self)
{
    auto *engine = static_cast<MpvEngine *>(self);
    // mpv's thread: only hand over to the GUI thread, once per batch of events.
    if (!engine->m_wakeupPending.exchange(true))
        QMetaObject::invokeMethod(engine, &MpvEngine::drainEvents, Qt::QueuedConnection);
}

void MpvEngine::drainEvents()
{
    m_wakeupPending = false;
    for (;;) {
        const mpv_event *e = mpv_wait_event(m_mpv.get(), 0);
        if (e->event_id == MPV_EVENT_NONE)
            break;
        handle(*e);
    }
}

void MpvEngine::setState(int state, const QString &status)
{
    const bool statusChanged = status != m_status;
    m_status = status;
    if (state != m_state) {
        m_state = state;
        m_events.playStateChanged(state);
    }
    if (statusChanged)
        m_events.statusChanged(m_status);
}

void MpvEngine::setStatus(const QString &status)
{
    if (status == m_status)
        return;
    m_status = status;
    m_events.statusChanged(m_status);
}

void MpvEngine::handle(const mpv_event &e)
{
    switch (e.event_id) {
    case MPV_EVENT_START_FILE:
        setTitle({});
        m_switching = false;
        m_started = true;
        m_loaded = false;
        m_running = false;
        setState(9, QStringLiteral("Connecting..."));
        break;
    case MPV_EVENT_FILE_LOADED:
        m_loaded = true;
        setState(6, QStringLiteral("Buffering (0%)"));
        break;
    case MPV_EVENT_PLAYBACK_RESTART:
        // The player lays the video out when it reports playing: with a video track, that
        // waits until the picture's size is known.
        readSize();
        m_awaitingSize = m_natural.isEmpty() && hasVideo();
        if (m_awaitingSize)
            m_sizeTimeout.start();
        else
            reportPlaying();
        break;
    case MPV_EVENT_END_FILE: {
        const auto *end = static_cast<const mpv_event_end_file *>(e.data);
        m_awaitingSize = false;
        m_sizeTimeout.stop();
        m_loaded = false;
        m_running = false;
        m_started = false;
        m_natural = QSize(0, 0);
        if (end->reason == MPV_END_FILE_REASON_ERROR) {
            // mpv's log lines that say why may come after the end of the file: the failure is
            // told a moment later.
            m_needLoad = !m_source.isEmpty();
            m_failure = QString::fromUtf8(mpv_error_string(end->error));
            m_failureAfterTimeout = m_loadClock.isValid() && m_loadClock.elapsed() >= ContactTimeoutMs() - 500;
            m_failureDelay.start();
        } else if (end->reason == MPV_END_FILE_REASON_EOF) {
            m_needLoad = !m_source.isEmpty();
            setState(8, QStringLiteral("Media ended"));
            setState(1, QStringLiteral("Stopped"));
        } else if (!m_switching) {
            m_needLoad = !m_source.isEmpty();
            setState(1, QStringLiteral("Stopped"));
        }
        break;
    }
    case MPV_EVENT_PROPERTY_CHANGE: {
        const auto *p = static_cast<const mpv_event_property *>(e.data);
        switch (e.reply_userdata) {
        case ObsPause:
            if (p->format == MPV_FORMAT_FLAG) {
                m_paused = *static_cast<int *>(p->data) != 0;
                if (m_loaded && m_paused)
                    setState(2, QStringLiteral("Paused"));
                else if (m_running && !m_pausedForCache && m_state == 2)
                    setState(3, QStringLiteral("Playing"));
            }
            break;
        case ObsPausedForCache:
            if (p->format == MPV_FORMAT_FLAG) {
                m_pausedForCache = *static_cast<int *>(p->data) != 0;
                if (m_loaded && m_pausedForCache && !m_paused)
                    setState(6, QStringLiteral("Buffering (0%)"));
                else if (m_running && !m_pausedForCache && !m_paused && m_state == 6)
                    setState(3, QStringLiteral("Playing"));
            }
            break;
        case ObsBuffering:
            if (p->format == MPV_FORMAT_INT64 && m_state == 6)
                setStatus(QStringLiteral("Buffering (%1%)").arg(*static_cast<int64_t *>(p->data)));
            break;
        case ObsWidth:
        case ObsHeight: {
            const int v = p->format == MPV_FORMAT_INT64 ? int(*static_cast<int64_t *>(p->data)) : 0;
            const QSize before = m_natural;
            (e.reply_userdata == ObsWidth ? m_natural.rwidth() : m_natural.rheight()) = v;
            if (m_awaitingSize && !m_natural.isEmpty())
                reportPlaying();
            else if (m_running && m_natural != before && !m_natural.isEmpty())
                m_events.videoSizeChanged();
            break;
        }
        case ObsPath:
            if (p->format == MPV_FORMAT_STRING)
                m_path = QString::fromUtf8(*static_cast<char **>(p->data));
            break;
        case ObsMetadata:
            setTitle(p->format == MPV_FORMAT_NODE ? titleOf(*static_cast<mpv_node *>(p->data)) : QString());
            break;
        default:
            break;
        }
        break;
    }
    case MPV_EVENT_HOOK:
        judgeOpening(static_cast<const mpv_event_hook *>(e.data)->id);
        break;
    case MPV_EVENT_LOG_MESSAGE: {
        const auto *m = static_cast<const mpv_event_log_message *>(e.data);
        const QByteArray text = QByteArray(m->text).trimmed();
        if (m_printLog)
            qInfo("mpv %s: %s", m->prefix, text.constData());
        if (m->log_level <= MPV_LOG_LEVEL_WARN && m_log.size() < 64)
            m_log.append(QString::fromUtf8(m->prefix) + QStringLiteral(": ") + QString::fromUtf8(text));
        break;
    }
    default:
        break;
    }
}

void MpvEngine::judgeOpening(uint64_t hook)
{
    if (!m_fromWeb) {
        mpv_hook_continue(m_mpv.get(), hook);
        return;
    }
    const QString address = stringProperty(m_mpv.get(), "stream-open-filename");
    // mpv waits for the answer; the engine going away ends mpv, and the wait with it.
    netscope::WhenJudged(StreamUrl(address), this, [this, hook, address](const QString &why) {
        if (!why.isEmpty()) {
            m_refusal = QStringLiteral("%1 is not opened: %2.").arg(address, why);
            mpv_set_property_string(m_mpv.get(), "stream-open-filename", "refused://");
        }
        mpv_hook_continue(m_mpv.get(), hook);
    });
}

void MpvEngine::reportFailure()
{
    drainEvents(); // the log lines that came meanwhile
    const QString text = m_refusal.isEmpty() ? MpvFailure(m_log, m_failure, m_failureAfterTimeout).describe()
                                             : std::exchange(m_refusal, {});
    m_status = QStringLiteral("Error: ") + text;
    m_events.statusChanged(m_status);
    m_events.errorOccurred(text);
    setState(10, m_status);
}

void MpvEngine::readSize()
{
    int64_t w = 0, h = 0;
    if (mpv_get_property(m_mpv.get(), "video-params/dw", MPV_FORMAT_INT64, &w) < 0 ||
        mpv_get_property(m_mpv.get(), "video-params/dh", MPV_FORMAT_INT64, &h) < 0)
        w = h = 0;
    m_natural = QSize(int(w), int(h));
}

bool MpvEngine::hasVideo() const
{
    int64_t vid = 0;
    return mpv_get_property(m_mpv.get(), "vid", MPV_FORMAT_INT64, &vid) >= 0 && vid > 0;
}

void MpvEngine::reportPlaying()
{
    // mpv estimates a length from what it has buffered of a live stream too: a length counts
    // where the stream can be seeked (a file, an HLS recording), which a live stream cannot.
    double length = 0;
    int seekable = 0;
    const bool known = mpv_get_property(m_mpv.get(), "duration", MPV_FORMAT_DOUBLE, &length) >= 0 && length > 0 &&
                       mpv_get_property(m_mpv.get(), "seekable", MPV_FORMAT_FLAG, &seekable) >= 0 && seekable;
    m_duration = known ? length : 0;
    m_awaitingSize = false;
    m_sizeTimeout.stop();
    m_running = m_loaded;
    if (m_loaded && !m_paused && !m_pausedForCache)
        setState(3, QStringLiteral("Playing"));
}

double MpvEngine::outputVolume() const
{
    double v = 0;
    mpv_get_property(m_mpv.get(), "volume", MPV_FORMAT_DOUBLE, &v);
    return v / 100.0;
}

bool MpvEngine::outputMuted() const
{
    int m = 0;
    mpv_get_property(m_mpv.get(), "mute", MPV_FORMAT_FLAG, &m);
    return m != 0;
}

void MpvEngine::setTitle(const QString &text)
{
    // Whatever the server sends as a title: a line of at most kTitle characters.
    const QString title = outside::Clean(text, outside::kTitle);
    if (title == m_title)
        return;
    m_title = title;
    m_events.titleChanged(m_title);
}

engine::StreamInfo MpvEngine::info() const
{
    engine::StreamInfo info;
    mpv_handle *h = m_mpv.get();
    info.container = stringProperty(h, "file-format");
    info.audioCodec = stringProperty(h, "audio-codec");
    if (hasVideo())
        info.videoCodec = stringProperty(h, "video-codec");
    info.size = m_natural;
    for (const char *name : {"audio-bitrate", "video-bitrate"}) {
        double bits = 0;
        if (mpv_get_property(h, name, MPV_FORMAT_DOUBLE, &bits) >= 0 && bits > 0)
            info.bitrate += qint64(bits);
    }
    double ahead = 0;
    if (mpv_get_property(h, "demuxer-cache-duration", MPV_FORMAT_DOUBLE, &ahead) >= 0)
        info.bufferSeconds = ahead;
    return info;
}

void MpvEngine::setSource(const QString &address)
{
    m_source = address;
    m_needLoad = true;
}

void MpvEngine::setRequestHeaders(const engine::RequestHeaders &given)
{
    // A value with a line break would add headers of its own: not sent.
    const engine::RequestHeaders headers{outside::HeaderValue(given.userAgent), outside::HeaderValue(given.referrer),
                                         outside::HeaderValue(given.cookie)};
    m_fromWeb = given.fromWeb;
    // Options read at the next loadfile. The referrer goes with the header fields: mpv's own
    // referrer option, once set, cannot be unset and sends an empty header.
    mpv_handle *h = m_mpv.get();
    const QByteArray agent = headers.userAgent.isEmpty() ? m_defaultUserAgent : headers.userAgent.toUtf8();
    mpv_set_property_string(h, "user-agent", agent.constData());
    QList<QByteArray> lines;
    if (!headers.referrer.isEmpty())
        lines.append("Referer: " + headers.referrer.toUtf8());
    if (!headers.cookie.isEmpty())
        lines.append("Cookie: " + headers.cookie.toUtf8());
    // A list node: a cookie's own commas must not split it into several fields.
    mpv_node fieldNodes[2]{};
    for (qsizetype i = 0; i < lines.size(); ++i) {
        fieldNodes[i].format = MPV_FORMAT_STRING;
        fieldNodes[i].u.string = lines[i].data();
    }
    mpv_node_list list{};
    list.num = int(lines.size());
    list.values = fieldNodes;
    mpv_node fields{};
    fields.format = MPV_FORMAT_NODE_ARRAY;
    fields.u.list = &list;
    mpv_set_property(h, "http-header-fields", MPV_FORMAT_NODE, &fields);
}

void MpvEngine::load()
{
    const QByteArray file = fileArgument(m_source).toUtf8();
    const char *cmd[] = {"loadfile", file.constData(), "replace", nullptr};
    m_switching = m_started;
    m_needLoad = false;
    if (m_view)
        m_view->forgetFrame();
    m_path = m_source;
    m_failureDelay.stop();
    m_log.clear();
    m_refusal.clear();
    m_loadClock.start();
    int no = 0;
    mpv_set_property_async(m_mpv.get(), 0, "pause", MPV_FORMAT_FLAG, &no);
    mpv_command_async(m_mpv.get(), 0, cmd);
    setState(9, QStringLiteral("Connecting..."));
}

void MpvEngine::play()
{
    if (m_needLoad && !m_source.isEmpty()) {
        load();
        return;
    }
    int no = 0;
    mpv_set_property_async(m_mpv.get(), 0, "pause", MPV_FORMAT_FLAG, &no);
}

void MpvEngine::stop()
{
    m_switching = false;
    const char *cmd[] = {"stop", nullptr};
    mpv_command_async(m_mpv.get(), 0, cmd);
    m_needLoad = !m_source.isEmpty();
}

void MpvEngine::pause()
{
    int yes = 1;
    mpv_set_property_async(m_mpv.get(), 0, "pause", MPV_FORMAT_FLAG, &yes);
}

void MpvEngine::togglePause()
{
    if (m_paused)
        play();
    else
        pause();
}

void MpvEngine::setVolume(int percent)
{
    double v = percent;
    mpv_set_property_async(m_mpv.get(), 0, "volume", MPV_FORMAT_DOUBLE, &v);
}

void MpvEngine::setMute(bool mute)
{
    int m = mute ? 1 : 0;
    mpv_set_property_async(m_mpv.get(), 0, "mute", MPV_FORMAT_FLAG, &m);
}
