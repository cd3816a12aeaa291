#include "GstEngine.h"

#include "Timeouts.h"
#include "base/OutsideText.h"
#include "playback/NowPlaying.h"
#include "playback/PlaylistParser.h"

#include <QThread>
#include <gst/audio/streamvolume.h>
#include <gst/video/video.h>

namespace {

constexpr guint kPlayFlags = 0x1 /* video */ | 0x2 /* audio */ | 0x200 /* deinterlace */;

bool gstreamerReady(QString *why)
{
    static QString failure;
    static const bool ready = [] {
        GError *error = nullptr;
        if (!gst_init_check(nullptr, nullptr, &error)) {
            failure = error ? QString::fromUtf8(error->message) : QStringLiteral("GStreamer could not be started");
            if (error)
                g_error_free(error);
            return false;
        }
        return true;
    }();
    if (!ready)
        *why = failure;
    return ready;
}

GstElement *parseBin(const char *description, QString *why)
{
    GError *error = nullptr;
    GstElement *bin = gst_parse_bin_from_description(description, TRUE, &error);
    if (error) {
        *why = QStringLiteral("GStreamer is missing a plugin: %1").arg(QString::fromUtf8(error->message));
        g_error_free(error);
        if (bin)
            gst_object_unref(bin);
        return nullptr;
    }
    return bin;
}

} // namespace

void GstEngine::Preload()
{
    QString why;
    if (!gstreamerReady(&why))
        return;
    // Plugin libraries load once per process; a fresh process's first stream would wait for them.
    for (const char *plugin : {"playback",      "typefindfunctions",
                               "app",           "videoconvertscale",
                               "videoconvert",  "audioconvert",
                               "audioresample", "volume",
                               "autodetect",    "coreelements",
                               "soup",          "isomp4",
                               "libav",         "realmedia",
                               "rtsp",          "rtpmanager",
                               "rtp",           "udp",
                               "audioparsers",  "videoparsersbad",
                               "pulseaudio",    "alsa"}) {
        if (GstPlugin *p = gst_plugin_load_by_name(plugin))
            gst_object_unref(p);
    }
}

std::unique_ptr<GstEngine> GstEngine::create(QWidget *parent, engine::Events &events, QString *why)
{
    if (!gstreamerReady(why))
        return nullptr;
    GstElement *made = gst_element_factory_make("playbin", nullptr);
    if (!made) {
        *why = QStringLiteral("GStreamer's playbin is missing");
        return nullptr;
    }
    GstPtr<GstElement> playbin(GST_ELEMENT(gst_object_ref_sink(made)));

    GstElement *video = parseBin("videoconvert ! appsink name=frames", why);
    if (!video)
        return nullptr;
    const bool silent = qEnvironmentVariable("ZENTAVO_AUDIO_OUTPUT") == u"null";
    GstElement *audio = parseBin(silent ? "volume name=vol ! audioconvert ! audioresample ! fakeaudiosink sync=true"
                                        : "volume name=vol ! audioconvert ! audioresample ! autoaudiosink",
                                 why);
    if (!audio) {
        gst_object_unref(video);
        return nullptr;
    }
    GstElement *frames = gst_bin_get_by_name(GST_BIN(video), "frames");
    GstElement *volume = gst_bin_get_by_name(GST_BIN(audio), "vol");
    GstCaps *caps = gst_caps_from_string("video/x-raw,format=BGRx");
    g_object_set(frames, "caps", caps, "sync", TRUE, "drop", TRUE, "max-buffers", 1u, "qos", TRUE, nullptr);
    gst_caps_unref(caps);
    g_object_set(playbin.get(), "video-sink", video, "audio-sink", audio, "flags", kPlayFlags, nullptr);
    // The playbin holds the bins now; our references stay valid as long as it lives.
    gst_object_unref(frames);
    gst_object_unref(volume);
    return std::unique_ptr<GstEngine>(new GstEngine(std::move(playbin), volume, frames, parent, events));
}

