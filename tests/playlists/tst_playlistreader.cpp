#include "base/Errors.h"
#include "catalogue/ChannelText.h"
#include "catalogue/XmlDocument.h"
#include "playlists/OpenedPlaylist.h"
#include "playlists/PlaylistList.h"
#include "playlists/PlaylistReader.h"

#include <QTest>

// Reading the playlists people bring, in the forms found in the wild.
class tst_PlaylistReader : public QObject
{
    Q_OBJECT

private slots:
    void extinfAttributesInEveryForm();
    void optionsBelongToTheEntryTheyPrecede();
    void lineEndsMarksAndEncodings_data();
    void lineEndsMarksAndEncodings();
    void pls();
    void hlsIsOneStream();
    void refusals_data();
    void refusals();
    void channelListShowsGroupsAsWritten();
    void relativeEntriesFollowThePlaylist();
    void readInPiecesAsWhole();
    void openedPlaylistsAreJudged_data();
    void openedPlaylistsAreJudged();
};

void tst_PlaylistReader::extinfAttributesInEveryForm()
{
    const Playlist p = ReadPlaylist("#EXTM3U x-tvg-url=\"http://guide.example/epg.xml.gz\"\n"
                                    "#EXTINF:-1 tvg-id=\"one.uk\" tvg-name='One, UK' tvg-logo=http://l/1.png "
                                    "group-title=\"News;Local\" tvg-chno=7,One \"HD\", the first\n"
                                    "http://a/1\n"
                                    "#EXTINF:5.5 group-title=\"Music\" radio=\"TRUE\" tvg-id=\"r\",Radio = \"R\"\n"
                                    "#EXTGRP:Ignored because group-title wins\n"
                                    "http://a/2\n"
                                    "#EXTINF:0,\n"
                                    "#EXTGRP:From EXTGRP\n"
                                    "http://a/path/three.m3u8?token=x\n");
    QCOMPARE(p.guides, QStringList({QStringLiteral("http://guide.example/epg.xml.gz")}));
    // A playlist from the internet may not name a guide on this computer or its network.
    QCOMPARE(GuidesOfWebList({QStringLiteral("https://g/1.xml"), QStringLiteral("/etc/passwd"),
                              QStringLiteral("http://127.0.0.1/epg.xml"), QStringLiteral("http://192.168.1.2/e.xml")}),
             QStringList({QStringLiteral("https://g/1.xml")}));
    // tvg-shift: the header's for channels without their own; nonsense is no shift.
    const Playlist shifted =
        ReadPlaylist("#EXTM3U tvg-shift=\"-1.5\"\n#EXTINF:-1,A\nhttp://a\n"
                     "#EXTINF:-1 tvg-shift=\"+2\",B\nhttp://b\n#EXTINF:-1 tvg-shift=x,C\nhttp://c\n");
    QCOMPARE(shifted.entries[0].tvgShift, QStringLiteral("-1.5"));
    QCOMPARE(shifted.entries[1].tvgShift, QStringLiteral("2"));
    QCOMPARE(shifted.entries[2].tvgShift, QStringLiteral("-1.5"));
    // Several, in all three attributes, each once; nothing that is no guide's address.
    QCOMPARE(ReadPlaylist("#EXTM3U url-tvg=\"http://g/1.xml, https://g/2.xml.gz\" "
                          "tvg-url=\"http://g/1.xml,javascript:alert(1),/srv/guide.xml\"\n#EXTINF:-1,A\nhttp://a\n")
                 .guides,
             QStringList({QStringLiteral("http://g/1.xml"), QStringLiteral("https://g/2.xml.gz"),
                          QStringLiteral("/srv/guide.xml")}));
    QCOMPARE(p.entries.size(), 3);
    const PlaylistEntry &one = p.entries[0];
    QCOMPARE(one.name, QStringLiteral("One \"HD\", the first"));
    QCOMPARE(one.tvgName, QStringLiteral("One, UK"));
    QCOMPARE(one.tvgId, QStringLiteral("one.uk"));
    QCOMPARE(one.logo, QStringLiteral("http://l/1.png"));
    QCOMPARE(one.group, QStringLiteral("News"));
    QCOMPARE(one.number, QStringLiteral("7"));
    QCOMPARE(one.duration, -1.0);
    QVERIFY(!one.radio);
    const PlaylistEntry &two = p.entries[1];
    QCOMPARE(two.name, QStringLiteral("Radio = \"R\""));
    QCOMPARE(two.group, QStringLiteral("Music"));
    QVERIFY(two.radio);
    QCOMPARE(two.duration, 5.5);
    // No title: the address names it; no group-title: #EXTGRP.
    QCOMPARE(p.entries[2].name, QStringLiteral("three.m3u8"));
    QCOMPARE(p.entries[2].group, QStringLiteral("From EXTGRP"));
}

