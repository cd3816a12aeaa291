// Outside text as it is kept: cleaned and capped; header values that cannot add headers.
#include "base/OutsideText.h"
#include "playlists/PlaylistReader.h"

#include <QTest>

class tst_OutsideText : public QObject
{
    Q_OBJECT

private slots:
    void cleans_data();
    void cleans();
    void capsHugeReplies();
    void headerValues();
    void playlistsAreCleanedWhereTheyAreRead();
};

void tst_OutsideText::cleans_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("cap");
    QTest::addColumn<QString>("clean");
    QTest::newRow("plain") << "Song" << 10 << "Song";
    QTest::newRow("controls gone") << QString::fromUtf8("A\x01\x1b[31mB\x7f") << 10 << "A[31mB";
    QTest::newRow("line breaks are blanks") << "A\r\nB\tC" << 10 << "A  B C";
    QTest::newRow("unicode separators") << QString::fromUtf8("A\u2028B") << 10 << "A B";
    QTest::newRow("trimmed") << "  A  " << 10 << "A";
    QTest::newRow("capped") << "ABCDEFGHIJ" << 4 << "ABCD";
    // A character outside the basic plane is two halves: never one of them alone.
    QTest::newRow("pair kept whole") << QString::fromUtf8("AB\U0001F3B5") << 4 << QString::fromUtf8("AB\U0001F3B5");
    QTest::newRow("pair not cut") << QString::fromUtf8("ABC\U0001F3B5") << 4 << "ABC";
    QTest::newRow("lone half") << (QStringLiteral("A") + QChar(0xD800) + QStringLiteral("B")) << 4 << "AB";
}

void tst_OutsideText::cleans()
{
    QFETCH(QString, text);
    QFETCH(int, cap);
    QFETCH(QString, clean);
    QCOMPARE(outside::Clean(text, cap), clean);
}

void tst_OutsideText::capsHugeReplies()
{
    // A 5 MB reason phrase of control characters with a word at each end.
    const QByteArray reply = "Bad " + QByteArray(5 << 20, '\x02') + "end";
    QCOMPARE(outside::CleanUtf8(reply, outside::kReason), QStringLiteral("Bad"));
    const QString title = QString(20000, u'x');
    QCOMPARE(outside::Clean(title, outside::kTitle).size(), outside::kTitle);
}

void tst_OutsideText::headerValues()
{
    QVERIFY(outside::IsHeaderSafe(QStringLiteral("Mozilla/5.0 (X11)")));
    QVERIFY(!outside::IsHeaderSafe(QStringLiteral("a\r\nX-Evil: 1")));
    QVERIFY(!outside::IsHeaderSafe(QStringLiteral("a\nb")));
    QVERIFY(!outside::IsHeaderSafe(QStringLiteral("a") + QChar(0) + QStringLiteral("b")));
    QVERIFY(!outside::IsHeaderSafe(QString(outside::kHeader + 1, u'a')));
    QVERIFY(outside::IsHeaderSafe(QString(outside::kHeader, u'a')));
    QVERIFY(!outside::IsHeaderSafe(QStringLiteral("x\r")));
    QCOMPARE(outside::HeaderValue(QStringLiteral("s=1\r\n\r\nGET /smuggled HTTP/1.1")), QString());
    QCOMPARE(outside::HeaderValue(QStringLiteral("s=1")), QStringLiteral("s=1"));
}

void tst_OutsideText::playlistsAreCleanedWhereTheyAreRead()
{
    const QByteArray longName(10000, 'n');
    const QByteArray longAddress = "http://127.0.0.1/" + QByteArray(9000, 'a');
    const Playlist p = ReadPlaylist("#EXTM3U\n"
                                    "#EXTINF:-1 group-title=\"G\x01roup\",Name\x02One\n"
                                    "#EXTHTTP:{\"cookie\":\"s=1\\r\\nX-Evil: 1\",\"user-agent\":\"Box\\u0000\"}\n"
                                    "#EXTVLCOPT:http-referrer=http://ok/\n"
                                    "http://127.0.0.1/one\n"
                                    "#EXTINF:-1," +
                                    longName +
                                    "\n"
                                    "http://127.0.0.1/two\n"
                                    "#EXTINF:-1,Too long\n" +
                                    longAddress + "\n");
    QCOMPARE(p.entries.size(), 2); // an address longer than any real one is dropped
    const PlaylistEntry &one = p.entries.at(0);
    QCOMPARE(one.name, QStringLiteral("NameOne"));
    QCOMPARE(one.group, QStringLiteral("Group"));
    QVERIFY(one.cookie.isEmpty());    // refused: it would add a header of its own
    QVERIFY(one.userAgent.isEmpty()); // a NUL
    QCOMPARE(one.referrer, QStringLiteral("http://ok/"));
    QCOMPARE(p.entries.at(1).name.size(), outside::kName);
}

QTEST_GUILESS_MAIN(tst_OutsideText)
#include "tst_outsidetext.moc"
