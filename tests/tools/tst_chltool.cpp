#include "../guide/GuideMaker.h"
#include "ListMaker.h"
#include "TestDirs.h"
#include "TestHttpServer.h"
#include "catalogue/ListCipher.h"
#include "catalogue/XmlDocument.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

using ListMaker::Document;
using ListMaker::Item;

namespace {

struct Run
{
    int code;
    QString out, err;
};

Run chl(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(ZENTAVO_CHL), args);
    if (!p.waitForFinished(30000))
        qFatal("zentavo-chl did not finish");
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

} // namespace

class tst_ChlTool : public QObject
{
    Q_OBJECT

private slots:
    void decodeEncodeRoundTrip();
    void encodeRefusesMalformedXml();
    void checkReportsGroupsAndIncompleteChannels();
    void checkFailsForListsTheProgramCannotLoad_data();
    void checkFailsForListsTheProgramCannotLoad();
    void importM3u();
    void importRejectsEmptyPlaylist();
    void importRefusesWhatIsNoPlaylist_data();
    void importRefusesWhatIsNoPlaylist();
    void importKeepsControlCharactersOutAndTakesExtgrp();
    void listsPastTheLimitAreRefused();
    void usageAndFileErrors();
    void probeReportsAndPrunes();
    void guideTellsNowAndNext();
};

void tst_ChlTool::decodeEncodeRoundTrip()
{
    TempAppDir dir;
    const QByteArray xml = ListMaker::Plain(3, 40);
    dir.write(QStringLiteral("in.xml"), xml);
    QCOMPARE(
        chl({QStringLiteral("encode"), dir.file(QStringLiteral("in.xml")), dir.file(QStringLiteral("L.CHL"))}).code, 0);
    QCOMPARE(dir.read(QStringLiteral("L.CHL")), CipherBytes(xml));
    QCOMPARE(
        chl({QStringLiteral("decode"), dir.file(QStringLiteral("L.CHL")), dir.file(QStringLiteral("out.xml"))}).code,
        0);
    QCOMPARE(dir.read(QStringLiteral("out.xml")), xml);
}

void tst_ChlTool::encodeRefusesMalformedXml()
{
    TempAppDir dir;
    dir.write(QStringLiteral("bad.xml"), "<r><g></r>");
    const Run r =
        chl({QStringLiteral("encode"), dir.file(QStringLiteral("bad.xml")), dir.file(QStringLiteral("B.CHL"))});
    QCOMPARE(r.code, 1);
    QVERIFY(r.err.contains(QStringLiteral("not well-formed")));
    QVERIFY(!QFile::exists(dir.file(QStringLiteral("B.CHL"))));
}

void tst_ChlTool::checkReportsGroupsAndIncompleteChannels()
{
    TempAppDir dir;
    dir.writeList(QStringLiteral("L.CHL"),
                  Document({{QStringLiteral("News"), Item(QStringLiteral("A"), QStringLiteral("u")) +
                                                         "<Item ChannelName=\"Lacking\" URL=\"u\" Ty=\"2\"/>"},
                            {QStringLiteral("Empty"), QByteArray()}}));
    const Run r = chl({QStringLiteral("check"), dir.file(QStringLiteral("L.CHL"))});
    QCOMPARE(r.code, 0);
    QVERIFY(r.out.contains(QStringLiteral("News\t2\n")));
    QVERIFY(r.out.contains(QStringLiteral("Empty\t0\n")));
    QVERIFY(r.out.contains(QStringLiteral("2 groups, 2 channels")));
    QVERIFY(r.out.contains(QStringLiteral("incomplete: News #2 \"Lacking\" lacks INFO, MT, Co, SP, T, I, ID")));
}

void tst_ChlTool::checkFailsForListsTheProgramCannotLoad_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("random") << QByteArray(2000, '\x5a');
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("tv channel without SP")
        << CipherBytes(Document({{QStringLiteral("G"), "<Item ChannelName=\"A\" Ty=\"1\"/>"}}));
    QTest::newRow("type not a number") << CipherBytes(
        Document({{QStringLiteral("G"), "<Item ChannelName=\"A\" Ty=\"x\"/>"}}));
}

