#include "GuideMaker.h"
#include "guide/GuideImport.h"
#include "guide/GuideMatch.h"
#include "guide/UnpackingReader.h"
#include "guide/XmltvReader.h"
#include "guide/XmltvTime.h"

#include <QBuffer>
#include <QDateTime>
#include <QTest>

using namespace GuideMaker;

namespace {

struct Read
{
    QString error;
    QList<XmltvChannel> channels;
    QList<XmltvProgramme> programmes;
};

Read readGuide(const QByteArray &bytes, const QString &language = QStringLiteral("en"), qint64 limit = 0)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    Read r;
    GuideImportOptions options;
    options.language = language;
    options.limit = limit;
    r.error = ReadGuide(
        buffer, options, [&r](XmltvChannel &&c) { r.channels.append(c); },
        [&r](XmltvProgramme &&p) { r.programmes.append(p); });
    return r;
}

} // namespace

class tst_Xmltv : public QObject
{
    Q_OBJECT

private slots:
    void times_data();
    void times();
    void packedGuidesReadAlike();
    void badPackingIsReported();
    void programmesAsKept();
    void badDocumentsSayWhereAndWhy_data();
    void badDocumentsSayWhereAndWhy();
    void matchingOrder();
};

void tst_Xmltv::times_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<qint64>("expected"); // -1: no time
    const qint64 noon = 1765368000;       // 2025-12-10 12:00:00 UTC
    QTest::newRow("utc offset") << QByteArray("20251210120000 +0000") << noon;
    QTest::newRow("east") << QByteArray("20251210133000 +0130") << noon;
    QTest::newRow("west") << QByteArray("20251210070000 -0500") << noon;
    QTest::newRow("colon") << QByteArray("20251210140000 +02:00") << noon;
    QTest::newRow("no offset is utc") << QByteArray("20251210120000") << noon;
    QTest::newRow("minutes only") << QByteArray("202512101200 +0000") << noon;
    QTest::newRow("day only") << QByteArray("20251210") << noon - 12 * 3600;
    QTest::newRow("year only") << QByteArray("2025") << qint64(1735689600);
    QTest::newRow("leap day") << QByteArray("20240229000000 +0000") << qint64(1709164800);
    QTest::newRow("1900") << QByteArray("19000101000000 +0000") << qint64(-1);
    QTest::newRow("9999") << QByteArray("99991231235959 +0000") << qint64(-1);
    QTest::newRow("month 13") << QByteArray("20251310120000") << qint64(-1);
    QTest::newRow("odd digits") << QByteArray("202512101") << qint64(-1);
    QTest::newRow("bad zone") << QByteArray("20251210120000 CET") << qint64(-1);
    QTest::newRow("empty") << QByteArray() << qint64(-1);
}

void tst_Xmltv::times()
{
    QFETCH(QByteArray, text);
    QFETCH(qint64, expected);
    QCOMPARE(ParseXmltvTime(text).value_or(-1), expected);
}

void tst_Xmltv::packedGuidesReadAlike()
{
    QByteArray body = Channel("a", "A");
    for (int i = 0; i < 2000; ++i)
        body += Programme(
            "a", QDateTime::fromSecsSinceEpoch(1765324800 + i * 60, Qt::UTC).toString(u"yyyyMMddHHmmss").toLatin1(), "",
            "Show");
    const QByteArray plain = Tv(body);
    const QByteArray gz = Packed("gzip", plain);
    const QByteArray xz = Packed("xz", plain);
    QVERIFY(gz.startsWith("\x1f\x8b") && xz.startsWith("\xfd"
                                                       "7zXZ"));
    // Two gzip members are one file, as zcat reads them.
    const QByteArray twoMembers = Packed("gzip", plain.left(1000)) + Packed("gzip", plain.mid(1000));
    for (const QByteArray &bytes : {plain, gz, xz, twoMembers}) {
        const Read r = readGuide(bytes);
        QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
        QCOMPARE(r.programmes.size(), 2000);
    }
}

void tst_Xmltv::badPackingIsReported()
{
    const QByteArray plain = Tv(Channel("a", "A") + QByteArray(3 << 20, ' '));
    const QByteArray gz = Packed("gzip", plain);
    const QByteArray xz = Packed("xz", plain);
    QCOMPARE(readGuide(gz.left(gz.size() - 20)).error, QStringLiteral("the packed guide ends early"));
    QCOMPARE(readGuide(xz.left(xz.size() - 20)).error, QStringLiteral("the packed guide ends early"));
    QByteArray damaged = gz;
    damaged[damaged.size() / 2] = char(damaged[damaged.size() / 2] ^ 0x55);
    QVERIFY(!readGuide(damaged).error.isEmpty());
    // A bomb: 3 MiB from a few kilobytes stops at the limit, whichever packing.
    for (const QByteArray &bytes : {gz, xz, plain})
        QVERIFY(readGuide(bytes, {}, 1 << 20).error.startsWith(QStringLiteral("the guide is larger than 1")));
}

