#include "TestDirs.h"
#include "playback/NowPlaying.h"
#include "playback/RecentTitles.h"

#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

class tst_NowPlaying : public QObject
{
    Q_OBJECT

private slots:
    void splitsArtistAndTitle_data();
    void splitsArtistAndTitle();
    void newTitlesAreToldOnce();
    void recentTitlesKeepTheLastHundredAcrossRuns();
    void recentTitlesSurviveABadFile();
    void recentTitlesFromAHostileStation();
};

void tst_NowPlaying::splitsArtistAndTitle_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("artist");
    QTest::addColumn<QString>("title");
    QTest::newRow("one dash") << "Nina Simone - Feeling Good"
                              << "Nina Simone"
                              << "Feeling Good";
    QTest::newRow("spaces around") << "  A  -  B "
                                   << "A"
                                   << "B";
    QTest::newRow("none") << "News at Nine"
                          << ""
                          << "News at Nine";
    QTest::newRow("two dashes") << "A - B - C"
                                << ""
                                << "A - B - C";
    QTest::newRow("hyphen in a word") << "Jay-Z"
                                      << ""
                                      << "Jay-Z";
    QTest::newRow("dash at the start") << " - Intro"
                                       << ""
                                       << "- Intro";
    QTest::newRow("dash at the end") << "Intro - "
                                     << ""
                                     << "Intro -";
    QTest::newRow("empty") << ""
                           << ""
                           << "";
}

void tst_NowPlaying::splitsArtistAndTitle()
{
    QFETCH(QString, text);
    QFETCH(QString, artist);
    QFETCH(QString, title);
    const NowPlaying::Title t = NowPlaying::Split(text);
    QCOMPARE(t.artist, artist);
    QCOMPARE(t.title, title);
}

void tst_NowPlaying::newTitlesAreToldOnce()
{
    NowPlaying now;
    QSignalSpy titles(&now, &NowPlaying::newTitle);
    QSignalSpy track(&now, &NowPlaying::trackChanged);
    now.startChannel(QStringLiteral("Radio One"), QStringLiteral("http://radio/one"));
    now.setStreamTitle(QStringLiteral("A - B"));
    now.setStreamTitle(QStringLiteral(" A  - B ")); // the same after spaces are tidied
    now.setStreamTitle({});
    QCOMPARE(titles.size(), 1);
    QCOMPARE(titles.first(), (QVariantList{QStringLiteral("Radio One"), QStringLiteral("A - B")}));
    QCOMPARE(track.size(), 3); // the channel, the title, no title
    now.setStreamTitle(QStringLiteral("A - B"));
    QCOMPARE(titles.size(), 2); // back after a gap: heard again
    // A new stream forgets the title and the logo of the one before.
    now.setLogoFile(QStringLiteral("/logo.png"));
    now.startChannel(QStringLiteral("Radio Two"), QStringLiteral("http://radio/two"));
    QVERIFY(now.streamTitle().isEmpty() && now.logoFile().isEmpty());
    QCOMPARE(now.streamNumber(), 2);
}

void tst_NowPlaying::recentTitlesKeepTheLastHundredAcrossRuns()
{
    TempAppDir dir;
    const QString file = dir.file(QStringLiteral("Recent.json"));
    const QDateTime start = QDateTime::currentDateTimeUtc();
    {
        RecentTitles recent(file);
        recent.load();
        for (int i = 0; i < 130; ++i) {
            const QString title = QStringLiteral("Song %1").arg(i);
            recent.add({start.addSecs(i), QStringLiteral("Radio"), title});
            recent.add({start.addSecs(i), QStringLiteral("Radio"), title}); // said again: not twice
        }
        // The same title on another channel is another entry.
        recent.add({start.addSecs(200), QStringLiteral("Other"), QStringLiteral("Song 129")});
    } // written at the end
    RecentTitles again(file);
    again.load();
    QCOMPARE(again.entries().size(), RecentTitles::kMax);
    QCOMPARE(again.entries().first().channel, QStringLiteral("Other"));
    QCOMPARE(again.entries().at(1).title, QStringLiteral("Song 129"));
    QCOMPARE(again.entries().last().title, QStringLiteral("Song 31"));
    QCOMPARE(again.entries().last().time, start.addSecs(31));
}

void tst_NowPlaying::recentTitlesSurviveABadFile()
{
    TempAppDir dir;
    const QString file = dir.file(QStringLiteral("Recent.json"));
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("[{\"time\":\"not a time\",\"title\":\"x\"},{\"time\":\"2026-01-01T10:00:00Z\",\"channel\":\"C\","
            "\"title\":\"Kept\"},\"junk\",{\"time\":\"2026-01-01T09:00:00Z\"}");
    f.close();
    RecentTitles recent(file);
    recent.load(); // the array is cut short: nothing readable
    QVERIFY(recent.entries().isEmpty());
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("[{\"time\":\"not a time\",\"title\":\"x\"},{\"time\":\"2026-01-01T10:00:00Z\",\"channel\":\"C\","
            "\"title\":\"Kept\"},\"junk\",{\"time\":\"2026-01-01T09:00:00Z\"}]");
    f.close();
    recent.load();
    QCOMPARE(recent.entries().size(), 1);
    QCOMPARE(recent.entries().first().title, QStringLiteral("Kept"));
    // A folder that cannot be made (a file stands in its way, even for root): the entry stays
    // for this run and the reason is told.
    RecentTitles nowhere(file + QStringLiteral("/folder/Recent.json"));
    QString why;
    nowhere.add({QDateTime::currentDateTimeUtc(), QStringLiteral("C"), QStringLiteral("T")});
    QVERIFY(!nowhere.flush(&why));
    QVERIFY(!why.isEmpty());
    QCOMPARE(nowhere.entries().size(), 1);
}

void tst_NowPlaying::recentTitlesFromAHostileStation()
{
    // A station that sends a new 100 KB title full of control characters many times a second.
    TempAppDir dir;
    const QString file = dir.file(QStringLiteral("Recent.json"));
    QString junk(100 * 1024, QChar(1));
    for (qsizetype i = 0; i < junk.size(); i += 7)
        junk[i] = u'x';
    {
        RecentTitles recent(file);
        recent.setSaveDelay(300);
        QSignalSpy saved(&recent, &RecentTitles::saved);
        const QDateTime start = QDateTime::currentDateTimeUtc();
        for (int i = 0; i < 300; ++i)
            recent.add({start.addSecs(i), QStringLiteral("Radio\n<b>x</b>") + junk, QString::number(i) + junk});
        // Everything in one write, made after the burst, not one write per title.
        QTRY_COMPARE(saved.count(), 1);
        QVERIFY(!saved.wait(600));
        const RecentTitles::Entry &newest = recent.entries().first();
        QCOMPARE(newest.title.size(), 512);
        QCOMPARE(newest.channel.size(), 256);
        QVERIFY(newest.title.startsWith(QStringLiteral("299x")));
        QVERIFY(!newest.channel.contains(QChar(1)) && newest.channel.startsWith(QStringLiteral("Radio <b>x</b>x")));
    }
    // The file reads back whole: no escaping made it outgrow what is read.
    QVERIFY(QFileInfo(file).size() < 256 * 1024);
    RecentTitles again(file);
    again.load();
    QCOMPARE(again.entries().size(), RecentTitles::kMax);
    QVERIFY(again.entries().first().title.startsWith(QStringLiteral("299x")));
}

QTEST_GUILESS_MAIN(tst_NowPlaying)
#include "tst_nowplaying.moc"
