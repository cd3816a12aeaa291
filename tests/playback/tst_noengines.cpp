// CreatePlayers on a system where GStreamer has no plugins: both engines or neither.
#include "TestDirs.h"
#include "UiDriver.h"
#include "playback/PlaybackControl.h"
#include "shell/U_frm_Main.h"
#include "base/pGloba.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class tst_NoEngines : public QObject
{
    Q_OBJECT

private slots:
    void missingEnginesAreReportedAndRetried();
};

void tst_NoEngines::missingEnginesAreReportedAndRetried()
{
    qputenv("ZENTAVO_VENDOR_SITE", "http://127.0.0.1:9/site");
    TempAppDir dir;
    dir.installCatalogue();
    TGlobal g(dir.path());
    Tfrm_Main w(g);
    RecordingPrompter prompter;
    ShellRecorder shell;
    w.PlayStream(QStringLiteral("http://127.0.0.1:9/clip.mp4"), QStringLiteral("Clip"));
    QCOMPARE(prompter.texts(),
             {QStringLiteral("Zentavo uses libmpv and GStreamer's codecs to present the television and radio signals. "
                             "Before using Zentavo,  you should install libmpv and the GStreamer plugins first.")});
    QCOMPARE(prompter.messages[0].icon, MsgIcon::Exclamation);
    QCOMPARE(shell.opened, QStringList({"http://127.0.0.1:9/site/download.htm"}));
    QVERIFY(!w.playback()->wmplayer());
    QVERIFY(!w.playback()->rePlayer());
    QVERIFY(QFile::exists(QStringLiteral(ZENTAVO_ENGINES_DIR "/libzentavo-engines.so")));
    QCOMPARE(w.windowTitle(), QStringLiteral("Zentavo"));
    QVERIFY(w.findChild<QWidget *>(QStringLiteral("imgPlay"))->isEnabled());
    QVERIFY(!w.findChild<QWidget *>(QStringLiteral("imgStop"))->isEnabled());
    // The next request tries again.
    w.PlayStream(QStringLiteral("rtsp://127.0.0.1:9/x"), QStringLiteral("X"));
    QCOMPARE(prompter.messages.size(), 2);
    QVERIFY(!w.playback()->wmplayer());
    qunsetenv("ZENTAVO_VENDOR_SITE");
}

int main(int argc, char *argv[])
{
    // GStreamer finds no plugin at all: its engine cannot be made.
    QTemporaryDir empty;
    qputenv("GST_PLUGIN_SYSTEM_PATH_1_0", empty.path().toUtf8());
    qputenv("GST_PLUGIN_PATH_1_0", empty.path().toUtf8());
    qputenv("GST_REGISTRY_1_0", (empty.path() + QStringLiteral("/registry.bin")).toUtf8());
    qputenv("ZENTAVO_AUDIO_OUTPUT", "null");
    qputenv("ZENTAVO_ENGINES_DIR", ZENTAVO_ENGINES_DIR); // the real module, so GStreamer is what fails
    QApplication app(argc, argv);
    tst_NoEngines test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_noengines.moc"
