#include "ListMaker.h"
#include "TreeRig.h"
#include "UiDriver.h"
#include "base/Errors.h"

#include <QTest>
#include <QTimer>

using ListMaker::Document;
using ListMaker::Item;

namespace {

const QString kLoadFailed = QStringLiteral("Load Channel database failed.Please download the new version!");

QByteArray newsAndSports()
{
    return Document({{QStringLiteral("News"), Item(QStringLiteral("Euro News"), QStringLiteral("http://en"), 1,
                                                   QStringLiteral("300"), QStringLiteral("News"), QStringLiteral("5")) +
                                                  Item(QStringLiteral("Talk Radio"), QStringLiteral("http://tr"), 2,
                                                       QString(), QStringLiteral("News"), QStringLiteral("6")) +
                                                  Item(QStringLiteral("No Speed"), QStringLiteral("http://ns"), 1,
                                                       QString(), QStringLiteral("Sports"), QStringLiteral("7"))},
                     {QStringLiteral("Sports"), QByteArray()},
                     {QStringLiteral("Más"), Item(QStringLiteral("Uno"), QStringLiteral("http://u"), 1,
                                                  QStringLiteral("1500"), QStringLiteral("News"), QString())}});
}

QImage iconImage(const QTreeWidgetItem *item)
{
    return item->icon(0).pixmap(16, 16).toImage();
}

} // namespace

class tst_ChannelTree : public QObject
{
    Q_OBJECT

private slots:
    void labelsIconsAndGroups();
    void iconsFollowShowIconAtLoad();
    void favouritesOpenFirstGroup();
    void listActionsSetCheckAndKind();
    void filteredView();
    void loadFailures_data();
    void loadFailures();
    void failureKeepsNodesBeforeIt();
    void popupStates();
    void rightClickSelectsTheRowUnderTheMouse();
    void contextItemSurvivesReload();
    void doubleClickPlays();
    void doubleClickNeedsUrl();
    void loadHoldsOffCommands();
};

void tst_ChannelTree::labelsIconsAndGroups()
{
    TreeRig rig;
    rig.tv(newsAndSports());
    rig.start();
    rig.actTV.trigger();
    QCOMPARE(rig.topLabels(), QStringList({"NEWS  (3)", "Sports", "MáS  (1)"}));
    QCOMPARE(rig.childLabels(0), QStringList({"Euro News (300K)", "Talk Radio", "No Speed (K)"}));
    QCOMPARE(rig.tree->topLevelItem(1)->childCount(), 0);
    QTreeWidgetItem *news = rig.tree->topLevelItem(0);
    QVERIFY(!news->isExpanded());
    const QImage tv = iconImage(news->child(0));
    QVERIFY(!tv.isNull());
    QCOMPARE(iconImage(news->child(2)), tv);
    QVERIFY(iconImage(news->child(1)) != tv);
    QVERIFY(iconImage(news) != tv && iconImage(news) != iconImage(news->child(1)));
    QVERIFY(rig.workingCopies().isEmpty());
}

void tst_ChannelTree::iconsFollowShowIconAtLoad()
{
    TreeRig rig;
    rig.tv(newsAndSports());
    rig.radio(newsAndSports());
    rig.start();
    rig.actTV.trigger();
    rig.global->ShowIcon = false;
    QVERIFY(!rig.tree->topLevelItem(0)->icon(0).isNull()); // the shown list keeps its icons
    rig.actRadio.trigger();
    QVERIFY(rig.tree->topLevelItem(0)->icon(0).isNull());
    QVERIFY(rig.tree->topLevelItem(0)->child(0)->icon(0).isNull());
}

void tst_ChannelTree::favouritesOpenFirstGroup()
{
    TreeRig rig;
    rig.fav(newsAndSports());
    rig.tv(newsAndSports());
    rig.start();
    rig.actFavorites.trigger();
    QVERIFY(rig.tree->topLevelItem(0)->isExpanded());
    QVERIFY(!rig.tree->topLevelItem(2)->isExpanded());
    rig.actTV.trigger();
    QVERIFY(!rig.tree->topLevelItem(0)->isExpanded());
}

void tst_ChannelTree::listActionsSetCheckAndKind()
{
    TreeRig rig;
    rig.tv(newsAndSports());
    rig.radio(newsAndSports());
    rig.start();
    QCOMPARE(rig.channels->ChannelListKind(), ListKind::None);
    for (QAction *f : rig.filters)
        QVERIFY(f->isEnabled()); // before the first load
    rig.actRadio.trigger();
    QCOMPARE(rig.channels->ChannelListKind(), ListKind::Radio);
    QVERIFY(rig.actRadio.isChecked() && !rig.actTV.isChecked() && !rig.actFavorites.isChecked());
    for (QAction *f : rig.filters)
        QVERIFY(!f->isEnabled());
    rig.actTV.trigger();
    QCOMPARE(rig.channels->ChannelListKind(), ListKind::TV);
    QVERIFY(rig.actTV.isChecked() && !rig.actRadio.isChecked());
    for (QAction *f : rig.filters)
        QVERIFY(f->isEnabled());
    for (QAction *a : {&rig.actTV, &rig.actRadio, &rig.actFavorites})
        QVERIFY(a->isEnabled());
}