GstEngine::GstEngine(GstPtr<GstElement> playbin, GstElement *volume, GstElement *frames, QWidget *parent,
                     engine::Events &events)
    : m_playbin(std::move(playbin)), m_volume(volume), m_frames(frames), m_view(new FrameView(parent)), m_events(events)
{
    GstPtr<GstBus> bus(gst_element_get_bus(m_playbin.get()));
    gst_bus_set_sync_handler(bus.get(), &GstEngine::onBusMessage, this, nullptr);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = &GstEngine::onNewSample;
    callbacks.new_preroll = &GstEngine::onNewPreroll;
    gst_app_sink_set_callbacks(GST_APP_SINK(m_frames), &callbacks, this, nullptr);
    g_signal_connect(m_playbin.get(), "source-setup", G_CALLBACK(&GstEngine::onSourceSetup), this);

    m_contactTimer.setSingleShot(true);
    m_contactTimer.setInterval(ContactTimeoutMs());
    connect(&m_contactTimer, &QTimer::timeout, this, [this] {
        StreamFailure timedOut;
        timedOut.fault = StreamFailure::TimedOut;
        fail(timedOut.describe());
    });
    connect(&m_probe, &ConnectionProbe::finished, this,
            [this](StreamFailure::Fault fault, int httpStatus, const QString &phrase) {
                StreamFailure found;
                found.fault = fault;
                found.httpStatus = httpStatus;
                found.detail = fault == StreamFailure::HttpStatus
                                   ? phrase
                                   : QStringLiteral("The server did not deliver the stream.");
                fail(found.describe());
            });
    // A state change to PAUSED that crossed the pipeline's own way from READY to PLAYING can
    // leave it prerolled with PLAYING pending for ever (GStreamer 1.22): seen under load, where
    // buffering is told late. A pipeline still waiting a moment after it prerolled is asked again.
    m_stallCheck.setSingleShot(true);
    m_stallCheck.setInterval(500);
    connect(&m_stallCheck, &QTimer::timeout, this, [this] {
        if (m_state == 0 || m_buffering || m_userPaused)
            return;
        GstState current = GST_STATE_VOID_PENDING, pending = GST_STATE_VOID_PENDING;
        gst_element_get_state(m_playbin.get(), &current, &pending, 0);
        if (current == GST_STATE_PAUSED && pending == GST_STATE_PLAYING) {
            gst_element_set_state(m_playbin.get(), GST_STATE_PAUSED);
            gst_element_set_state(m_playbin.get(), GST_STATE_PLAYING);
        }
    });
    connect(&m_resolver, &PlaylistResolver::resolved, this, &GstEngine::open);
    connect(&m_resolver, &PlaylistResolver::failed, this, &GstEngine::fail);
    m_status = QStringLiteral("Ready");
}

GstEngine::~GstEngine()
{
    m_resolver.cancel();
    // Going to NULL joins GStreamer's threads: after it no callback can run.
    gst_element_set_state(m_playbin.get(), GST_STATE_NULL);
    GstPtr<GstBus> bus(gst_element_get_bus(m_playbin.get()));
    gst_bus_set_sync_handler(bus.get(), nullptr, nullptr, nullptr);
    if (GstSample *left = m_pendingFrame.exchange(nullptr))
        gst_sample_unref(left);
    m_playbin.reset();
}

GstBusSyncReply GstEngine::onBusMessage(GstBus *, GstMessage *message, gpointer self)
{
    auto *engine = static_cast<GstEngine *>(self);
    // The GUI thread acts on the newest level, not on every step it passed through on the way.
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_BUFFERING) {
        gint percent = 100;
        gst_message_parse_buffering(message, &percent);
        engine->m_latestBuffering = percent;
    }
    // GStreamer's thread: hand the message (and our reference to it) to the GUI thread.
    std::shared_ptr<GstMessage> held(message, gst_message_unref);
    const quint64 generation = engine->m_generation.load();
    QMetaObject::invokeMethod(
        engine, [engine, held, generation] { engine->handle(held.get(), generation); }, Qt::QueuedConnection);
    return GST_BUS_DROP;
}

GstFlowReturn GstEngine::onNewSample(GstAppSink *sink, gpointer self)
{
    static_cast<GstEngine *>(self)->queueFrame(gst_app_sink_pull_sample(sink));
    return GST_FLOW_OK;
}

GstFlowReturn GstEngine::onNewPreroll(GstAppSink *sink, gpointer self)
{
    static_cast<GstEngine *>(self)->queueFrame(gst_app_sink_pull_preroll(sink));
    return GST_FLOW_OK;
}

void GstEngine::queueFrame(GstSample *sample)
{
    // Only the newest frame is kept; the GUI is woken once per batch.
    if (GstSample *old = m_pendingFrame.exchange(sample))
        gst_sample_unref(old);
    else if (sample)
        QMetaObject::invokeMethod(this, &GstEngine::showFrame, Qt::QueuedConnection);
}

void GstEngine::setRequestHeaders(const engine::RequestHeaders &headers)
{
    const QMutexLocker lock(&m_headersLock);
    // A value with a line break would add headers of its own: not sent.
    m_headers = {outside::HeaderValue(headers.userAgent), outside::HeaderValue(headers.referrer),
                 outside::HeaderValue(headers.cookie), headers.fromWeb};
}

