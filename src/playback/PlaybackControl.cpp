#include "PlaybackControl.h"

#include "AudioArtwork.h"
#include "FullScreen.h"
#include "NowPlaying.h"
#include "PlayerComponents.h"
#include "Reconnect.h"
#include "StatusLine.h"
#include "appearance/AnimatedPicture.h"
#include "base/AppInfo.h"
#include "base/NetworkScope.h"
#include "base/OutsideText.h"
#include "base/Prompter.h"
#include "base/ShellOpen.h"
#include "base/pGloba.h"
#include "online/VendorSite.h"

#include <QAction>
#include <QDateTime>
#include <QLabel>
#include <QNetworkInformation>
#include <QResizeEvent>
#include <QUrl>

PlaybackController::PlaybackController(const Widgets &widgets, TGlobal &global, VideoLayout &layout,
                                       FullScreen &fullScreen, QObject *parent)
    : QObject(parent), m_w(widgets), m_global(global), m_layout(layout), m_fullScreen(fullScreen)
{
    m_layout.setVideoSource([this] { return currentVideo(); });
    m_status = new StatusLine(m_w.labState, this);
    m_artwork = new AudioArtwork(m_w.imgWmplay);
    m_now = new NowPlaying(this);
    connect(m_now, &NowPlaying::trackChanged, this, [this] {
        m_artwork->setCaption(m_now->channel(), m_now->shownTitle());
        if (m_engineStatus == u"Playing" && !m_reconnect->isWaiting())
            showStatus(m_engineStatus); // the guide's programme changed
    });
    m_reconnect = new Reconnect(this);
    connect(m_reconnect, &Reconnect::retry, this, [this] {
        PlayStream(QString(), QString());
        ShowConnectingState();
        m_status->setText(m_reconnect->statusText());
    });
}

void PlaybackController::watchNetwork()
{
    // Where the platform tells network changes, a stream waiting to be tried again is tried at
    // once when the network comes back. Loaded with the first live stream, not at start.
    if (m_watchingNetwork)
        return;
    m_watchingNetwork = true;
    if (!QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability))
        return;
    connect(QNetworkInformation::instance(), &QNetworkInformation::reachabilityChanged, m_reconnect,
            [this](QNetworkInformation::Reachability reachability) {
                if (reachability == QNetworkInformation::Reachability::Online)
                    m_reconnect->tryNow();
            });
}

bool PlaybackController::reconnecting()
{
    const bool trying = m_reconnect->isTrying();
    if (!m_reconnect->dropped()) {
        if (trying)
            m_status->setText(m_engineStatus); // the tries are used up: why the last one failed
        return false;
    }
    ShowConnectingState();
    setButtons(true, false, true); // Stop ends the tries
    m_status->setText(m_reconnect->statusText());
    return true;
}

void PlaybackController::setArtwork(const QString &logoFile)
{
    m_artwork->setLogo(QPixmap(logoFile));
    m_now->setLogoFile(m_artwork->logo().isNull() ? QString() : logoFile);
    showArtwork();
}

bool PlaybackController::hasPicture() const
{
    const auto video = currentVideo();
    return video && !video->natural.isEmpty();
}

void PlaybackController::showArtwork()
{
    // A radio channel, or any stream without a picture: its name, title and logo, not black.
    const bool show = PlayState == 3 && (CurrentChannelType == 2 || !hasPicture());
    m_artwork->setVisible(show);
    if (show)
        m_artwork->raise(); // above the engines' views, made after it
}

void PlaybackController::titleChanged(int engine, const QString &title)
{
    if (engine != CurrentEngine)
        return;
    m_now->setStreamTitle(title);
    if (m_engineStatus == u"Playing" && !m_reconnect->isWaiting())
        showStatus(m_engineStatus);
}

void PlaybackController::showStatus(const QString &text)
{
    QString title = m_now->streamTitle();
    if (title.isEmpty() && !m_now->programme().isEmpty()) {
        // The guide's programme, with the time it has left.
        const qint64 left = (m_now->programmeStop() - QDateTime::currentSecsSinceEpoch() + 59) / 60;
        title = left > 0 ? QStringLiteral("%1 (%2 min left)").arg(m_now->programme()).arg(left) : m_now->programme();
    }
    m_status->setText(text == u"Playing" && !title.isEmpty() ? text + QStringLiteral(": ") + title : text);
}