void tst_Xmltv::programmesAsKept()
{
    const QByteArray guide = Tv(
        "  <channel id=\"one\"><display-name lang=\"de\">Eins</display-name><display-name>One</display-name>"
        "<icon src=\"http://logo/1.png\"/></channel>\n"
        "  <programme channel=\"one\" start=\"20251210120000 +0000\" stop=\"20251210130000 +0000\">"
        "<title lang=\"de\">Nachrichten</title><title lang=\"en\">News</title>"
        "<sub-title>Late &amp; live</sub-title><desc lang=\"de\">Heute</desc><desc lang=\"en\">Today\t\n"
        "<b>bold</b> &amp; more</desc><category>News</category><category>Current affairs</category>"
        "<episode-num system=\"xmltv_ns\">0.4.</episode-num><episode-num system=\"onscreen\">S01E05</episode-num>"
        "<icon src=\"http://img/p.jpg\"/><rating system=\"FSK\"><value>12</value></rating></programme>\n"
        "  <programme channel=\"one\" start=\"20251210130000 +0000\" stop=\"20251210120000 +0000\"><title>Back</title>"
        "</programme>\n  <programme channel=\"one\" start=\"19000101000000\"><title>Never</title></programme>\n");
    const Read en = readGuide(guide, QStringLiteral("en_GB"));
    QVERIFY2(en.error.isEmpty(), qPrintable(en.error));
    QCOMPARE(en.channels.size(), 1);
    QCOMPARE(en.channels[0].names, QStringList({QStringLiteral("Eins"), QStringLiteral("One")}));
    QCOMPARE(en.channels[0].icon, QStringLiteral("http://logo/1.png"));
    QCOMPARE(en.programmes.size(), 1); // stop before start, and 1900, are passed over
    const XmltvProgramme &p = en.programmes[0];
    QCOMPARE(p.title, QStringLiteral("News"));
    QCOMPARE(p.subTitle, QStringLiteral("Late & live"));
    QCOMPARE(p.description, QStringLiteral("Today  bold & more")); // line breaks and markup gone
    QCOMPARE(p.categories, QStringList({QStringLiteral("News"), QStringLiteral("Current affairs")}));
    QCOMPARE(p.episode, QStringLiteral("S01E05"));
    QCOMPARE(p.icon, QStringLiteral("http://img/p.jpg"));
    QCOMPARE(p.rating, QStringLiteral("12"));
    QCOMPARE(p.stop - p.start, 3600);
    // Without a match, the first language given.
    QCOMPARE(readGuide(guide, QStringLiteral("fr_FR")).programmes.value(0).title, QStringLiteral("Nachrichten"));
    // A title of a megabyte is kept at the cap.
    const Read huge = readGuide(Tv(Programme("one", "20251210120000", "", QByteArray(1 << 20, 'x').constData())));
    QCOMPARE(huge.programmes.value(0).title.size(), 512);
}

void tst_Xmltv::badDocumentsSayWhereAndWhy_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("says");
    QTest::newRow("not xml") << QByteArray("hello\n") << QStringLiteral("line 1");
    QTest::newRow("not xmltv") << QByteArray("<?xml version=\"1.0\"?>\n<html><body/></html>")
                               << QStringLiteral("no XMLTV guide");
    QTest::newRow("mismatched") << QByteArray("<tv>\n<channel id=\"a\">\n</chanel>\n</tv>")
                                << QStringLiteral("line 3, column");
    QTest::newRow("truncated") << Tv(Channel("a", "A")).left(60) << QStringLiteral("line ");
    QTest::newRow("billion laughs")
        << QByteArray("<?xml version=\"1.0\"?>\n<!DOCTYPE tv [<!ENTITY a \"aaaaaaaaaa\">"
                      "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">]>\n"
                      "<tv><channel id=\"x\"><display-name>&c;</display-name></channel></tv>")
        << QStringLiteral("entities");
    QTest::newRow("external entity")
        << QByteArray("<?xml version=\"1.0\"?>\n<!DOCTYPE tv [<!ENTITY e SYSTEM \"file:///etc/passwd\">]>\n"
                      "<tv><channel id=\"x\"><display-name>&e;</display-name></channel></tv>")
        << QStringLiteral("entities");
}

void tst_Xmltv::badDocumentsSayWhereAndWhy()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, says);
    const Read r = readGuide(bytes);
    QVERIFY2(r.error.contains(says), qPrintable(r.error));
    for (const XmltvChannel &c : r.channels)
        QVERIFY(!c.names.join(QString()).contains(QStringLiteral("root:")));
}

void tst_Xmltv::matchingOrder()
{
    GuideMatcher<int> m;
    m.add(QStringLiteral("BBCOne.uk"), {QStringLiteral("BBC One")}, 1);
    m.add(QStringLiteral("tele5.de"), {QStringLiteral("Télé 5")}, 2);
    m.add(QStringLiteral("other"), {QStringLiteral("BBC One")}, 3); // a later duplicate name
    const auto find = [&m](const char *id, const char *tvgName, const char *name) {
        const int *key = m.find({QString::fromUtf8(id), QString::fromUtf8(tvgName), QString::fromUtf8(name)});
        return key ? *key : 0;
    };
    QCOMPARE(find("bbcone.UK", "", "x"), 1);      // id, case ignored
    QCOMPARE(find("nothing", "Télé 5", "x"), 2);  // tvg-name
    QCOMPARE(find("", "", "TELE-5"), 2);          // folded name
    QCOMPARE(find("", "", "bbc one"), 1);         // the first of the same name
    QCOMPARE(find("tele5.de", "BBC One", ""), 2); // the id before the name
    QCOMPARE(find("", "tele 5", "nothing"), 0);   // tvg-name is not folded
    QCOMPARE(TvgIdOfListId(QStringLiteral("BBCOne.uk@HD")), QStringLiteral("BBCOne.uk"));
    const ListIndex lists({{QStringLiteral("bbcone.uk"), {}, {}}, {{}, {}, QStringLiteral("tele 5")}});
    QVERIFY(lists.matches(QStringLiteral("BBCOne.UK"), {}));
    QVERIFY(lists.matches(QStringLiteral("x"), {QStringLiteral("Télé-5")}));
    QVERIFY(!lists.matches(QStringLiteral("x"), {QStringLiteral("Télé 6")}));
}

QTEST_GUILESS_MAIN(tst_Xmltv)
#include "tst_xmltv.moc"