void tst_ChlTool::checkFailsForListsTheProgramCannotLoad()
{
    QFETCH(QByteArray, bytes);
    TempAppDir dir;
    dir.write(QStringLiteral("L.CHL"), bytes);
    const Run r = chl({QStringLiteral("check"), dir.file(QStringLiteral("L.CHL"))});
    QCOMPARE(r.code, 1);
    QVERIFY(!r.err.isEmpty());
}

void tst_ChlTool::importM3u()
{
    TempAppDir dir;
    dir.write(
        QStringLiteral("list.m3u"),
        "\xEF\xBB\xBF#EXTM3U\r\n"
        "#EXTINF:-1 tvg-id=\"Euro.eu\" tvg-name=\"Euro News\" tvg-country=\"EU\" group-title=\"News\",Euronews HD\r\n"
        "https://example.org/euronews.m3u8\r\n"
        "#EXTINF:-1 group-title=\"Música, Ñ & Co\",Radio Uno\n"
        "#EXTVLCOPT:http-user-agent=x\n"
        "rtsp://example.org/uno\n"
        "#EXTINF:-1 tvg-id=\"k\" group-title=\"news\",Kids? no, News, lower case\n"
        "http://example.org/x.rm\n");
    const Run r = chl({QStringLiteral("import-m3u"), dir.file(QStringLiteral("list.m3u")),
                       dir.file(QStringLiteral("L.CHL")), QStringLiteral("--type"), QStringLiteral("radio")});
    QCOMPARE(r.code, 0);
    QVERIFY(r.out.contains(QStringLiteral("3 groups, 3 channels")));
    XmlDocument doc;
    doc.loadFromBytes(CipherBytes(dir.read(QStringLiteral("L.CHL"))));
    const QList<XmlNode> groups = doc.documentElement().childNodes();
    QCOMPARE(groups.size(), 3);
    QCOMPARE(groups[0].localName(), QStringLiteral("News"));
    QCOMPARE(groups[1].localName(), QStringLiteral("Musica_N_Co"));
    QCOMPARE(groups[2].localName(), QStringLiteral("news"));
    const XmlNode euro = groups[0].child(0);
    QCOMPARE(*euro.attribute("ChannelName"), QStringLiteral("Euronews HD"));
    QCOMPARE(*euro.attribute("TvgName"), QStringLiteral("Euro News"));
    QCOMPARE(*euro.attribute("URL"), QStringLiteral("https://example.org/euronews.m3u8"));
    QCOMPARE(*euro.attribute("ID"), QStringLiteral("Euro.eu"));
    QCOMPARE(*euro.attribute("Co"), QStringLiteral("EU"));
    QCOMPARE(*euro.attribute("T"), QStringLiteral("News"));
    QCOMPARE(*euro.attribute("Ty"), QStringLiteral("2"));
    QCOMPARE(*euro.attribute("MT"), QStringLiteral("1"));
    const XmlNode uno = groups[1].child(0);
    QCOMPARE(*uno.attribute("ChannelName"), QStringLiteral("Radio Uno"));
    QCOMPARE(*uno.attribute("MT"), QStringLiteral("2"));
    QCOMPARE(*uno.attribute("T"), QString());
    const XmlNode kids = groups[2].child(0);
    QCOMPARE(*kids.attribute("ChannelName"), QStringLiteral("Kids? no, News, lower case"));
    QCOMPARE(*kids.attribute("T"), QStringLiteral("News"));
    QCOMPARE(*kids.attribute("MT"), QStringLiteral("2"));
    // The program can load what the tool writes.
    QCOMPARE(chl({QStringLiteral("check"), dir.file(QStringLiteral("L.CHL"))}).code, 0);
}

