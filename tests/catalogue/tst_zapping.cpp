#include "TreeRig.h"
#include "catalogue/ChannelHistory.h"
#include "catalogue/ListCipher.h"
#include "playlists/PlaylistList.h"
#include "playlists/PlaylistReader.h"

#include <QTest>

namespace {

QByteArray item(const char *name, const char *type = "2")
{
    return QByteArray("<Item ChannelName=\"") + name + "\" URL=\"http://x/" + name + "\" INFO=\"\" Ty=\"" + type +
           "\" MT=\"1\" Co=\"\" SP=\"1\" T=\"\" I=\"\" ID=\"\"/>";
}

// Two groups with channels around an empty one.
QByteArray threeGroups()
{
    return "<?xml version=\"1.0\"?><ChannelList><A>" + item("a1") + item("a2", "1") + "</A><Empty/><B>" + item("b1") +
           "</B></ChannelList>";
}

QString selected(const TreeRig &rig)
{
    const QTreeWidgetItem *current = rig.tree->currentItem();
    return current ? current->text(0) : QString();
}

} // namespace

class tst_Zapping : public QObject
{
    Q_OBJECT

private slots:
    void nextAndPreviousGoAcrossGroupsAndAround();
    void zappingIntoAPlaylistGroupFillsIt();
    void lastChannelGoesBackAndForth();
    void theLastChannelPlaysAtStartWhereAsked();
};

void tst_Zapping::nextAndPreviousGoAcrossGroupsAndAround()
{
    TreeRig rig;
    rig.tv(threeGroups());
    rig.start();
    rig.actTV.trigger();
    QStringList played;
    for (int step : {1, 1, 1, 1, -1, -1}) {
        QVERIFY(rig.channels->stepChannel(step));
        played.append(rig.player.plays.last().name);
        QCOMPARE(rig.channels->selectedChannel()->element.text("ChannelName"), played.last()); // selection follows
    }
    QCOMPARE(played, QStringList({"a1", "a2", "b1", "a1", "b1", "a2"}));
    QCOMPARE(rig.player.types.last(), 1);

    // From a selected group: its first channel, or the previous group's last.
    rig.select(2);
    QVERIFY(rig.channels->stepChannel(1));
    QCOMPARE(rig.player.plays.last().name, QStringLiteral("b1"));
    rig.select(2);
    QVERIFY(rig.channels->stepChannel(-1));
    QCOMPARE(rig.player.plays.last().name, QStringLiteral("a2"));

    rig.tv("<?xml version=\"1.0\"?><ChannelList><Empty/></ChannelList>");
    rig.actTV.trigger();
    const qsizetype before = rig.player.plays.size();
    QVERIFY(!rig.channels->stepChannel(1));
    QCOMPARE(rig.player.plays.size(), before);
}

void tst_Zapping::zappingIntoAPlaylistGroupFillsIt()
{
    TreeRig rig;
    rig.start();
    const QString file = rig.dir.file(QStringLiteral("data/p1.CHL"));
    WriteListFile(file,
                  ChannelListOf(ReadPlaylist("#EXTM3U\n#EXTINF:-1 group-title=\"G1\",One\nhttp://p/1\n"
                                             "#EXTINF:-1 group-title=\"G2\",Two\n#EXTVLCOPT:http-referrer=http://r/\n"
                                             "http://p/2\n"),
                                1, QStringLiteral("Mine"))
                      .xml);
    rig.channels->showPlaylist(file);
    QCOMPARE(rig.tree->topLevelItem(1)->childCount(), 0);
    QVERIFY(rig.channels->stepChannel(-1)); // backwards from nothing: the last channel
    QCOMPARE(rig.player.plays.last().address, QStringLiteral("http://p/2"));
    QCOMPARE(rig.player.headers.last().referrer, QStringLiteral("http://r/"));
    QVERIFY(rig.tree->topLevelItem(1)->isExpanded());
    QCOMPARE(selected(rig), QStringLiteral("Two"));
    QVERIFY(rig.channels->stepChannel(-1));
    QCOMPARE(selected(rig), QStringLiteral("One"));
    QVERIFY(rig.player.headers.last().referrer.isEmpty());
}

void tst_Zapping::lastChannelGoesBackAndForth()
{
    TreeRig rig;
    rig.tv(threeGroups());
    rig.start();
    ChannelHistory history(*rig.channels, rig.player, *rig.global);
    rig.actTV.trigger();
    QVERIFY(!history.playPrevious()); // nothing played yet
    rig.select(0, 1);
    rig.channels->treChannleDblClick();
    rig.select(2, 0);
    rig.channels->treChannleDblClick();
    QCOMPARE(rig.global->LastChannelUrl, QStringLiteral("http://x/b1"));
    QCOMPARE(rig.global->LastChannelList, QStringLiteral("tv"));
    QVERIFY(history.playPrevious());
    QCOMPARE(rig.player.plays.last().address, QStringLiteral("http://x/a2"));
    QCOMPARE(rig.player.types.last(), 1);
    QVERIFY(history.playPrevious());
    QCOMPARE(rig.player.plays.last().address, QStringLiteral("http://x/b1"));
    QCOMPARE(rig.player.types.last(), 2);
    // Playing the same channel again does not lose the one before.
    rig.channels->treChannleDblClick();
    QVERIFY(history.playPrevious());
    QCOMPARE(rig.player.plays.last().address, QStringLiteral("http://x/a2"));
}

void tst_Zapping::theLastChannelPlaysAtStartWhereAsked()
{
    TreeRig rig;
    rig.tv(threeGroups());
    rig.dir.writeConfig("[Config]\nPlayLastChannel=1\nLastChannelList=tv\nLastChannelName=b1\n"
                        "LastChannelUrl=http://x/b1\nLastChannelType=2\n");
    rig.start();
    ChannelHistory history(*rig.channels, rig.player, *rig.global);
    rig.actTV.trigger();
    QVERIFY(history.playLastAtStart());
    QCOMPARE(rig.player.plays.last().address, QStringLiteral("http://x/b1"));
    QCOMPARE(selected(rig), QStringLiteral("b1")); // found in the list shown: selected there

    // From another list: played by its address and type as stored.
    rig.global->LastChannelList = QStringLiteral("radio");
    rig.global->LastChannelUrl = QStringLiteral("http://elsewhere/s");
    rig.global->LastChannelType = 2;
    rig.select(0, 0);
    QVERIFY(history.playLastAtStart());
    QCOMPARE(rig.player.plays.last().address, QStringLiteral("http://elsewhere/s"));
    QCOMPARE(rig.player.types.last(), 2);
    QCOMPARE(selected(rig), QStringLiteral("a1"));

    rig.global->PlayLastChannel = false;
    const qsizetype before = rig.player.plays.size();
    QVERIFY(!history.playLastAtStart());
    QCOMPARE(rig.player.plays.size(), before);
}

QTEST_MAIN(tst_Zapping)
#include "tst_zapping.moc"