QStringList PlaybackController::streamInfo() const
{
    if (!m_wm || m_now->isIdle())
        return {QStringLiteral("Nothing is playing")};
    const engine::StreamInfo info = CurrentEngine == 2 ? m_re->GetStreamInfo() : m_wm->streamInfo();
    QStringList lines{QStringLiteral("Engine: ") +
                          (CurrentEngine == 2 ? QStringLiteral("GStreamer") : QStringLiteral("libmpv")),
                      QStringLiteral("Address: ") + CurrentUrl};
    const auto add = [&lines](const char *field, const QString &value) {
        if (!value.isEmpty())
            lines.append(QLatin1StringView(field) + QStringLiteral(": ") + value);
    };
    add("Format", info.container);
    add("Audio", info.audioCodec);
    add("Video", info.videoCodec);
    if (!info.size.isEmpty())
        add("Resolution", QStringLiteral("%1 x %2").arg(info.size.width()).arg(info.size.height()));
    if (info.bitrate > 0)
        add("Bitrate", QStringLiteral("%1 kbit/s").arg((info.bitrate + 500) / 1000));
    if (info.bufferSeconds >= 0)
        add("Buffer", QStringLiteral("%1 s").arg(info.bufferSeconds, 0, 'f', 1));
    else if (info.bufferPercent >= 0)
        add("Buffer", QStringLiteral("%1%").arg(info.bufferPercent));
    return lines;
}

PlaybackController::~PlaybackController()
{
    FreePlayers();
    if (m_preload)
        m_preload->wait();
}

void PlaybackController::Preload()
{
    if (m_preload || m_wm)
        return;
    m_preload.reset(QThread::create(&PreloadPlayerEngines));
    m_preload->setObjectName(QStringLiteral("engines preload"));
    m_preload->start(QThread::LowPriority);
}

TWmPlayer *PlaybackController::wmplayer() const
{
    return m_wm;
}

TRePlayer *PlaybackController::rePlayer() const
{
    return m_re;
}

void PlaybackController::FreePlayers()
{
    m_fullScreen.leave();
    delete m_wm.data();
    delete m_re.data();
}

bool PlaybackController::CreatePlayers()
{
    QString why;
    engine::Factory *engines = LoadPlayerEngines(&why);
    std::unique_ptr<TWmPlayer> wm;
    std::unique_ptr<TRePlayer> re;
    if (engines) {
        const auto maker = [&](engine::Kind kind) {
            return [engines, kind, &why](QWidget *parent, engine::Events &events) {
                return engines->create(kind, parent, events, &why);
            };
        };
        wm = std::make_unique<TWmPlayer>(m_w.imgWmplay, maker(engine::Kind::Media));
        if (wm->isValid())
            re = std::make_unique<TRePlayer>(m_w.imgWmplay, maker(engine::Kind::Stream));
    }
    // Both or neither: a half-made pair would later play into an absent engine.
    if (!wm || !wm->isValid() || !re || !re->isValid()) {
        re.reset();
        wm.reset();
        qWarning("media engines unavailable: %s", qPrintable(why));
        ShowMessage(nullptr,
                    QStringLiteral("Zentavo uses libmpv and GStreamer's codecs to present the television and radio "
                                   "signals. Before using Zentavo,  you should install libmpv and the GStreamer "
                                   "plugins first."),
                    MsgIcon::Exclamation);
        ShellOpen(VendorSite() + QStringLiteral("download.htm"));
        return false;
    }
    m_wm = wm.release();
    m_wm->setObjectName(QStringLiteral("wmplayer"));
    m_wm->setEnableContextMenu(false);
    m_wm->setStretchToFit(true);
    m_wm->setUiMode(QStringLiteral("none"));
    m_wm->settings.setVolume(m_volume.value_or(50));
    m_wm->setGeometry(10, 10, 1, 1);
    m_wm->setFocusPolicy(Qt::ClickFocus);
    m_wm->hide();
    connect(m_wm, &TWmPlayer::OnStatusChange, this, &PlaybackController::wmplayerStatusChange);
    connect(m_wm, &TWmPlayer::OnPlayStateChange, this, &PlaybackController::wmplayerPlayStateChange);
    connect(m_wm, &TWmPlayer::OnError, this, &PlaybackController::wmplayerError);
    connect(m_wm, &TWmPlayer::OnVideoSizeChange, this, [this] { videoSizeChanged(1); });
    connect(m_wm, &TWmPlayer::OnTitleChange, this, [this](const QString &title) { titleChanged(1, title); });

    m_re = re.release();
    m_re->setObjectName(QStringLiteral("rePlayer"));
    m_re->setGeometry(10, 10, 2, 2);
    m_re->SetControls(QStringLiteral("ImageWindow"));
    if (m_volume)
        m_re->SetVolume(*m_volume);
    m_re->setFocusPolicy(Qt::ClickFocus);
    m_re->hide();
    connect(m_re, &TRePlayer::OnPlayStateChange, this, &PlaybackController::rePlayerPlayStateChange);
    connect(m_re, &TRePlayer::OnShowStatus, this, &PlaybackController::rePlayerShowStatus);
    connect(m_re, &TRePlayer::OnVideoSizeChange, this, [this] { videoSizeChanged(2); });
    connect(m_re, &TRePlayer::OnTitleChange, this, [this](const QString &title) { titleChanged(2, title); });

    connect(m_wm, &TWmPlayer::fullScreenChanged, this, [this](bool on) {
        if (on)
            m_fullScreen.enter(m_wm, [this] { m_wm->setFullScreen(false); });
    });
    connect(m_re, &TRePlayer::fullScreenChanged, this, [this](bool on) {
        if (on)
            m_fullScreen.enter(m_re, [this] { m_re->leaveFullScreen(); });
    });
    return true;
}