void tst_PlaylistReader::optionsBelongToTheEntryTheyPrecede()
{
    const Playlist p = ReadPlaylist("#EXTM3U\n"
                                    "#EXTVLCOPT:http-user-agent=Agent/1.0 (X11)\n"
                                    "#EXTINF:-1,First\n"
                                    "#EXTVLCOPT:http-referrer=http://ref.example/\n"
                                    "#EXTHTTP:{\"cookie\":\"session=abc; x=1\"}\n"
                                    "http://a/1\n"
                                    "#EXTINF:-1,Second\n"
                                    "http://a/2\n"
                                    "# a comment, then an address standing alone\n"
                                    "#EXT-X-UNKNOWN:whatever\n"
                                    "rtmp://a/3\n"
                                    "not/an/address\n");
    QCOMPARE(p.entries.size(), 3);
    QCOMPARE(p.entries[0].userAgent, QStringLiteral("Agent/1.0 (X11)"));
    QCOMPARE(p.entries[0].referrer, QStringLiteral("http://ref.example/"));
    QCOMPARE(p.entries[0].cookie, QStringLiteral("session=abc; x=1"));
    QCOMPARE(p.entries[1].userAgent, QString());
    QCOMPARE(p.entries[1].cookie, QString());
    QCOMPARE(p.entries[2].address, QStringLiteral("rtmp://a/3"));
    QCOMPARE(p.entries[2].name, QStringLiteral("3"));

    // Quoted option values, and #EXTHTTP's header names in any case, as players write them.
    const Playlist q =
        ReadPlaylist("#EXTM3U\n#EXTINF:-1,Q\n#EXTVLCOPT:http-user-agent=\"Dalvik/2.1.0\"\n"
                     "#EXTVLCOPT:http-referrer='http://r.example/'\nhttp://a/q\n"
                     "#EXTINF:-1,J\n#EXTHTTP:{\"User-Agent\":\"Box\",\"COOKIE\":\"k=v\",\"Referer\":\"http://j/\"}\n"
                     "http://a/j\n");
    QCOMPARE(q.entries[0].userAgent, QStringLiteral("Dalvik/2.1.0"));
    QCOMPARE(q.entries[0].referrer, QStringLiteral("http://r.example/"));
    QCOMPARE(q.entries[1].userAgent, QStringLiteral("Box"));
    QCOMPARE(q.entries[1].cookie, QStringLiteral("k=v"));
    QCOMPARE(q.entries[1].referrer, QStringLiteral("http://j/"));
}