void tst_ChlTool::importRejectsEmptyPlaylist()
{
    TempAppDir dir;
    dir.write(QStringLiteral("empty.m3u"), "#EXTM3U\n# nothing here\n");
    const Run r =
        chl({QStringLiteral("import-m3u"), dir.file(QStringLiteral("empty.m3u")), dir.file(QStringLiteral("L.CHL"))});
    QCOMPARE(r.code, 1);
    QVERIFY(r.err.contains(QStringLiteral("no channel")));
    QVERIFY(!QFile::exists(dir.file(QStringLiteral("L.CHL"))));
}

void tst_ChlTool::importRefusesWhatIsNoPlaylist_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("random bytes") << NoiseBytes(1 << 20);
    QTest::newRow("text without entries") << QByteArray("Dear listener,\nthis is a letter, not a playlist.\n");
}

void tst_ChlTool::importRefusesWhatIsNoPlaylist()
{
    QFETCH(QByteArray, bytes);
    TempAppDir dir;
    dir.write(QStringLiteral("in.m3u"), bytes);
    const Run r =
        chl({QStringLiteral("import-m3u"), dir.file(QStringLiteral("in.m3u")), dir.file(QStringLiteral("L.CHL"))});
    QCOMPARE(r.code, 1);
    QVERIFY(!QFile::exists(dir.file(QStringLiteral("L.CHL"))));
}

void tst_ChlTool::importKeepsControlCharactersOutAndTakesExtgrp()
{
    TempAppDir dir;
    dir.write(QStringLiteral("in.m3u"), "#EXTM3U\n"
                                        "#EXTINF:-1 tvg-id=\"a\x01"
                                        "b\",Bell\x07 and\ttab\n"
                                        "#EXTGRP:Sports \x1b[31mred\n"
                                        "http://example.org/a\x02\n"
                                        "http://example.org/plain\n");
    const Run r =
        chl({QStringLiteral("import-m3u"), dir.file(QStringLiteral("in.m3u")), dir.file(QStringLiteral("L.CHL"))});
    QCOMPARE(r.code, 0);
    const QByteArray xml = CipherBytes(dir.read(QStringLiteral("L.CHL")));
    for (char c : xml)
        QVERIFY2(uchar(c) >= 0x20 || c == '\n' || c == '\r' || c == '\t', qPrintable(QString::number(uchar(c))));
    XmlDocument doc;
    doc.loadFromBytes(xml);
    const QList<XmlNode> groups = doc.documentElement().childNodes();
    QCOMPARE(groups.size(), 2);
    QCOMPARE(groups[0].localName(), QStringLiteral("Sports_31mred")); // from #EXTGRP
    QCOMPARE(*groups[0].child(0).attribute("ChannelName"), QStringLiteral("Bell and tab"));
    QCOMPARE(*groups[0].child(0).attribute("URL"), QStringLiteral("http://example.org/a"));
    QCOMPARE(*groups[0].child(0).attribute("ID"), QStringLiteral("ab"));
    QCOMPARE(groups[1].localName(), QStringLiteral("Channels")); // an address standing alone
}

void tst_ChlTool::listsPastTheLimitAreRefused()
{
    TempAppDir dir;
    {
        QFile big(dir.file(QStringLiteral("big.xml")));
        QVERIFY(big.open(QIODevice::WriteOnly));
        big.write("<r>");
        QVERIFY(big.resize((qint64(256) << 20) + 16)); // sparse
    }
    dir.write(QStringLiteral("L.CHL"), "old");
    const Run r =
        chl({QStringLiteral("encode"), dir.file(QStringLiteral("big.xml")), dir.file(QStringLiteral("L.CHL"))});
    QCOMPARE(r.code, 1);
    QCOMPARE(dir.read(QStringLiteral("L.CHL")), QByteArray("old"));
}

