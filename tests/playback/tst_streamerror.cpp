// What the engines said in real failures (libmpv 0.35, GStreamer 1.22), and what the user reads.
#include "TestHttpServer.h"
#include "playback/ConnectionProbe.h"
#include "playback/StreamError.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

class tst_StreamError : public QObject
{
    Q_OBJECT

private slots:
    void mpv_data();
    void mpv();
    void gstreamer_data();
    void gstreamer();
    void probeTellsWhatTheServerSays();
};

void tst_StreamError::mpv_data()
{
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<QString>("error");
    QTest::addColumn<bool>("timeoutPassed");
    QTest::addColumn<QString>("says");
    const QString failed = QStringLiteral("stream: Failed to open http://127.0.0.1:8765/x.mp4.");
    QTest::newRow("404") << QStringList{QStringLiteral("ffmpeg: http: HTTP error 404 File not found"), failed}
                         << "loading failed" << false
                         << "The server has no stream at this address (HTTP 404 File not found).";
    QTest::newRow("403") << QStringList{QStringLiteral("ffmpeg: http: HTTP error 403 Forbidden"), failed}
                         << "loading failed" << false
                         << "The server does not allow access to this stream (HTTP 403 Forbidden).";
    QTest::newRow("503") << QStringList{QStringLiteral("ffmpeg: http: HTTP error 503 Service Unavailable")}
                         << "loading failed" << false
                         << "The server failed to deliver the stream (HTTP 503 Service Unavailable).";
    QTest::newRow("refused")
        << QStringList{QStringLiteral("ffmpeg: tcp: Connection to tcp://127.0.0.1:1 failed: Connection refused"),
                       failed}
        << "loading failed" << false << "The server refused the connection.";
    QTest::newRow("unknown host") << QStringList{QStringLiteral("ffmpeg: tcp: Failed to resolve hostname "
                                                                "no-such-host.invalid: Name or service not known")}
                                  << "loading failed" << false << "The server's name could not be found.";
    QTest::newRow("no file") << QStringList{QStringLiteral(
                                    "file: Cannot open file '/nonexistent/x.mp4': No such file or directory")}
                             << "loading failed" << false << "The file does not exist.";
    QTest::newRow("not media") << QStringList() << "unrecognized file format" << false
                               << "The address holds no audio or video that can be played.";
    QTest::newRow("silent server") << QStringList{failed} << "loading failed" << true
                                   << "The server did not answer in time.";
    QTest::newRow("nothing said") << QStringList{failed} << "loading failed" << false << "Loading failed.";
}

void tst_StreamError::mpv()
{
    QFETCH(QStringList, log);
    QFETCH(QString, error);
    QFETCH(bool, timeoutPassed);
    QTEST(MpvFailure(log, error, timeoutPassed).describe(), "says");
}

void tst_StreamError::gstreamer_data()
{
    QTest::addColumn<QString>("domain");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("debug");
    QTest::addColumn<QString>("origin");
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("says");
    const QString resource = QStringLiteral("gst-resource-error-quark");
    const QString stream = QStringLiteral("gst-stream-error-quark");
    QTest::newRow("404") << resource << 3 << "File not found"
                         << "gstsouphttpsrc.c(1683): ...:\nFile not found (404), URL: http://x/missing.mp4"
                         << "source" << int(StreamFailure::HttpStatus)
                         << "The server has no stream at this address (HTTP 404 File not found).";
    QTest::newRow("html page") << "gst-core-error-quark" << 12 << "Your GStreamer installation is missing a plug-in."
                               << "no suitable plugins found:\nMissing decoder: text/html (text/html)"
                               << "uridecodebin0" << int(StreamFailure::NotMedia)
                               << "The address holds no audio or video that can be played.";
    QTest::newRow("missing codec") << "gst-core-error-quark" << 12
                                   << "Your GStreamer installation is missing a plug-in."
                                   << "Missing decoder: RealAudio (audio/x-pn-realaudio)"
                                   << "uridecodebin0" << int(StreamFailure::MissingCodec)
                                   << "No decoder for this stream's format is installed.";
    QTest::newRow("noise") << stream << 4 << "Could not determine type of stream."
                           << ""
                           << "typefindelement0" << int(StreamFailure::NotMedia)
                           << "The address holds no audio or video that can be played.";
    QTest::newRow("empty") << stream << 4 << "Stream doesn't contain enough data."
                           << "Can't typefind stream"
                           << "typefindelement0" << int(StreamFailure::NotMedia)
                           << "The address holds no audio or video that can be played.";
    QTest::newRow("source stopped") << stream << 1 << "Internal data stream error."
                                    << "streaming stopped, reason error (-5)"
                                    << "source" << int(StreamFailure::NoConnection)
                                    << "The server could not be reached.";
    QTest::newRow("demuxer stopped") << stream << 1 << "Internal data stream error."
                                     << "streaming stopped, reason error (-5)"
                                     << "qtdemux0" << int(StreamFailure::Unknown) << "Internal data stream error.";
    QTest::newRow("rtsp connect") << resource << 7 << "Could not open resource for reading and writing."
                                  << "Failed to connect. (Generic error)"
                                  << "source" << int(StreamFailure::NoConnection) << "The server could not be reached.";
    QTest::newRow("no file") << resource << 3 << "Resource not found."
                             << "No such file \"/nonexistent/x.mp4\""
                             << "source" << int(StreamFailure::NoSuchFile) << "The file does not exist.";
}

void tst_StreamError::gstreamer()
{
    QFETCH(QString, domain);
    QFETCH(int, code);
    QFETCH(QString, message);
    QFETCH(QString, debug);
    QFETCH(QString, origin);
    const StreamFailure f = GstFailure(domain, code, message, debug, origin);
    QTEST(int(f.fault), "fault");
    QTEST(f.describe(), "says");
    QCOMPARE(f.needsProbe(), f.fault == StreamFailure::NoConnection);
}

QTEST_GUILESS_MAIN(tst_StreamError)
void tst_StreamError::probeTellsWhatTheServerSays()
{
    // Where an engine gives no reason, the probe finds one: an HTTP server's status too.
    TestHttpServer http;
    http.script(QStringLiteral("/there"), HttpReply(200, "OK", "abc", "Content-Type: audio/mpeg\r\n"));
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const quint16 refused = closed.serverPort();
    closed.close();
    struct Case
    {
        QString url;
        StreamFailure::Fault fault;
        int status;
        QString phrase;
    };
    for (const Case &c :
         {Case{http.url(QStringLiteral("/missing.mp3?x=1")), StreamFailure::HttpStatus, 404,
               QStringLiteral("Not Found")},
          Case{http.url(QStringLiteral("/there")), StreamFailure::Unknown, 0, QString()},
          Case{QStringLiteral("http://127.0.0.1:%1/").arg(refused), StreamFailure::Refused, 0, QString()}}) {
        ConnectionProbe probe;
        QSignalSpy finished(&probe, &ConnectionProbe::finished);
        probe.start(QUrl(c.url));
        QVERIFY(finished.wait(5000));
        QCOMPARE(finished.first().at(0).value<StreamFailure::Fault>(), c.fault);
        QCOMPARE(finished.first().at(1).toInt(), c.status);
        QCOMPARE(finished.first().at(2).toString(), c.phrase);
    }
    QVERIFY(http.requestWith("GET /missing.mp3?x=1 HTTP/1.0").contains("Host: 127.0.0.1\r\n"));
}

#include "tst_streamerror.moc"
