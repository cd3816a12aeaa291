#include "PlaybackBench.h"

#include "BenchRig.h"
#include "MediaFixtures.h"
#include "TestDirs.h"
#include "TestHttpServer.h"
#include "base/Prompter.h"
#include "base/pGloba.h"
#include "playback/PlaybackControl.h"
#include "playback/PlayerComponents.h"
#include "shell/U_frm_Main.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <sys/resource.h>

namespace {

// Waits (running events) until `done` or `ms` pass; returns the time taken, -1 on timeout.
double waitMs(const std::function<bool()> &done, int ms = 20000)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return -1;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return t.nsecsElapsed() / 1e6;
}

// Seconds in a log line's timestamp for the first line matching `pattern`.
double logTime(const QString &log, const QString &pattern, const QRegularExpression &stamp)
{
    for (const QString &line : log.split(u'\n')) {
        if (!line.contains(pattern))
            continue;
        const auto m = stamp.match(line);
        if (m.hasMatch())
            return m.captured(1).toDouble() * (m.capturedLength(2) ? 1 : 1);
    }
    return -1;
}

double mpvCliMs(const QString &url)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("mpv"),
            {QStringLiteral("--no-config"), QStringLiteral("--msg-time"), QStringLiteral("--msg-level=all=v"),
             QStringLiteral("--ao=null"), QStringLiteral("--vo=null"), QStringLiteral("--frames=1"), url});
    if (!p.waitForFinished(30000))
        return -1;
    const QString log = QString::fromUtf8(p.readAll());
    static const QRegularExpression stamp(QStringLiteral("^\\[\\s*([0-9.]+)\\]()"));
    // From the moment it opens the stream (after its scripts have loaded).
    const double start = logTime(log, QStringLiteral("] Opening "), stamp);
    const double frame = logTime(log, QStringLiteral("first video frame after restart shown"), stamp);
    return start < 0 || frame < 0 ? -1 : (frame - start) * 1000;
}

double gstCliMs(const QString &url)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("GST_DEBUG"), QStringLiteral("basesink:5,GST_STATES:4"));
    env.insert(QStringLiteral("GST_DEBUG_NO_COLOR"), QStringLiteral("1"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("gst-launch-1.0"),
            {QStringLiteral("playbin"), QStringLiteral("uri=") + url, QStringLiteral("flags=1"),
             QStringLiteral("video-sink=identity eos-after=1 ! fakesink sync=true")});
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
    }
    const QString log = QString::fromUtf8(p.readAll());
    static const QRegularExpression stamp(QStringLiteral("^([0-9]+:[0-9]+:[0-9.]+)()"));
    const auto seconds = [&](const QString &pattern) {
        for (const QString &line : log.split(u'\n')) {
            if (!line.contains(pattern))
                continue;
            const QStringList hms = line.section(u' ', 0, 0).split(u':');
            if (hms.size() == 3)
                return hms[0].toDouble() * 3600 + hms[1].toDouble() * 60 + hms[2].toDouble();
        }
        return -1.0;
    };
    const double start = seconds(QStringLiteral("<playbin0> committing state from NULL to READY"));
    const double frame = seconds(QStringLiteral("<fakesink0> prerolling object"));
    const double rendered = frame >= 0 ? frame : seconds(QStringLiteral("<fakesink0> rendering"));
    return start < 0 || rendered < 0 ? -1 : (rendered - start) * 1000;
}

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double cliCpuSeconds(const QStringList &command)
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/time"), QStringList{QStringLiteral("-f"), QStringLiteral("CPU %U %S")} + command);
    p.waitForFinished(60000);
    const QString err = QString::fromUtf8(p.readAllStandardError());
    const qsizetype at = err.lastIndexOf(QStringLiteral("CPU "));
    if (at < 0)
        return -1;
    const QStringList parts = err.mid(at + 4).trimmed().split(u' ');
    return parts.value(0).toDouble() + parts.value(1).toDouble();
}

long cliMaxRssKb(const QStringList &command)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start(QStringLiteral("/usr/bin/time"), QStringList{QStringLiteral("-f"), QStringLiteral("RSS %M")} + command);
    p.waitForFinished(60000);
    const QString err = QString::fromUtf8(p.readAllStandardError());
    const qsizetype at = err.lastIndexOf(QStringLiteral("RSS "));
    return at < 0 ? 0 : err.mid(at + 4).trimmed().toLong();
}

} // namespace

