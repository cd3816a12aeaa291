#include "playback/PlaylistParser.h"

#include <QTest>

class tst_PlaylistParser : public QObject
{
    Q_OBJECT

private slots:
    void kinds_data();
    void kinds();
    void pls();
    void m3uResolvesRelativeEntries();
    void ramStopsAtStopMarker();
    void smilWithBase();
    void brokenContentGivesNothing();
    void streamUrls();
};

void tst_PlaylistParser::kinds_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("kind");
    QTest::newRow("pls") << QStringLiteral("http://r/listen.PLS") << int(PlaylistKind::Pls);
    QTest::newRow("pls query") << QStringLiteral("http://r/listen.pls?sid=1") << int(PlaylistKind::Pls);
    QTest::newRow("m3u") << QStringLiteral("/home/u/list.m3u") << int(PlaylistKind::M3u);
    QTest::newRow("m3u8 is a stream") << QStringLiteral("http://r/index.m3u8") << int(PlaylistKind::None);
    QTest::newRow("ram") << QStringLiteral("http://r/a.ram") << int(PlaylistKind::Ram);
    QTest::newRow("ramx") << QStringLiteral("http://r/a.ramx") << int(PlaylistKind::Ram);
    QTest::newRow("smil") << QStringLiteral("http://r/a.smil") << int(PlaylistKind::Smil);
    QTest::newRow("smi") << QStringLiteral("file:///x/a.smi") << int(PlaylistKind::Smil);
    QTest::newRow("rm") << QStringLiteral("http://r/a.rm") << int(PlaylistKind::None);
    QTest::newRow("rtsp") << QStringLiteral("rtsp://r/a") << int(PlaylistKind::None);
}

void tst_PlaylistParser::kinds()
{
    QFETCH(QString, address);
    QTEST(int(PlaylistKindFor(address)), "kind");
}

void tst_PlaylistParser::pls()
{
    const QByteArray pls =
        "[playlist]\r\nNumberOfEntries=3\r\nFile2=http://b/two\r\nTitle1=One\r\nfile1 = http://a/one \r\n"
        "File3=relative.mp3\r\nLength1=-1\r\nVersion=2\r\n";
    QCOMPARE(ParsePlaylist(pls, PlaylistKind::Pls, QUrl(QStringLiteral("http://host/dir/list.pls"))),
             QStringList({"http://a/one", "http://b/two", "http://host/dir/relative.mp3"}));
}

void tst_PlaylistParser::m3uResolvesRelativeEntries()
{
    const QByteArray m3u = "\xEF\xBB\xBF#EXTM3U\n#EXTINF:-1,Station\nstream.mp3\n\n/abs/other.ogg\nrtsp://h/live\n";
    QCOMPARE(ParsePlaylist(m3u, PlaylistKind::M3u, QUrl(QStringLiteral("http://host/dir/list.m3u"))),
             QStringList({"http://host/dir/stream.mp3", "http://host/abs/other.ogg", "rtsp://h/live"}));
    QCOMPARE(ParsePlaylist("clip.rm\n", PlaylistKind::M3u, QUrl::fromLocalFile(QStringLiteral("/media/x/list.m3u"))),
             QStringList({"file:///media/x/clip.rm"}));
}

void tst_PlaylistParser::ramStopsAtStopMarker()
{
    const QByteArray ram =
        "# comment\r\nrtsp://real.example/one.rm\r\npnm://real.example/two.ra\r\n--stop--\r\nhttp://x/three\r\n";
    QCOMPARE(ParsePlaylist(ram, PlaylistKind::Ram, QUrl(QStringLiteral("http://h/a.ram"))),
             QStringList({"rtsp://real.example/one.rm", "pnm://real.example/two.ra"}));
}

void tst_PlaylistParser::smilWithBase()
{
    const QByteArray smil = "<smil><head><meta name=\"base\" content=\"rtsp://media.example/show/\"/></head>"
                            "<body><par><video src=\"part1.rm\"/><audio src=\"http://other/a.ra\"/>"
                            "<img src=\"logo.png\"/></par><ref src=\"part2.rm\"/></body></smil>";
    QCOMPARE(
        ParsePlaylist(smil, PlaylistKind::Smil, QUrl(QStringLiteral("http://h/list.smil"))),
        QStringList({"rtsp://media.example/show/part1.rm", "http://other/a.ra", "rtsp://media.example/show/part2.rm"}));
}

void tst_PlaylistParser::brokenContentGivesNothing()
{
    QVERIFY(ParsePlaylist("<smil><body><video src=", PlaylistKind::Smil, QUrl()).isEmpty());
    QVERIFY(ParsePlaylist("[playlist]\nNumberOfEntries=0\n", PlaylistKind::Pls, QUrl()).isEmpty());
    QVERIFY(ParsePlaylist("#EXTM3U\n# only comments\n", PlaylistKind::M3u, QUrl()).isEmpty());
    QVERIFY(ParsePlaylist(QByteArray("\x00\x01\x02", 3), PlaylistKind::Pls, QUrl()).isEmpty());
}

void tst_PlaylistParser::streamUrls()
{
    QCOMPARE(StreamUrl(QStringLiteral("http://h/a b.mp3")).toEncoded(), QByteArray("http://h/a%20b.mp3"));
    QVERIFY(StreamUrl(QStringLiteral("/tmp/some file.mp4")).isLocalFile());
    QCOMPARE(StreamUrl(QStringLiteral("/tmp/x.mp4")).toLocalFile(), QStringLiteral("/tmp/x.mp4"));
    QCOMPARE(StreamUrl(QStringLiteral("rtsp://h:554/s")).scheme(), QStringLiteral("rtsp"));
}

QTEST_GUILESS_MAIN(tst_PlaylistParser)
#include "tst_playlistparser.moc"