void PlaybackController::PlayStream(const QString &address, const QString &name)
{
    ++m_lookups; // a lookup still on its way is for a stream no longer asked for
    const bool judged = std::exchange(m_addressJudged, false);
    if (!address.isEmpty() && m_nextHeaders.fromWeb && !judged && !mayPlayFromWeb(address, name))
        return;
    if (!m_wm && !CreatePlayers())
        return;
    CurrentEngine = m_global.ChooseEngine(address.isEmpty() ? CurrentUrl : address);
    if (!address.isEmpty()) {
        CurrentUrl = address;
        m_requested = address;
        ++m_streamNumber;
        m_reconnect->cancel();
        m_artwork->setLogo({});
        m_artwork->hide();
        m_now->startChannel(name, address);
        const StreamHeaders h = std::exchange(m_nextHeaders, {});
        const engine::RequestHeaders headers{h.userAgent, h.referrer, h.cookie, h.fromWeb};
        m_wm->setRequestHeaders(headers);
        m_re->SetRequestHeaders(headers);
        if (CurrentEngine == 2)
            m_re->SetSource(address);
        else
            m_wm->setURL(address);
        m_w.window->setWindowTitle(AppTitle() + QStringLiteral(" - Playing -> ") + name);
    }
    if (CurrentEngine == 2) {
        m_re->show();
        m_wm->hide();
        m_wm->controls.stop();
        m_re->DoPlay();
    } else {
        m_re->resize(1, 1);
        m_re->hide();
        m_wm->show();
        m_re->DoStop();
        m_wm->controls.play();
        m_wm->show();
    }
    ShowPlayingState();
}

bool PlaybackController::mayPlayFromWeb(const QString &address, const QString &name)
{
    const QUrl url(address);
    const auto refuse = [this, address, name](const QString &why) {
        ShowMessage(m_w.window, QStringLiteral("\"%1\" is not played: %2.\n%3").arg(name, why, address),
                    MsgIcon::Exclamation);
    };
    if (const QString why = netscope::WebListRefusal(url); !why.isEmpty()) {
        m_nextHeaders = {};
        refuse(why);
        return false;
    }
    if (netscope::IsPrivateHost(url.host()).has_value())
        return true;
    // A name: where it leads is known once it is looked up.
    const StreamHeaders checked = std::exchange(m_nextHeaders, {});
    const int lookup = m_lookups;
    netscope::WhenLookedUp(url.host(), this, [=, this](bool isPrivate) {
        if (lookup != m_lookups)
            return;
        if (isPrivate) {
            refuse(QString::fromLatin1(netscope::kPrivateAddress));
            return;
        }
        m_nextHeaders = checked;
        m_addressJudged = true;
        PlayStream(address, name);
    });
    return false;
}