void tst_PlaylistReader::lineEndsMarksAndEncodings_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("name");
    QTest::newRow("LF") << QByteArray("#EXTM3U\n#EXTINF:-1,Café\nhttp://a/1\n") << QStringLiteral("Café");
    QTest::newRow("CR LF and a mark") << QByteArray("\xEF\xBB\xBF#EXTM3U\r\n#EXTINF:-1,Café\r\nhttp://a/1\r\n")
                                      << QStringLiteral("Café");
    QTest::newRow("CR alone") << QByteArray("#EXTM3U\r#EXTINF:-1,Café\rhttp://a/1") << QStringLiteral("Café");
    QTest::newRow("Latin-1") << QByteArray("#EXTM3U\n#EXTINF:-1,Caf\xe9\nhttp://a/1\n") << QStringLiteral("Café");
    QTest::newRow("blank lines between") << QByteArray("\n\n#EXTINF:-1 , Café \n\n\nhttp://a/1\n\n")
                                         << QStringLiteral("Café");
}

void tst_PlaylistReader::lineEndsMarksAndEncodings()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, name);
    const Playlist p = ReadPlaylist(bytes);
    QCOMPARE(p.entries.size(), 1);
    QCOMPARE(p.entries[0].name, name);
    QCOMPARE(p.entries[0].address, QStringLiteral("http://a/1"));
}

void tst_PlaylistReader::pls()
{
    const Playlist p = ReadPlaylist("[playlist]\r\n"
                                    "NumberOfEntries=3\r\n"
                                    "File2=http://b/2\r\n"
                                    "Title2=Second\r\n"
                                    "File1=http://b/1\r\n"
                                    "Title1=First = one\r\n"
                                    "Title3=No address\r\n"
                                    "Version=2\r\n");
    QCOMPARE(p.entries.size(), 2);
    QCOMPARE(p.entries[0].name, QStringLiteral("First = one"));
    QCOMPARE(p.entries[0].address, QStringLiteral("http://b/1"));
    QCOMPARE(p.entries[1].address, QStringLiteral("http://b/2"));
}

void tst_PlaylistReader::hlsIsOneStream()
{
    const QByteArray media = "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:6\n#EXTINF:6.0,\nseg1.ts\n"
                             "#EXTINF:6.0,\nseg2.ts\n";
    const Playlist p = ReadPlaylist(media, QStringLiteral("https://s.example/live/index.m3u8"));
    QCOMPARE(p.entries.size(), 1);
    QCOMPARE(p.entries[0].address, QStringLiteral("https://s.example/live/index.m3u8"));
    const QByteArray master = "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=800000\nlow/index.m3u8\n"
                              "#EXT-X-STREAM-INF:BANDWIDTH=3000000\nhigh/index.m3u8\n";
    QCOMPARE(ReadPlaylist(master, QStringLiteral("https://s.example/m.m3u8")).entries.size(), 1);
    // Without the address it came from there is nothing to play.
    QVERIFY_THROWS_EXCEPTION(ZError, ReadPlaylist(media));
}

void tst_PlaylistReader::refusals_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QByteArray binary(4096, '\0');
    for (int i = 0; i < binary.size(); ++i)
        binary[i] = char((i * 73 + 11) % 251);
    QTest::newRow("binary") << binary;
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("only directives") << QByteArray("#EXTM3U\n#EXTINF:-1,Dangling title\n");
    QTest::newRow("a letter") << QByteArray("Dear listener,\nthis is a letter = not a playlist.\n");
    QTest::newRow("pls without files") << QByteArray("[playlist]\nTitle1=x\nNumberOfEntries=1\n");
}

void tst_PlaylistReader::refusals()
{
    QFETCH(QByteArray, bytes);
    try {
        ReadPlaylist(bytes);
        QFAIL("read");
    } catch (const ZError &e) {
        QVERIFY(!QString::fromUtf8(e.what()).isEmpty());
    }
}

