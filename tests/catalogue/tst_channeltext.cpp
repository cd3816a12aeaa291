#include "catalogue/ChannelText.h"
#include "catalogue/XmlDocument.h"
#include "base/Errors.h"

#include <QTest>

class tst_ChannelText : public QObject
{
    Q_OBJECT

private slots:
    void labels_data();
    void labels();
    void unshowableChannels_data();
    void unshowableChannels();
    void icons();
    void groupLabels();
    void detailsPages_data();
    void detailsPages();
    void reportAddressesKeepTextAsIs();
    void contextItemOutlivesDocument();
};

void tst_ChannelText::labels_data()
{
    QTest::addColumn<QByteArray>("item");
    QTest::addColumn<bool>("filtered");
    QTest::addColumn<QString>("label");
    QTest::newRow("tv") << QByteArray("ChannelName=\"Euro News\" Ty=\"1\" SP=\"300\"") << false
                        << QStringLiteral("Euro News (300K)");
    QTest::newRow("radio bare") << QByteArray("ChannelName=\"Jazz\" Ty=\"2\" SP=\"128\"") << false
                                << QStringLiteral("Jazz");
    QTest::newRow("radio filtered long") << QByteArray("ChannelName=\"Jazz\" Ty=\"2\" SP=\"128\"") << true
                                         << QStringLiteral("Jazz (128K)");
    QTest::newRow("tv empty speed") << QByteArray("ChannelName=\"X\" Ty=\"1\" SP=\"\"") << false
                                    << QStringLiteral("X (K)");
    QTest::newRow("radio without SP") << QByteArray("ChannelName=\"R\" Ty=\"2\"") << false << QStringLiteral("R");
    QTest::newRow("video bare") << QByteArray("ChannelName=\"V\" Ty=\"3\" SP=\"9\"") << false << QStringLiteral("V");
    QTest::newRow("ty 01 is one") << QByteArray("ChannelName=\"Z\" Ty=\"01\" SP=\"5\"") << false
                                  << QStringLiteral("Z (5K)");
    QTest::newRow("unicode") << QByteArray("ChannelName=\"Первый канал\" Ty=\"1\" SP=\"1500\"") << false
                             << QStringLiteral("Первый канал (1500K)");
}

void tst_ChannelText::labels()
{
    QFETCH(QByteArray, item);
    QFETCH(bool, filtered);
    XmlDocument doc;
    doc.loadFromBytes("<r><g><Item " + item + "/></g></r>");
    QTEST(ChannelLabel(doc.documentElement().child(0).child(0), filtered), "label");
}

void tst_ChannelText::unshowableChannels_data()
{
    QTest::addColumn<QByteArray>("item");
    QTest::addColumn<bool>("filtered");
    QTest::newRow("no name") << QByteArray("Ty=\"1\" SP=\"1\"") << false;
    QTest::newRow("no type") << QByteArray("ChannelName=\"A\" SP=\"1\"") << false;
    QTest::newRow("type not a number") << QByteArray("ChannelName=\"A\" Ty=\"tv\" SP=\"1\"") << false;
    QTest::newRow("tv without speed") << QByteArray("ChannelName=\"A\" Ty=\"1\"") << false;
    QTest::newRow("filtered radio without speed") << QByteArray("ChannelName=\"A\" Ty=\"2\"") << true;
}

void tst_ChannelText::unshowableChannels()
{
    QFETCH(QByteArray, item);
    QFETCH(bool, filtered);
    XmlDocument doc;
    doc.loadFromBytes("<r><g><Item " + item + "/></g></r>");
    QVERIFY_THROWS_EXCEPTION(ZError, ChannelLabel(doc.documentElement().child(0).child(0), filtered));
}