void PlaybackController::setButtons(std::optional<bool> play, std::optional<bool> pause, std::optional<bool> stop)
{
    if (play) {
        m_w.imgPlay->setEnabled(*play);
        m_w.actPlay->setEnabled(*play);
    }
    if (pause) {
        m_w.imgPause->setEnabled(*pause);
        m_w.actPause->setEnabled(*pause);
    }
    if (stop) {
        m_w.imgStop->setEnabled(*stop);
        m_w.actStop->setEnabled(*stop);
    }
}

void PlaybackController::ShowIdleState()
{
    m_now->setState(NowPlaying::State::Stopped);
    setButtons(true, false, false);
    m_artwork->hide();
    m_w.panFlash->show();
    m_w.imgWmplay->hide();
    m_w.gifConMedia->setAnimate(false);
}

void PlaybackController::ShowPlayingState()
{
    m_now->setState(NowPlaying::State::Playing);
    setButtons(false, true, true);
}

void PlaybackController::ShowPausedState()
{
    m_now->setState(NowPlaying::State::Paused);
    setButtons(true, false, true);
    m_w.gifConMedia->setAnimate(false);
}

void PlaybackController::ShowConnectingState()
{
    m_w.panFlash->show();
    m_w.imgWmplay->hide();
    m_w.gifConMedia->setAnimate(true);
}

void PlaybackController::wmplayerPlayStateChange(int NewState)
{
    // The engine not playing the current stream reports its own stop late (its events are
    // queued): only the current engine drives the display.
    if (CurrentEngine != 1)
        return;
    PlayState = NewState;
    switch (NewState) {
    case 0:
    case 1:
    case 10:
        if (reconnecting())
            break;
        m_fullScreen.leave();
        ShowIdleState();
        break;
    case 2:
        ShowPausedState();
        break;
    case 3:
        playing(true);
        break;
    case 8:
        m_fullScreen.leave();
        ShowConnectingState();
        break;
    default:
        ShowConnectingState();
        break;
    }
}

void PlaybackController::rePlayerPlayStateChange(int lNewState)
{
    if (CurrentEngine != 2)
        return;
    PlayState = lNewState;
    switch (lNewState) {
    case 0:
        if (reconnecting())
            break;
        if (m_engineStatus.startsWith(QLatin1StringView("Error: ")))
            emit streamFailed(m_requested, m_engineStatus.mid(7));
        m_fullScreen.leave();
        ShowIdleState();
        break;
    case 4:
        ShowPausedState();
        break;
    case 3:
        playing(false);
        break;
    default:
        ShowConnectingState();
        break;
    }
}

void PlaybackController::playing(bool firstEngine)
{
    const bool live = (firstEngine ? m_wm->currentMedia.duration() : m_re->GetDuration()) <= 0;
    m_reconnect->playing(live);
    emit streamPlayed(m_requested);
    if (live)
        watchNetwork();
    if (firstEngine)
        CurrentUrl = m_wm->currentMedia.sourceURL();
    ShowPlayingState();
    m_now->setVideo(hasPicture());
    m_w.gifConMedia->setAnimate(false);
    // The image's own flag: full screen hides the control bar, not the mute state.
    const bool muted = !m_w.imgmute->isHidden();
    if (firstEngine)
        m_wm->settings.setMute(muted);
    else
        m_re->SetMute(muted);
    if (CurrentChannelType == 2) {
        m_w.panFlash->hide();
        m_w.imgWmplay->show();
        showArtwork();
        if (firstEngine)
            m_w.act50->trigger();
    } else {
        m_layout.SetVideoSize(m_layout.VideoScale, false);
        showArtwork();
        // A radio channel's popup disabled the size commands and full screen: a video brings
        // them back for the keys too, not only for the next right click.
        for (QAction *a : {m_w.act50, m_w.act100, m_w.act200, m_w.actFull})
            a->setEnabled(true);
    }
}