void tst_PlaylistReader::channelListShowsGroupsAsWritten()
{
    const Playlist p = ReadPlaylist("#EXTM3U\n"
                                    "#EXTINF:-1 group-title=\"Música & <Co>\" tvg-logo=\"http://l/a.png\",A\n"
                                    "#EXTVLCOPT:http-user-agent=UA\n"
                                    "http://a/a\n"
                                    "#EXTINF:-1 group-title=\"news\" radio=\"true\",B\n"
                                    "mms://a/b\n"
                                    "#EXTINF:-1,C\n"
                                    "http://a/c\n"
                                    "#EXTINF:-1 group-title=\"Música & <Co>\",D\n"
                                    "http://a/d\n");
    const PlaylistList list = ChannelListOf(p, 1, QStringLiteral("My list"));
    QCOMPARE(list.groups, 3);
    QCOMPARE(list.channels, 4);
    XmlDocument doc;
    doc.loadFromBytes(list.xml);
    const QList<XmlNode> groups = doc.documentElement().childNodes();
    QCOMPARE(groups.size(), 3);
    QCOMPARE(*groups[0].attribute("Title"), QStringLiteral("Música & <Co>"));
    QCOMPARE(groups[0].childNodes().size(), 2); // A and D, in their order
    QCOMPARE(groups[0].child(1).text("ChannelName"), QStringLiteral("D"));
    QCOMPARE(*groups[2].attribute("Title"), QStringLiteral("My list"));
    const XmlNode a = groups[0].child(0);
    QCOMPARE(a.text("Logo"), QStringLiteral("http://l/a.png"));
    QCOMPARE(a.text("UserAgent"), QStringLiteral("UA"));
    QCOMPARE(a.text("Ty"), QStringLiteral("1"));
    QCOMPARE(a.text("MT"), QStringLiteral("1"));
    const XmlNode b = groups[1].child(0);
    QCOMPARE(b.text("Ty"), QStringLiteral("2"));   // radio="true"
    QCOMPARE(b.text("T"), QStringLiteral("News")); // a category the Filter knows
    QCOMPARE(ChannelIcon(b), IconSpeaker);
}

void tst_PlaylistReader::relativeEntriesFollowThePlaylist()
{
    const QByteArray m3u = "#EXTM3U\n#EXTINF:-1,A\nlive/a b.m3u8\n#EXTINF:-1,B\n/root/b.ts\n"
                           "#EXTINF:-1,C\n../c.mp3\n#EXTINF:-1,D\nrtmp://other/d\n";
    const auto addresses = [&](const QString &origin) {
        QStringList out;
        for (const PlaylistEntry &e : ReadPlaylist(m3u, origin).entries)
            out.append(e.address);
        return out;
    };
    QCOMPARE(addresses(QStringLiteral("https://tv.example/lists/my.m3u?k=1")),
             QStringList({QStringLiteral("https://tv.example/lists/live/a b.m3u8"),
                          QStringLiteral("https://tv.example/root/b.ts"), QStringLiteral("https://tv.example/c.mp3"),
                          QStringLiteral("rtmp://other/d")}));
    QCOMPARE(addresses(QStringLiteral("file:///home/u/Music/list.m3u")),
             QStringList({QStringLiteral("file:///home/u/Music/live/a b.m3u8"), QStringLiteral("file:///root/b.ts"),
                          QStringLiteral("file:///home/u/c.mp3"), QStringLiteral("rtmp://other/d")}));
    QCOMPARE(addresses({}).first(), QStringLiteral("live/a b.m3u8")); // nowhere to resolve against
}