void tst_ChlTool::usageAndFileErrors()
{
    TempAppDir dir;
    QCOMPARE(chl({}).code, 2);
    QCOMPARE(chl({QStringLiteral("frobnicate")}).code, 2);
    QCOMPARE(chl({QStringLiteral("decode"), QStringLiteral("only-one")}).code, 2);
    QCOMPARE(chl({QStringLiteral("import-m3u"), QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("--type"),
                  QStringLiteral("cinema")})
                 .code,
             2);
    const Run missing = chl({QStringLiteral("check"), dir.file(QStringLiteral("none.CHL"))});
    QCOMPARE(missing.code, 3);
    QVERIFY(missing.err.contains(QStringLiteral("cannot read")));
    dir.write(QStringLiteral("in.xml"), "<r/>");
    QCOMPARE(
        chl({QStringLiteral("encode"), dir.file(QStringLiteral("in.xml")), dir.file(QStringLiteral("no/dir/x.CHL"))})
            .code,
        3);
}

void tst_ChlTool::probeReportsAndPrunes()
{
    TestHttpServer http;
    http.script(QStringLiteral("/live"),
                HttpReply(200, "OK", QByteArray("\xff\xfb\x90\x64", 4) + QByteArray(2000, '\0'),
                          "Content-Type: audio/mpeg\r\n"));
    TempAppDir dir;
    const QByteArray live = http.url(QStringLiteral("/live")).toUtf8();
    const QByteArray dead = http.url(QStringLiteral("/dead")).toUtf8();
    dir.write(QStringLiteral("mixed.m3u"), "#EXTM3U\n#EXTINF:-1,Live One\n" + live + "\n#EXTINF:-1,Dead One\n" + dead +
                                               "\n#EXTINF:-1,Old Way\nmms://example.com/x\n");
    const QString m3u = dir.file(QStringLiteral("mixed.m3u"));
    const Run r = chl({QStringLiteral("probe"), m3u, QStringLiteral("--timeout"), QStringLiteral("3"),
                       QStringLiteral("--prune"), dir.file(QStringLiteral("kept.CHL"))});
    QCOMPARE(r.code, 0); // whatever the channels' states
    QVERIFY2(r.out.contains(QStringLiteral("on\tstream\t")) &&
                 r.out.contains(QStringLiteral("\tLive One\t") + QString::fromUtf8(live) + u'\n'),
             qPrintable(r.out));
    QVERIFY2(r.out.contains(QStringLiteral("off\tHTTP 404 Not Found\t")), qPrintable(r.out));
    QVERIFY2(r.out.contains(QStringLiteral("unknown\tmms: not checked\t")), qPrintable(r.out));
    QVERIFY2(r.out.contains(QStringLiteral("3 channels: 1 on the air, 1 off the air, 1 unknown")), qPrintable(r.out));
    XmlDocument kept;
    kept.loadFromBytes(CipherBytes(dir.read(QStringLiteral("kept.CHL"))));
    const QByteArray xml = kept.saveToBytes();
    QVERIFY(xml.contains("Live One") && xml.contains("Old Way") && !xml.contains("Dead One"));

    // A channel list pruned keeps its own groups and attributes.
    const Run listed = chl({QStringLiteral("probe"), dir.file(QStringLiteral("kept.CHL")), QStringLiteral("--json"),
                            QStringLiteral("--jobs"), QStringLiteral("1")});
    QCOMPARE(listed.code, 0);
    const QJsonObject report = QJsonDocument::fromJson(listed.out.toUtf8()).object();
    QCOMPARE(report.value(QLatin1StringView("on")).toInt(), 1);
    QCOMPARE(report.value(QLatin1StringView("unknown")).toInt(), 1);
    QCOMPARE(report.value(QLatin1StringView("channels"))
                 .toArray()
                 .first()
                 .toObject()
                 .value(QLatin1StringView("name"))
                 .toString(),
             QStringLiteral("Live One"));
    QCOMPARE(chl({QStringLiteral("probe"), m3u, QStringLiteral("--jobs"), QStringLiteral("0")}).code, 2);
}