void tst_ChannelTree::filteredView()
{
    TreeRig rig;
    rig.tv(newsAndSports());
    rig.start();
    RecordingPrompter prompter;
    rig.actTV.trigger();
    QAction *news = rig.filters[0];
    rig.channels->menNewsClick(news);
    QVERIFY(news->isChecked());
    QCOMPARE(rig.channels->ChannelListKind(), ListKind::TV);
    QCOMPARE(rig.topLabels(), QStringList({"NEWS  (2)", "MáS  (1)"}));
    QCOMPARE(rig.childLabels(0), QStringList({"Euro News (300K)", "Talk Radio (K)"}));
    // The whole list again: the category keeps its check mark.
    rig.actTV.trigger();
    QCOMPARE(rig.topLabels().size(), 3);
    QVERIFY(news->isChecked());
    // Another category moves the check mark; one nobody has gives an empty tree quietly.
    rig.channels->menNewsClick(rig.filters[1]);
    QVERIFY(!news->isChecked() && rig.filters[1]->isChecked());
    QVERIFY(rig.topLabels().isEmpty());
    QVERIFY(prompter.messages.isEmpty());
    // Compared exactly.
    QAction lower(QStringLiteral("&news"));
    rig.channels->menNewsClick(&lower);
    QVERIFY(rig.topLabels().isEmpty());
    QVERIFY(rig.workingCopies().isEmpty());
}

void tst_ChannelTree::loadFailures_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("encipher");
    QByteArray random(3000, '\0');
    for (int i = 0; i < random.size(); ++i)
        random[i] = char((i * 2654435761u) >> 11);
    QTest::newRow("random bytes") << random << false;
    QTest::newRow("empty file") << QByteArray() << false;
    QTest::newRow("plain xml") << newsAndSports() << false;
    QTest::newRow("truncated") << newsAndSports().left(200) << true;
    QTest::newRow("no ChannelName") << Document({{QStringLiteral("G"), "<Item Ty=\"1\" SP=\"1\"/>"}}) << true;
    QTest::newRow("no Ty") << Document({{QStringLiteral("G"), "<Item ChannelName=\"A\" SP=\"1\"/>"}}) << true;
    QTest::newRow("Ty not a number") << Document(
                                            {{QStringLiteral("G"), "<Item ChannelName=\"A\" Ty=\"TV\" SP=\"1\"/>"}})
                                     << true;
    QTest::newRow("TV without SP") << Document({{QStringLiteral("G"), "<Item ChannelName=\"A\" Ty=\"1\"/>"}}) << true;
    QTest::newRow("unsupported encoding")
        << QByteArray("<?xml version=\"1.0\" encoding=\"x-no-such-charset\"?><r><g/></r>") << true;
}

void tst_ChannelTree::loadFailures()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, encipher);
    TreeRig rig;
    if (encipher)
        rig.radio(bytes);
    else
        rig.dir.write(QStringLiteral("data/Radio.CHL"), bytes);
    rig.start();
    RecordingPrompter prompter;
    rig.actRadio.trigger();
    QCOMPARE(prompter.texts(), {kLoadFailed});
    QCOMPARE(prompter.messages[0].icon, MsgIcon::None);
    QVERIFY(rig.actRadio.isChecked());
    QCOMPARE(rig.channels->ChannelListKind(), ListKind::Radio);
    for (QAction *a : {&rig.actTV, &rig.actRadio, &rig.actFavorites})
        QVERIFY(a->isEnabled());
    QVERIFY(rig.workingCopies().isEmpty());
    QVERIFY(!rig.channels->isLoading());
    QVERIFY(!QApplication::overrideCursor());
}