void tst_PlaylistReader::readInPiecesAsWhole()
{
    // Line ends of every kind falling on the edges of the pieces, a mark, a Latin-1 line among
    // UTF-8 ones, a last line without an end.
    const QByteArray m3u = "\xEF\xBB\xBF#EXTM3U\r\n#EXTINF:-1 group-title=\"G\",Caf\xc3\xa9\r\nhttp://a/1\r"
                           "#EXTINF:-1,Caf\xe9\n\nhttp://a/2\n#EXTINF:-1,Three\r\nhttp://a/3";
    const Playlist whole = ReadPlaylist(m3u);
    QCOMPARE(whole.entries.size(), 3);
    QCOMPARE(whole.entries[0].name, QStringLiteral("Café"));
    QCOMPARE(whole.entries[1].name, QStringLiteral("Café"));
    QCOMPARE(whole.entries[2].address, QStringLiteral("http://a/3"));
    for (qsizetype piece : {1, 2, 3, 7}) {
        QStringList names;
        PlaylistScanner scanner({}, [&names](PlaylistEntry &&e) { names.append(e.name + u'|' + e.address); });
        for (qsizetype at = 0; at < m3u.size(); at += piece)
            scanner.feed(QByteArrayView(m3u).sliced(at, std::min(piece, m3u.size() - at)));
        QCOMPARE(scanner.finish().entries, 3);
        QCOMPARE(names, QStringList({QStringLiteral("Café|http://a/1"), QStringLiteral("Café|http://a/2"),
                                     QStringLiteral("Three|http://a/3")}));
    }
    // The list made of them, written as it comes, reads back as what it holds.
    ChannelListWriter writer(1, QStringLiteral("Rest"), true);
    for (const PlaylistEntry &e : whole.entries)
        writer.add(e);
    XmlDocument doc;
    doc.loadFromBytes(writer.document());
    QCOMPARE(writer.size(), writer.document().size());
    const QList<XmlNode> groups = doc.documentElement().childNodes();
    QCOMPARE(groups.size(), 2);
    QCOMPARE(groups[1].childNodes().size(), 2);
    QCOMPARE(groups[0].child(0).text("Origin"), QStringLiteral("web"));
}

void tst_PlaylistReader::openedPlaylistsAreJudged_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<bool>("named");
    QTest::addColumn<bool>("channels");
    QTest::addColumn<int>("count");
    const QByteArray two = "#EXTM3U\n#EXTINF:-1,One\nhttp://a/1\n#EXTINF:-1,Two\nhttp://a/2\n";
    QTest::newRow("channels") << "/home/u/TV.M3U" << two << true << true << 2;
    QTest::newRow("address with a query") << "https://x.example/get.php?type=m3u8&u=1" << two << false << true << 2;
    QTest::newRow("address path") << "https://x.example/list.m3u8?token=1" << two << true << true << 2;
    QTest::newRow("hls") << "http://x/live.m3u8"
                         << QByteArray("#EXTM3U\n#EXT-X-TARGETDURATION:4\n#EXTINF:4,\na.ts\n#EXTINF:4,\nb.ts\n") << true
                         << false << 0;
    QTest::newRow("a station's mirrors") << "r.pls"
                                         << QByteArray(
                                                "[playlist]\nFile1=http://a/1\nTitle1=Jazz FM\nFile2=http://b/1\n"
                                                "Title2=jazz fm\nNumberOfEntries=2\n")
                                         << true << false << 2;
    QTest::newRow("a web page") << "x.m3u" << QByteArray("<html><body>Sign in</body></html>") << true << false << 0;
    QByteArray big = "#EXTM3U\n";
    while (big.size() < kOpenedPlaylistHead + 100)
        big += "#EXTINF:-1,Channel " + QByteArray::number(big.size()) + "\nhttp://a/" + QByteArray::number(big.size()) +
               '\n';
    big.truncate(kOpenedPlaylistHead); // the start of a larger file, cut mid-line
    // The cut entry is not counted: its address line is gone or cut.
    const int whole = int(big.left(big.lastIndexOf('\n')).count("\nhttp://"));
    QTest::newRow("the start of a long list") << "l.m3u" << big << true << true << whole;
}

void tst_PlaylistReader::openedPlaylistsAreJudged()
{
    QFETCH(QString, argument);
    QFETCH(QByteArray, head);
    QFETCH(bool, named);
    QFETCH(bool, channels);
    QFETCH(int, count);
    QCOMPARE(NamesPlaylist(argument), named);
    const OpenedPlaylist judged = ClassifyOpenedPlaylist(head);
    QCOMPARE(judged.channels, channels);
    QCOMPARE(judged.count, count);
}

QTEST_GUILESS_MAIN(tst_PlaylistReader)
#include "tst_playlistreader.moc"