int RunPlaybackBench(int runs)
{
    qputenv("ZENTAVO_AUDIO_OUTPUT", "null");
    bench::QuietPrompter quiet;
    Prompter::install(&quiet);
    TestHttpServer http;
    Media::VideoMp4();
    Media::Hd720Mp4();
    http.serveDirectory(Media::Folder());
    QProcess rtspServer;
    rtspServer.start(QStringLiteral(ZENTAVO_TEST_RTSP), {});
    rtspServer.waitForReadyRead(10000);
    const QString rtsp =
        QStringLiteral("rtsp://127.0.0.1:%1/test").arg(QString::fromLatin1(rtspServer.readLine().trimmed().mid(5)));
    const QString clip = http.url(QStringLiteral("/clip.mp4"));
    // The same clip through the second engine: the address ends in a RealMedia extension.
    const QString clipOnSecond = http.url(QStringLiteral("/clip.mp4?as=.rm"));

    TempAppDir dir;
    dir.installCatalogue();
    TGlobal global(dir.path());
    Tfrm_Main window(global);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    PlaybackController *pc = window.playback();
    const long idleRss = bench::RssKb();

    const auto shown = [pc](int engineNo) {
        return engineNo == 1 ? pc->wmplayer()->engine().framesShown() : pc->rePlayer()->engine().framesShown();
    };
    // From PlayStream to the next new frame painted.
    const auto playOnce = [&](const QString &url, int engineNo) {
        const int before = pc->wmplayer() ? shown(engineNo) : 0;
        QElapsedTimer t;
        t.start();
        window.PlayStream(url, QStringLiteral("bench"));
        if (waitMs([&] { return pc->wmplayer() && shown(engineNo) > before; }) < 0)
            return -1.0;
        return t.nsecsElapsed() / 1e6;
    };
    const auto stopAll = [&] {
        window.findChild<QAction *>(QStringLiteral("actStop"))->trigger();
        waitMs([&] { return pc->PlayState != 3; }, 5000);
        QTest::qWait(100);
    };

    // A user's first click comes a moment after the window appears; the engines load meanwhile.
    QTest::qWait(2000);
    const WId nativeWindow = window.winId();
    const double cold = playOnce(clip, 1);
    bench::Report(QStringLiteral("first PlayStream of the process, 2 s after start-up, HTTP clip, engine 1"), cold,
                  QStringLiteral("ms"));
    bench::Report(QStringLiteral("native windows made for the main window by the first play"),
                  window.winId() != nativeWindow ? 1 : 0, QStringLiteral(""), 0, {}, QStringLiteral("target 0"));
    QTest::qWait(800);
    const long playingRss1 = bench::RssKb();
    stopAll();

    struct Case
    {
        QString name, url;
        int engine;
        bool viaPlayStream;
    };
    const QList<Case> cases = {
        {QStringLiteral("HTTP clip, engine 1 (libmpv)"), clip, 1, true},
        {QStringLiteral("HTTP clip, engine 2 (GStreamer)"), clipOnSecond, 2, true},
        {QStringLiteral("RTSP stream, engine 2 (GStreamer)"), rtsp, 2, true},
        {QStringLiteral("RTSP stream, engine 1 (libmpv, driven directly)"), rtsp, 1, false},
    };
    long playingRss2 = 0;
    for (const Case &c : cases) {
        QList<double> ours, mpvCli, gstCli;
        for (int i = 0; i < runs; ++i) {
            if (c.viaPlayStream) {
                ours.append(playOnce(c.url, c.engine));
            } else {
                // As the play operation does: the picture is shown once the engine plays.
                TWmPlayer *wm = pc->wmplayer();
                QElapsedTimer t;
                t.start();
                wm->setURL(c.url);
                wm->show();
                wm->controls.play();
                bool ok = waitMs([&] { return wm->playState() == 3; }) >= 0;
                const int before = wm->engine().framesShown();
                window.findChild<QWidget *>(QStringLiteral("panFlash"))->hide();
                window.findChild<QWidget *>(QStringLiteral("imgWmplay"))->show();
                wm->setGeometry(0, 0, 320, 240);
                ok = ok && waitMs([&] { return wm->engine().framesShown() > before; }) >= 0;
                ours.append(ok ? t.nsecsElapsed() / 1e6 : -1);
            }
            if (c.engine == 2 && c.url == clipOnSecond && i == 0) {
                QTest::qWait(800);
                playingRss2 = bench::RssKb();
            }
            stopAll();
            const QString peerUrl = c.url == clipOnSecond ? clip : c.url;
            if (c.engine == 1)
                mpvCli.append(mpvCliMs(peerUrl));
            else
                gstCli.append(gstCliMs(peerUrl));
        }
        if (c.engine == 1)
            bench::Report(QStringLiteral("PlayStream to first frame, ") + c.name, bench::Median(ours),
                          QStringLiteral("ms"), bench::Median(mpvCli), QStringLiteral("mpv CLI"),
                          QStringLiteral("target <= 1.2 x"));
        else
            bench::Report(QStringLiteral("PlayStream to first frame, ") + c.name, bench::Median(ours),
                          QStringLiteral("ms"), bench::Median(gstCli), QStringLiteral("gst-launch-1.0 playbin"),
                          QStringLiteral("target <= 1.2 x"));
    }
    // What showing the picture costs: CPU time of the whole process over 5 s of a 720p clip.
    {
        const QString hd = http.url(QStringLiteral("/hd720.mp4"));
        window.findChild<QAction *>(QStringLiteral("act50"))->trigger();
        window.PlayStream(hd, QStringLiteral("bench"));
        waitMs([&] { return pc->PlayState == 3; });
        const double before = cpuSeconds();
        const int framesBefore = shown(1);
        waitMs([] { return false; }, 5000);
        const double ours = cpuSeconds() - before;
        const int frames = shown(1) - framesBefore;
        stopAll();
        const bool display = QGuiApplication::platformName() == u"xcb" || QGuiApplication::platformName() == u"wayland";
        // mpv's own window at the size of our picture area, drawn the two ways a display offers.
        const QSize area = window.findChild<QWidget *>(QStringLiteral("imgWmplay"))->size();
        const QStringList common = {QStringLiteral("mpv"),
                                    QStringLiteral("--no-config"),
                                    QStringLiteral("--ao=null"),
                                    QStringLiteral("--geometry=%1x%2").arg(area.width()).arg(area.height()),
                                    QStringLiteral("--length=5"),
                                    QStringLiteral("--really-quiet"),
                                    hd};
        const QString what =
            QStringLiteral("CPU seconds for 5 s of a 720p30 clip shown at %1 x %2, engine 1 (%3 of 150 "
                           "frames painted)")
                .arg(area.width())
                .arg(area.height())
                .arg(frames);
        if (display) {
            bench::Report(what, ours, QStringLiteral("s"),
                          cliCpuSeconds(common + QStringList{QStringLiteral("--vo=x11")}),
                          QStringLiteral("mpv CLI --vo=x11"));
            bench::Report(
                what, ours, QStringLiteral("s"),
                cliCpuSeconds(common + QStringList{QStringLiteral("--vo=gpu"), QStringLiteral("--gpu-context=x11egl")}),
                QStringLiteral("mpv CLI --vo=gpu"));
        } else {
            bench::Report(what, ours, QStringLiteral("s"),
                          cliCpuSeconds(common + QStringList{QStringLiteral("--vo=null")}),
                          QStringLiteral("mpv CLI --vo=null"));
        }
    }
    bench::Report(QStringLiteral("resident memory idle (window shown)"), idleRss / 1024.0, QStringLiteral("MiB"));
    bench::Report(QStringLiteral("resident memory playing the clip, engine 1"), playingRss1 / 1024.0,
                  QStringLiteral("MiB"),
                  cliMaxRssKb({QStringLiteral("mpv"), QStringLiteral("--no-config"), QStringLiteral("--ao=null"),
                               QStringLiteral("--vo=null"), QStringLiteral("--really-quiet"), clip}) /
                      1024.0,
                  QStringLiteral("mpv CLI (max)"));
    bench::Report(QStringLiteral("resident memory playing the clip, engines 1+2 loaded, engine 2 playing"),
                  playingRss2 / 1024.0, QStringLiteral("MiB"),
                  cliMaxRssKb({QStringLiteral("gst-launch-1.0"), QStringLiteral("-q"), QStringLiteral("playbin"),
                               QStringLiteral("uri=") + clip, QStringLiteral("video-sink=fakesink sync=true"),
                               QStringLiteral("audio-sink=fakesink sync=true")}) /
                      1024.0,
                  QStringLiteral("gst-launch-1.0 (max)"));
    rtspServer.kill();
    rtspServer.waitForFinished();
    Prompter::install(nullptr);
    return 0;
}