void tst_ChannelTree::failureKeepsNodesBeforeIt()
{
    TreeRig rig;
    rig.fav(Document({{QStringLiteral("Good"), Item(QStringLiteral("A"), QStringLiteral("http://a"))},
                      {QStringLiteral("Bad"), Item(QStringLiteral("B"), QStringLiteral("http://b")) +
                                                  "<Item ChannelName=\"C\" Ty=\"x\"/>" +
                                                  Item(QStringLiteral("D"), QStringLiteral("http://d"))}}));
    rig.dir.write(QStringLiteral("data/TV.CHL"), "missing list");
    rig.start();
    RecordingPrompter prompter;
    rig.actFavorites.trigger();
    QCOMPARE(prompter.texts(), {kLoadFailed});
    QCOMPARE(rig.topLabels(), QStringList({"GOOD  (1)", "Bad"}));
    QCOMPARE(rig.childLabels(1), QStringList({"B (300K)"}));
    // Missing list file.
    QFile::remove(rig.dir.file(QStringLiteral("data/TV.CHL")));
    rig.actTV.trigger();
    QCOMPARE(prompter.messages.size(), 2);
    QVERIFY(rig.topLabels().isEmpty());
    QVERIFY(rig.workingCopies().isEmpty());
}

void tst_ChannelTree::popupStates()
{
    TreeRig rig;
    rig.fav(
        Document({{QStringLiteral("My_Favorites"), Item(QStringLiteral("A"), QStringLiteral("http://a"), 1,
                                                        QStringLiteral("1"), QString(), QStringLiteral("17")) +
                                                       Item(QStringLiteral("Mine"), QStringLiteral("http://m"), 1,
                                                            QStringLiteral("1"), QString(), QStringLiteral("  "))}}));
    rig.tv(newsAndSports());
    rig.start();
    const QList<QAction *> seven = {&rig.actLeftPlay,   &rig.actAddNew, &rig.actDelete,   &rig.actAddFav,
                                    &rig.actProperties, &rig.actBroken, &rig.actAddReview};
    const auto enabled = [&] {
        QStringList on;
        for (QAction *a : seven) {
            if (a->isEnabled())
                on.append(a->text());
        }
        return on;
    };
    const auto rightClick = [&] {
        rig.channels->treChannleMouseDown(QPoint(10, 10));
        const bool shown = rig.popLeft->isVisible();
        rig.popLeft->hide();
        return shown;
    };

    rig.actFavorites.trigger();
    // Nothing selected: no popup, nothing changes.
    rig.tree->setCurrentItem(nullptr);
    QVERIFY(!rightClick());

    rig.select(0, 0);
    QVERIFY(rightClick());
    QCOMPARE(enabled(),
             QStringList({"&Play", "Add &New", "&Delete", "&Properties", "&Report Broken", "Add Your &Review"}));
    QCOMPARE(rig.channels->ContextItem()->text("ID"), QStringLiteral("17"));

    rig.select(0, 1); // ID of blanks only
    QVERIFY(rightClick());
    QCOMPARE(enabled(), QStringList({"&Play", "Add &New", "&Delete", "&Properties"}));

    rig.select(0);
    QVERIFY(rightClick());
    QCOMPARE(enabled(), QStringList({"Add &New"}));
    QCOMPARE(rig.channels->ContextItem()->text("ChannelName"), QStringLiteral("Mine")); // unchanged by a group

    rig.actTV.trigger();
    rig.select(0, 0);
    QVERIFY(rightClick());
    QCOMPARE(enabled(),
             QStringList({"&Play", "&Add to Favorites", "&Properties", "&Report Broken", "Add Your &Review"}));
    rig.select(1);
    QVERIFY(rightClick());
    QVERIFY(enabled().isEmpty());
}

void tst_ChannelTree::rightClickSelectsTheRowUnderTheMouse()
{
    TreeRig rig;
    rig.tv(newsAndSports());
    rig.fav(Document({{QStringLiteral("My_Favorites"), Item(QStringLiteral("Mine"), QStringLiteral("http://m"), 1)}}));
    rig.start();
    rig.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&rig.window));
    rig.actTV.trigger();
    rig.tree->expandAll();
    rig.select(0, 0);
    QTreeWidgetItem *other = rig.tree->topLevelItem(0)->child(2);
    QTest::mousePress(rig.tree->viewport(), Qt::RightButton, {}, rig.tree->visualItemRect(other).center());
    QCOMPARE(rig.tree->currentItem(), other);
    QVERIFY(other->isSelected());
    QVERIFY(rig.popLeft->isVisible());
    QCOMPARE(rig.channels->ContextItem()->text("ChannelName"), QStringLiteral("No Speed"));
    rig.popLeft->hide();
    // "Add to My Favorites" from that popup adds the channel clicked, not the one before.
    RecordingPrompter prompter;
    rig.favorites->actAddFavExecute();
    rig.actFavorites.trigger();
    QCOMPARE(rig.childLabels(0).size(), 2);
    QVERIFY(rig.childLabels(0).at(1).startsWith(QStringLiteral("No Speed")));
    // A right click on empty space clears the selection and opens nothing.
    rig.select(0, 0);
    QTest::mousePress(rig.tree->viewport(), Qt::RightButton, {}, QPoint(5, rig.tree->viewport()->height() - 3));
    QVERIFY(!rig.channels->hasSelection());
    QVERIFY(!rig.popLeft->isVisible());
}