void GstEngine::onSourceSetup(GstElement *, GstElement *source, gpointer self)
{
    // Emitted while the pipeline starts, before the source runs; only properties are set.
    GObjectClass *klass = G_OBJECT_GET_CLASS(source);
    engine::RequestHeaders headers;
    {
        auto *engine = static_cast<GstEngine *>(self);
        const QMutexLocker lock(&engine->m_headersLock);
        headers = engine->m_headers;
    }
    if (!headers.userAgent.isEmpty() && g_object_class_find_property(klass, "user-agent"))
        g_object_set(source, "user-agent", headers.userAgent.toUtf8().constData(), nullptr);
    if (!headers.referrer.isEmpty() && g_object_class_find_property(klass, "extra-headers")) {
        GstStructure *extra = gst_structure_new_empty("extra-headers");
        gst_structure_set(extra, "Referer", G_TYPE_STRING, headers.referrer.toUtf8().constData(), nullptr);
        g_object_set(source, "extra-headers", extra, nullptr);
        gst_structure_free(extra);
    }
    // A Cookie among the extra headers gives way to libsoup's cookie jar; its own property stays.
    if (!headers.cookie.isEmpty() && g_object_class_find_property(klass, "cookies")) {
        const QByteArray cookie = headers.cookie.toUtf8();
        const gchar *cookies[] = {cookie.constData(), nullptr};
        g_object_set(source, "cookies", cookies, nullptr);
    }
    if (g_object_class_find_property(klass, "latency") && QByteArray(G_OBJECT_TYPE_NAME(source)) == "GstRTSPSrc")
        g_object_set(source, "latency", 200u, nullptr); // the default 2 s stalls the picture
    if (g_object_class_find_property(klass, "timeout") && QByteArray(G_OBJECT_TYPE_NAME(source)) == "GstSoupHTTPSrc")
        g_object_set(source, "timeout", 15u, nullptr);
}

void GstEngine::showFrame()
{
    GstSamplePtr sample(m_pendingFrame.exchange(nullptr));
    if (!sample)
        return;
    GstVideoInfo info;
    if (!gst_video_info_from_caps(&info, gst_sample_get_caps(sample.get())))
        return;
    struct Mapped
    {
        GstSamplePtr sample;
        GstVideoFrame frame;
    };
    auto *mapped = new Mapped{std::move(sample), {}};
    if (!gst_video_frame_map(&mapped->frame, &info, gst_sample_get_buffer(mapped->sample.get()), GST_MAP_READ)) {
        delete mapped;
        return;
    }
    const int w = GST_VIDEO_INFO_WIDTH(&info);
    const int h = GST_VIDEO_INFO_HEIGHT(&info);
    const int parN = GST_VIDEO_INFO_PAR_N(&info) > 0 ? GST_VIDEO_INFO_PAR_N(&info) : 1;
    const int parD = GST_VIDEO_INFO_PAR_D(&info) > 0 ? GST_VIDEO_INFO_PAR_D(&info) : 1;
    const QSize natural =
        parN >= parD ? QSize(int(qint64(w) * parN / parD), h) : QSize(w, int(qint64(h) * parD / parN));
    const bool resized = natural != m_natural;
    m_natural = natural;
    // The image uses the mapped buffer directly and frees it when the last copy goes.
    const QImage image(
        static_cast<const uchar *>(GST_VIDEO_FRAME_PLANE_DATA(&mapped->frame, 0)), w, h,
        GST_VIDEO_FRAME_PLANE_STRIDE(&mapped->frame, 0), QImage::Format_RGB32,
        [](void *p) {
            auto *m = static_cast<Mapped *>(p);
            gst_video_frame_unmap(&m->frame);
            delete m;
        },
        mapped);
    m_view->setFrame(image, m_natural);
    if (resized)
        m_events.videoSizeChanged();
}

void GstEngine::setState(int state, const QString &status)
{
    const bool statusChanged = status != m_status;
    m_status = status;
    if (statusChanged)
        m_events.statusChanged(m_status);
    if (state != m_state) {
        m_state = state;
        m_events.playStateChanged(state);
    }
}

void GstEngine::halt()
{
    ++m_generation;
    m_resolver.cancel();
    m_probe.cancel();
    m_contactTimer.stop();
    m_stallCheck.stop();
    gst_element_set_state(m_playbin.get(), GST_STATE_NULL);
    m_latestBuffering = 100;
    if (GstSample *left = m_pendingFrame.exchange(nullptr))
        gst_sample_unref(left);
    m_buffering = false;
    m_starting = false;
    m_userPaused = false;
}