void tst_ChlTool::guideTellsNowAndNext()
{
    using namespace GuideMaker;
    TempAppDir dir;
    const QByteArray guide = Tv(Channel("one.uk", "One HD") + Channel("zwei.de", "Zwei") +
                                Programme("one.uk", "20261210120000 +0000", "20261210130000 +0000", "News") +
                                Programme("one.uk", "20261210130000 +0000", "20261210143000 +0000", "Film") +
                                Programme("zwei.de", "20261210150000 +0100", "", "Eins") +
                                Programme("zwei.de", "20261210160000 +0100", "", "Zwei"));
    dir.write(QStringLiteral("guide.xml.gz"), Packed("gzip", guide)); // the name says nothing of the packing
    dir.write(QStringLiteral("list.m3u"), "#EXTM3U\n#EXTINF:-1 tvg-id=\"ONE.uk\",One\nhttp://a/1\n"
                                          "#EXTINF:-1,zwei!\nhttp://a/2\n#EXTINF:-1,Three\nhttp://a/3\n");
    const Run r = chl({QStringLiteral("guide"), dir.file(QStringLiteral("guide.xml.gz")), QStringLiteral("--playlist"),
                       dir.file(QStringLiteral("list.m3u")), QStringLiteral("--at"),
                       QStringLiteral("2026-12-10T14:10:00Z"), QStringLiteral("--json")});
    QCOMPARE(r.code, 0);
    const QJsonArray rows = QJsonDocument::fromJson(r.out.toUtf8()).array();
    QCOMPARE(rows.size(), 3);
    const auto airing = [](const QString &title, const char *start, const char *stop) {
        return QJsonObject{{QStringLiteral("title"), title},
                           {QStringLiteral("start"), QString::fromLatin1(start)},
                           {QStringLiteral("stop"), QString::fromLatin1(stop)}};
    };
    QCOMPARE(rows[0].toObject(),
             (QJsonObject{{QStringLiteral("channel"), QStringLiteral("One")},
                          {QStringLiteral("id"), QStringLiteral("ONE.uk")},
                          {QStringLiteral("now"),
                           airing(QStringLiteral("Film"), "2026-12-10T13:00:00Z", "2026-12-10T14:30:00Z")},
                          {QStringLiteral("next"), QJsonValue::Null}}));
    // Matched by its folded name; no stop: until the next one.
    QCOMPARE(rows[1].toObject().value(QStringLiteral("now")).toObject(),
             airing(QStringLiteral("Eins"), "2026-12-10T14:00:00Z", "2026-12-10T15:00:00Z"));
    QCOMPARE(rows[1].toObject().value(QStringLiteral("next")).toObject().value(QStringLiteral("title")),
             QStringLiteral("Zwei"));
    QVERIFY(rows[2].toObject().value(QStringLiteral("now")).isNull());

    // Without a playlist: the guide's own channels, as text.
    const Run text = chl({QStringLiteral("guide"), dir.file(QStringLiteral("guide.xml.gz")), QStringLiteral("--at"),
                          QStringLiteral("2026-12-10T12:30:00Z")});
    QCOMPARE(text.out.split(u'\n', Qt::SkipEmptyParts).size(), 2);
    QVERIFY2(text.out.startsWith(QStringLiteral("One HD\tnow: 2026-12-10T12:00:00Z 2026-12-10T13:00:00Z News")),
             qPrintable(text.out));

    dir.write(QStringLiteral("cut.gz"), Packed("gzip", guide).left(100));
    const Run cut = chl({QStringLiteral("guide"), dir.file(QStringLiteral("cut.gz"))});
    QCOMPARE(cut.code, 1);
    QVERIFY2(cut.err.contains(QStringLiteral("ends early")), qPrintable(cut.err));
    QCOMPARE(chl({QStringLiteral("guide"), dir.file(QStringLiteral("none.xml"))}).code, 3);
    QCOMPARE(chl({QStringLiteral("guide"), dir.file(QStringLiteral("cut.gz")), QStringLiteral("--at"),
                  QStringLiteral("today")})
                 .code,
             2);
}

QTEST_GUILESS_MAIN(tst_ChlTool)
#include "tst_chltool.moc"