void tst_ChannelTree::contextItemSurvivesReload()
{
    TreeRig rig;
    rig.tv(newsAndSports());
    rig.radio(Document({{QStringLiteral("R"), Item(QStringLiteral("Other"), QStringLiteral("http://o"), 2)}}));
    rig.start();
    rig.actTV.trigger();
    rig.popupOn(0, 1);
    rig.actRadio.trigger();
    rig.actTV.trigger();
    QCOMPARE(rig.channels->ContextItem()->text("ChannelName"), QStringLiteral("Talk Radio"));
    QCOMPARE(rig.channels->ContextItem()->text("ID"), QStringLiteral("6"));
}

void tst_ChannelTree::doubleClickPlays()
{
    TreeRig rig;
    rig.tv(newsAndSports());
    rig.start();
    rig.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&rig.window));
    rig.actTV.trigger();
    rig.tree->expandAll();
    QTreeWidgetItem *talk = rig.tree->topLevelItem(0)->child(1);
    const QPoint at = rig.tree->visualItemRect(talk).center();
    QTest::mouseClick(rig.tree->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(rig.tree->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(rig.player.plays.size(), 1);
    QCOMPARE(rig.player.plays[0].address, QStringLiteral("http://tr"));
    QCOMPARE(rig.player.plays[0].name, QStringLiteral("Talk Radio"));
    QCOMPARE(rig.player.types, QList<int>({2}));

    // Enter on a channel plays it as well; a group node plays nothing.
    rig.select(0, 0);
    QTest::keyClick(rig.tree, Qt::Key_Return);
    QCOMPARE(rig.player.plays.size(), 2);
    QCOMPARE(rig.player.types.last(), 1);
    rig.select(1);
    rig.channels->treChannleDblClick();
    rig.actLeftPlay.trigger(); // not wired here; the handler is what plays
    QCOMPARE(rig.player.plays.size(), 2);
}

void tst_ChannelTree::doubleClickNeedsUrl()
{
    TreeRig rig;
    rig.tv(Document({{QStringLiteral("G"), "<Item ChannelName=\"NoUrl\" Ty=\"1\" SP=\"1\"/>"}}));
    rig.start();
    rig.actTV.trigger();
    rig.select(0, 0);
    QVERIFY_THROWS_EXCEPTION(ZError, rig.channels->treChannleDblClick());
    QVERIFY(rig.player.plays.isEmpty());
}

void tst_ChannelTree::loadHoldsOffCommands()
{
    TreeRig rig;
    rig.tv(ListMaker::Plain(30, 1000));
    rig.radio(newsAndSports());
    rig.fav(newsAndSports());
    rig.start();
    RecordingPrompter prompter;
    bool ranDuringLoad = false;
    QTimer::singleShot(0, &rig.window, [&] {
        ranDuringLoad = rig.channels->isLoading();
        QVERIFY(!rig.actRadio.isEnabled());
        for (QAction *f : rig.filters)
            QVERIFY(!f->isEnabled());
        rig.channels->actRadioExecute();
        rig.channels->actFavoritesExecute();
        rig.channels->menNewsClick(rig.filters[0]);
        if (rig.tree->topLevelItemCount() > 0 && rig.tree->topLevelItem(0)->childCount() > 0) {
            rig.select(0, 0);
            rig.channels->treChannleMouseDown(QPoint());
            rig.channels->treChannleDblClick();
        }
        rig.favorites->actAddFavExecute();
        rig.favorites->actDeleteExecute();
        rig.favorites->actRestoreFavExecute();
        rig.favorites->actAddNewExecute();
    });
    rig.actTV.trigger();
    QVERIFY(ranDuringLoad);
    QVERIFY(!rig.popLeft->isVisible());
    QVERIFY(rig.player.plays.isEmpty());
    QVERIFY(prompter.messages.isEmpty());
    QCOMPARE(rig.channels->ChannelListKind(), ListKind::TV);
    QVERIFY(rig.actTV.isChecked() && !rig.actRadio.isChecked() && !rig.actFavorites.isChecked());
    QCOMPARE(rig.tree->topLevelItemCount(), 30);
    QCOMPARE(rig.tree->topLevelItem(29)->text(0), QStringLiteral("GROUP_29  (1000)"));
    QCOMPARE(rig.tree->topLevelItem(29)->childCount(), 1000);
    for (QAction *f : rig.filters)
        QVERIFY(f->isEnabled());
    QVERIFY(rig.workingCopies().isEmpty());
    QVERIFY(!rig.filters[0]->isChecked());
}

QTEST_MAIN(tst_ChannelTree)
#include "tst_channeltree.moc"