void tst_ChannelText::icons()
{
    XmlDocument doc;
    doc.loadFromBytes("<r><g><Item Ty=\"1\"/><Item Ty=\"2\"/><Item Ty=\"01\"/><Item/><Item Ty=\"3\"/></g></r>");
    const QList<XmlNode> c = doc.documentElement().child(0).childNodes();
    QCOMPARE(ChannelIcon(c[0]), IconTelevision);
    QCOMPARE(ChannelIcon(c[1]), IconSpeaker);
    QCOMPARE(ChannelIcon(c[2]), IconSpeaker); // the text is compared, not the number
    QCOMPARE(ChannelIcon(c[3]), IconSpeaker);
    QCOMPARE(ChannelIcon(c[4]), IconSpeaker);
}

void tst_ChannelText::groupLabels()
{
    QCOMPARE(GroupLabel(QStringLiteral("News"), 12), QStringLiteral("NEWS  (12)"));
    QCOMPARE(GroupLabel(QStringLiteral("United_States"), 3), QStringLiteral("UNITED_STATES  (3)"));
    QCOMPARE(GroupLabel(QStringLiteral("Türkiye"), 1), QStringLiteral("TüRKIYE  (1)"));
}

void tst_ChannelText::detailsPages_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("id");
    QTest::addColumn<bool>("radio");
    QTest::addColumn<QString>("page");
    QTest::newRow("tv example") << QStringLiteral("City News (UK)") << QStringLiteral("42") << false
                                << QStringLiteral("channels/City_News_UK-Details-42.htm");
    QTest::newRow("radio example") << QStringLiteral("Jazz F.M. 'Live'") << QStringLiteral("7") << true
                                   << QStringLiteral("radio/Jazz_F-M-_-Live--7.htm");
    QTest::newRow("tv A (B) C") << QStringLiteral("A (B) C") << QStringLiteral("5") << false
                                << QStringLiteral("channels/A_B_C-Details-5.htm");
    QTest::newRow("radio A (B) C") << QStringLiteral("A (B) C") << QStringLiteral("5") << true
                                   << QStringLiteral("radio/A_B_C-5.htm");
    QTest::newRow("tv keeps dots") << QStringLiteral("Mr. Bean's") << QStringLiteral("9") << false
                                   << QStringLiteral("channels/Mr._Bean's-Details-9.htm");
    QTest::newRow("empty id") << QStringLiteral("X") << QString() << false << QStringLiteral("channels/X-Details-.htm");
    QTest::newRow("id not trimmed") << QStringLiteral("X") << QStringLiteral(" 3") << true
                                    << QStringLiteral("radio/X- 3.htm");
}

void tst_ChannelText::detailsPages()
{
    QFETCH(QString, name);
    QFETCH(QString, id);
    QFETCH(bool, radio);
    QFETCH(QString, page);
    QCOMPARE(DetailsPageAddress(QStringLiteral("http://site/"), name, id, radio),
             QStringLiteral("http://site/") + page);
}

void tst_ChannelText::reportAddressesKeepTextAsIs()
{
    QCOMPARE(ChannelFormAddress(QStringLiteral("http://s/"), QStringLiteral("report.php"), QStringLiteral("17"),
                                QStringLiteral("Fox News")),
             QStringLiteral("http://s/report.php?channelid=17&channelname=Fox News"));
    QCOMPARE(ChannelFormAddress(QStringLiteral("http://s/"), QStringLiteral("review.php"), QStringLiteral("3"),
                                QStringLiteral("Tom & Jerry")),
             QStringLiteral("http://s/review.php?channelid=3&channelname=Tom & Jerry"));
}

void tst_ChannelText::contextItemOutlivesDocument()
{
    ChannelItem item;
    {
        XmlDocument doc;
        doc.loadFromBytes("<r><g><Item ChannelName=\"A\" ID=\"\"/></g></r>");
        item = ChannelItem(doc.documentElement().child(0).child(0));
    }
    QCOMPARE(item.text("ChannelName"), QStringLiteral("A"));
    QCOMPARE(item.text("ID"), QString());
    QVERIFY(!item.attribute("URL"));
    QVERIFY_THROWS_EXCEPTION(ZError, item.text("URL"));
}

QTEST_GUILESS_MAIN(tst_ChannelText)
#include "tst_channeltext.moc"