void GstEngine::play()
{
    if (m_state == 4 && m_playing == m_source) {
        m_userPaused = false;
        gst_element_set_state(m_playbin.get(), GST_STATE_PLAYING);
        return;
    }
    if (m_state != 0 && m_playing == m_source)
        return; // already on its way
    start(m_source);
}

void GstEngine::readTags(const GstTagList *tags)
{
    const auto text = [tags](const char *tag, QString &into) {
        gchar *value = nullptr;
        if (gst_tag_list_get_string(tags, tag, &value)) {
            into = QString::fromUtf8(value).trimmed();
            g_free(value);
        }
    };
    text(GST_TAG_TITLE, m_tagTitle);
    text(GST_TAG_ARTIST, m_tagArtist);
    text(GST_TAG_CONTAINER_FORMAT, m_info.container);
    text(GST_TAG_AUDIO_CODEC, m_info.audioCodec);
    text(GST_TAG_VIDEO_CODEC, m_info.videoCodec);
    guint bits = 0;
    if (gst_tag_list_get_uint(tags, GST_TAG_BITRATE, &bits) ||
        gst_tag_list_get_uint(tags, GST_TAG_NOMINAL_BITRATE, &bits))
        m_info.bitrate = bits;
    setTitle(NowPlaying::Join(m_tagArtist, m_tagTitle));
}

void GstEngine::setTitle(const QString &text)
{
    // Whatever the server sends as a title: a line of at most kTitle characters.
    const QString title = outside::Clean(text, outside::kTitle);
    if (title == m_title)
        return;
    m_title = title;
    m_events.titleChanged(m_title);
}

engine::StreamInfo GstEngine::info() const
{
    engine::StreamInfo info = m_info;
    info.size = m_natural;
    if (m_state != 0)
        info.bufferPercent = m_latestBuffering.load();
    return info;
}

void GstEngine::start(const QString &address)
{
    halt();
    m_tagTitle.clear();
    m_tagArtist.clear();
    m_info = {};
    setTitle({});
    m_playing = address;
    m_natural = QSize(0, 0);
    m_live = false;
    m_view->clear();
    if (address.trimmed().isEmpty()) {
        setState(0, QStringLiteral("Stopped"));
        return;
    }
    setState(1, QStringLiteral("Contacting..."));
    m_contactTimer.start();
    if (PlaylistKindFor(address) != PlaylistKind::None)
        m_resolver.resolve(address, m_headers.fromWeb);
    else
        open(address);
}

void GstEngine::open(const QString &address)
{
    const QByteArray uri = StreamUrl(address).toEncoded();
    g_object_set(m_playbin.get(), "uri", uri.constData(), nullptr);
    // Prerolled and buffered first, then PLAYING: a pause for buffering asked for on the way
    // straight to PLAYING could leave the pipeline in PAUSED with PLAYING pending for good
    // (GStreamer 1.22; seen on reconnects).
    const GstStateChangeReturn r = gst_element_set_state(m_playbin.get(), GST_STATE_PAUSED);
    if (r == GST_STATE_CHANGE_FAILURE) {
        fail(QStringLiteral("The stream could not be opened."));
    } else if (r == GST_STATE_CHANGE_ASYNC) {
        m_starting = true; // PLAYING once prerolled (ASYNC_DONE) and buffered
    } else {
        m_live = r == GST_STATE_CHANGE_NO_PREROLL;
        gst_element_set_state(m_playbin.get(), GST_STATE_PLAYING);
    }
}

void GstEngine::failWith(const StreamFailure &failure)
{
    const QUrl url = StreamUrl(m_playing);
    if (failure.needsProbe() && ConnectionProbe::canProbe(url)) {
        halt();
        m_probe.start(url); // its answer fails the stream
        return;
    }
    fail(failure.describe());
}

void GstEngine::fail(const QString &why)
{
    halt();
    m_natural = QSize(0, 0);
    setState(0, QStringLiteral("Error: ") + why);
}

void GstEngine::stop()
{
    halt();
    m_view->clear();
    setState(0, QStringLiteral("Stopped"));
}

void GstEngine::pause()
{
    if (m_state != 3)
        return;
    m_userPaused = true;
    gst_element_set_state(m_playbin.get(), GST_STATE_PAUSED);
}

void GstEngine::togglePause()
{
    if (m_state == 4)
        play();
    else
        pause();
}

void GstEngine::setVolume(int percent)
{
    const double linear = gst_stream_volume_convert_volume(
        GST_STREAM_VOLUME_FORMAT_CUBIC, GST_STREAM_VOLUME_FORMAT_LINEAR, qBound(0, percent, 100) / 100.0);
    g_object_set(m_volume, "volume", linear, nullptr);
}