void PlaybackController::videoSizeChanged(int engine)
{
    // The size may come after the engine said it plays (the second engine reports playing
    // before its first frame), or change with the stream: lay the picture out again.
    if (engine != CurrentEngine || PlayState != 3)
        return;
    m_now->setVideo(hasPicture());
    showArtwork();
    if (CurrentChannelType != 2)
        m_layout.SetVideoSize(m_layout.VideoScale, false);
}

void PlaybackController::wmplayerStatusChange()
{
    if (CurrentEngine == 1)
        showEngineStatus(m_wm->status());
}

void PlaybackController::SetStreamHeaders(const StreamHeaders &headers)
{
    m_nextHeaders = {outside::HeaderValue(headers.userAgent), outside::HeaderValue(headers.referrer),
                     outside::HeaderValue(headers.cookie), headers.fromWeb};
}

void PlaybackController::rePlayerShowStatus(const QString &statusText)
{
    if (CurrentEngine == 2)
        showEngineStatus(statusText);
}

void PlaybackController::showEngineStatus(const QString &text)
{
    m_engineStatus = text;
    // While a dropped stream is tried again, the status says so until it plays.
    if ((m_reconnect->isWaiting() || m_reconnect->isTrying()) && text != u"Playing")
        m_status->setText(m_reconnect->statusText());
    else
        showStatus(text);
}

void PlaybackController::wmplayerError()
{
    if (CurrentEngine != 1 || reconnecting())
        return;
    emit streamFailed(m_requested, m_wm->errorDescription());
    m_fullScreen.leave();
    ShowIdleState();
}

void PlaybackController::actPlayExecute()
{
    if (CurrentUrl.isEmpty()) {
        m_w.actOpen->trigger();
        return;
    }
    if (!m_w.imgPause->isEnabled()) {
        m_reconnect->cancel(); // the user's own try
        PlayStream(QString(), QString());
    }
}

void PlaybackController::actPauseExecute()
{
    if (!m_wm)
        return;
    if (CurrentEngine == 1)
        m_wm->controls.pause();
    else
        m_re->DoPlayPause();
}

void PlaybackController::actStopExecute()
{
    if (!m_wm)
        return;
    if (m_reconnect->isWaiting()) {
        // The stream is gone already: only the tries end.
        m_reconnect->cancel();
        ShowIdleState();
        m_status->setText(QStringLiteral("Stopped"));
        return;
    }
    m_reconnect->cancel();
    if (CurrentEngine == 1)
        m_wm->controls.stop();
    else
        m_re->DoStop();
}

void PlaybackController::actFullExecute()
{
    // Full screen is a switch: the same command (F11, F) returns.
    if (m_fullScreen.isActive()) {
        m_fullScreen.leave();
        return;
    }
    if (PlayState != 3 || !m_wm)
        return;
    try {
        if (CurrentEngine == 1)
            m_wm->setFullScreen(true);
        else
            m_re->SetFullScreen();
    } catch (const std::exception &e) {
        ShowMessage(m_w.window, QString::fromUtf8(e.what()), MsgIcon::Information);
    }
}

void PlaybackController::applyVolume(int volume)
{
    m_volume = volume;
    if (!m_wm)
        return;
    if (CurrentEngine == 1)
        m_wm->settings.setVolume(volume);
    else
        m_re->SetVolume(volume);
}

void PlaybackController::applyMute(bool mute)
{
    if (!m_wm)
        return;
    if (CurrentEngine == 1)
        m_wm->settings.setMute(mute);
    else
        m_re->SetMute(mute);
}

std::optional<VideoLayout::Video> PlaybackController::currentVideo() const
{
    if (!m_wm)
        return std::nullopt;
    if (CurrentEngine == 2)
        return VideoLayout::Video{m_re, QSize(m_re->GetClipWidth(), m_re->GetClipHeight())};
    return VideoLayout::Video{m_wm,
                              QSize(m_wm->currentMedia.imageSourceWidth(), m_wm->currentMedia.imageSourceHeight())};
}

void PlaybackController::FormResize()
{
    // The keyboard stays where the user put it (zapping through the tree goes on while a
    // video plays); the picture takes the focus only when clicked.
    if (!m_wm || !m_w.imgWmplay->isVisible())
        return;
    if (m_wm->isVisible())
        m_re->resize(1, 1);
}