double GstEngine::outputVolume() const
{
    gdouble linear = 0;
    g_object_get(m_volume, "volume", &linear, nullptr);
    return gst_stream_volume_convert_volume(GST_STREAM_VOLUME_FORMAT_LINEAR, GST_STREAM_VOLUME_FORMAT_CUBIC, linear);
}

bool GstEngine::outputMuted() const
{
    gboolean mute = FALSE;
    g_object_get(m_volume, "mute", &mute, nullptr);
    return mute;
}

void GstEngine::setMute(bool mute)
{
    g_object_set(m_volume, "mute", gboolean(mute), nullptr);
}

void GstEngine::handle(GstMessage *message, quint64 generation)
{
    if (generation != m_generation.load())
        return; // left over from a stream that was stopped or replaced
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ERROR: {
        GError *error = nullptr;
        gchar *debug = nullptr;
        gst_message_parse_error(message, &error, &debug);
        const GErrorPtr errorHeld(error);
        const GCharPtr debugHeld(debug);
        if (!error) {
            fail(QStringLiteral("Playback failed."));
            break;
        }
        failWith(GstFailure(QString::fromUtf8(g_quark_to_string(error->domain)), error->code,
                            QString::fromUtf8(error->message), QString::fromUtf8(debug ? debug : ""),
                            QString::fromUtf8(GST_OBJECT_NAME(GST_MESSAGE_SRC(message)))));
        break;
    }
    case GST_MESSAGE_TAG: {
        GstTagList *tags = nullptr;
        gst_message_parse_tag(message, &tags);
        if (tags) {
            readTags(tags);
            gst_tag_list_unref(tags);
        }
        break;
    }
    case GST_MESSAGE_EOS:
        halt();
        setState(0, QStringLiteral("Stopped"));
        break;
    case GST_MESSAGE_BUFFERING: {
        if (m_live)
            break;
        // Messages reach us late, in a burst: a pause and resume for levels long passed would
        // cross the pipeline's own way to PLAYING.
        const int percent = m_latestBuffering.load();
        if (percent < 100) {
            if (!m_userPaused && m_state != 0) {
                if (!m_buffering) {
                    m_buffering = true;
                    gst_element_set_state(m_playbin.get(), GST_STATE_PAUSED);
                }
                setState(2, QStringLiteral("Buffering (%1%)").arg(percent));
            }
        } else if (m_buffering) {
            m_buffering = false;
            m_starting = false;
            if (!m_userPaused)
                gst_element_set_state(m_playbin.get(), GST_STATE_PLAYING);
        }
        break;
    }
    case GST_MESSAGE_STATE_CHANGED: {
        if (GST_MESSAGE_SRC(message) != GST_OBJECT(m_playbin.get()))
            break;
        GstState oldState, newState, pending;
        gst_message_parse_state_changed(message, &oldState, &newState, &pending);
        if (newState == GST_STATE_PLAYING) {
            m_contactTimer.stop();
            gint64 length = -1;
            m_duration = gst_element_query_duration(m_playbin.get(), GST_FORMAT_TIME, &length) && length > 0
                             ? double(length) / GST_SECOND
                             : 0;
            setState(3, QStringLiteral("Playing"));
        } else if (newState == GST_STATE_PAUSED && m_userPaused) {
            setState(4, QStringLiteral("Paused"));
        }
        break;
    }
    case GST_MESSAGE_ELEMENT: {
        const GstStructure *s = gst_message_get_structure(message);
        if (s && gst_structure_has_name(s, "redirect")) {
            if (const gchar *location = gst_structure_get_string(s, "new-location")) {
                const QString next = StreamUrl(m_playing).resolved(QUrl(QString::fromUtf8(location))).toString();
                gst_element_set_state(m_playbin.get(), GST_STATE_READY);
                open(next);
            }
        }
        break;
    }
    case GST_MESSAGE_ASYNC_DONE:
        if (m_state == 0 || m_buffering || m_userPaused)
            break;
        if (m_starting) {
            m_starting = false;
            gst_element_set_state(m_playbin.get(), GST_STATE_PLAYING);
        }
        m_stallCheck.start();
        break;
    case GST_MESSAGE_CLOCK_LOST:
        gst_element_set_state(m_playbin.get(), GST_STATE_PAUSED);
        gst_element_set_state(m_playbin.get(), GST_STATE_PLAYING);
        break;
    case GST_MESSAGE_LATENCY:
        gst_bin_recalculate_latency(GST_BIN(m_playbin.get()));
        break;
    default:
        break;
    }
}
