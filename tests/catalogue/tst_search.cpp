#include "ListMaker.h"
#include "TestDirs.h"
#include "TreeRig.h"
#include "UiDriver.h"
#include "catalogue/U_frmSearch.h"
#include "base/Errors.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

using ListMaker::Document;
using ListMaker::Item;

namespace {

struct SearchRig
{
    TempAppDir dir;
    std::unique_ptr<TGlobal> global;
    FakePlayer player;
    std::unique_ptr<TFrmSearch> dlg;

    void start()
    {
        global = std::make_unique<TGlobal>(dir.path());
        dlg = std::make_unique<TFrmSearch>(*global, player);
        dlg->show();
    }
    QLineEdit *name() const { return dlg->findChild<QLineEdit *>(QStringLiteral("edtName")); }
    QComboBox *scope() const { return dlg->findChild<QComboBox *>(QStringLiteral("cobChannel")); }
    QTreeWidget *rows() const { return dlg->findChild<QTreeWidget *>(QStringLiteral("listChannel")); }
    void search(const QString &text, int scopeIndex = 0)
    {
        name()->setText(text);
        scope()->setCurrentIndex(scopeIndex);
        dlg->Button1Click();
    }
    QStringList column(int c) const
    {
        QStringList out;
        for (int i = 0; i < rows()->topLevelItemCount(); ++i)
            out.append(rows()->topLevelItem(i)->text(c));
        return out;
    }
    void selectRow(int r) const { rows()->setCurrentItem(rows()->topLevelItem(r)); }
    QStringList workingCopies() const
    {
        return QDir(dir.file(QStringLiteral("data"))).entryList({QStringLiteral("*~temp")}, QDir::Files);
    }
};

QByteArray tvNames()
{
    return Document({{QStringLiteral("A"), Item(QStringLiteral("DAILY NEWS"), QStringLiteral("http://d"), 1,
                                                QStringLiteral("1"), QString(), QStringLiteral("1")) +
                                               Item(QStringLiteral("Sports One"), QStringLiteral("http://s")) +
                                               Item(QStringLiteral("Newswire"), QStringLiteral("http://n"), 3)},
                     {QStringLiteral("B"), Item(QStringLiteral("good news radio"), QStringLiteral("http://g"), 2) +
                                               Item(QStringLiteral("NEŴS"), QStringLiteral("http://x"))}});
}

} // namespace

class tst_Search : public QObject
{
    Q_OBJECT

private slots:
    void opensOnTvScope();
    void matchesNamesCaseBlindForAsciiOnly();
    void blankTextKeepsRows();
    void searchAllOrderAndLabels();
    void playsRowOfLatestSearch();
    void enterSearchesButDoesNotPlay();
    void homepageNeedsMoreThanFiveCharacters();
    void failingListReportedOnceOthersScanned();
    void rowWithBadTypeOrNoAddressDoesNotPlay();
    void secondSearchReplacesRunningScan();
    void closeDuringScanEndsIt();
};

void tst_Search::opensOnTvScope()
{
    SearchRig rig;
    rig.start();
    QCOMPARE(rig.dlg->windowTitle(), QStringLiteral("Search"));
    QCOMPARE(rig.scope()->currentIndex(), 0);
    QCOMPARE(rig.scope()->itemText(3), QStringLiteral("Search All"));
    QCOMPARE(rig.rows()->columnCount(), 4);
    QCOMPARE(rig.rows()->headerItem()->text(3), QStringLiteral("WebSite"));
    QCOMPARE(rig.rows()->columnWidth(0), 80);
    QCOMPARE(rig.rows()->columnWidth(1), 130);
}

void tst_Search::matchesNamesCaseBlindForAsciiOnly()
{
    SearchRig rig;
    rig.dir.writeList(QStringLiteral("data/TV.CHL"), tvNames());
    rig.start();
    rig.search(QStringLiteral("news"));
    QCOMPARE(rig.column(1), QStringList({"DAILY NEWS", "Newswire", "good news radio"}));
    rig.search(QStringLiteral("  ew "));
    QCOMPARE(rig.column(1), QStringList({"DAILY NEWS", "Newswire", "good news radio"}));
    QCOMPARE(rig.column(0), QStringList({"TV Channels", "TV Channels", "TV Channels"}));
    QCOMPARE(rig.column(2).first(), QStringLiteral("Testland"));
    QCOMPARE(rig.column(3).first(), QStringLiteral("http://site.example/1"));
    QCOMPARE(rig.dlg->SearchUrls(), QStringList({"http://d", "http://n", "http://g"}));
    QCOMPARE(rig.dlg->SearchTypes(), QStringList({"1", "3", "2"}));
    rig.search(QStringLiteral("ŵ")); // only a-z are folded
    QCOMPARE(rig.rows()->topLevelItemCount(), 0);
    rig.search(QStringLiteral("Ŵ"));
    QCOMPARE(rig.column(1), QStringList({"NEŴS"}));
    rig.search(QStringLiteral("nothing like it"));
    QCOMPARE(rig.rows()->topLevelItemCount(), 0);
    QVERIFY(rig.workingCopies().isEmpty());
}

void tst_Search::blankTextKeepsRows()
{
    SearchRig rig;
    rig.dir.writeList(QStringLiteral("data/TV.CHL"), tvNames());
    rig.start();
    rig.search(QStringLiteral("news"));
    rig.search(QStringLiteral("    "));
    QCOMPARE(rig.rows()->topLevelItemCount(), 3);
    QCOMPARE(rig.dlg->SearchUrls().size(), 3);
}

void tst_Search::searchAllOrderAndLabels()
{
    SearchRig rig;
    rig.dir.writeList(QStringLiteral("data/TV.CHL"),
                      Document({{QStringLiteral("T"), Item(QStringLiteral("Zeta TV"), QStringLiteral("http://t"))}}));
    rig.dir.writeList(
        QStringLiteral("data/Radio.CHL"),
        Document({{QStringLiteral("R"), Item(QStringLiteral("Zeta FM"), QStringLiteral("http://r"), 2)}}));
    rig.dir.writeList(QStringLiteral("data/Fav.CHL"),
                      Document({{QStringLiteral("F"), Item(QStringLiteral("Zeta TV"), QStringLiteral("http://t"))}}));
    rig.start();
    rig.search(QStringLiteral("zeta"), 3);
    QCOMPARE(rig.column(0), QStringList({"TV Channels", "Radio Stations", "My Favorites"}));
    QCOMPARE(rig.column(1), QStringList({"Zeta TV", "Zeta FM", "Zeta TV"}));
    rig.search(QStringLiteral("zeta"), 1);
    QCOMPARE(rig.column(0), QStringList({"Radio Stations"}));
    rig.search(QStringLiteral("zeta"), 2);
    QCOMPARE(rig.column(0), QStringList({"My Favorites"}));
    QVERIFY(rig.workingCopies().isEmpty());
}

void tst_Search::playsRowOfLatestSearch()
{
    SearchRig rig;
    rig.dir.writeList(QStringLiteral("data/TV.CHL"), tvNames());
    rig.start();
    rig.search(QStringLiteral("sports"));
    rig.search(QStringLiteral("radio"));
    rig.selectRow(0);
    rig.dlg->listChannelDblClick();
    QCOMPARE(rig.player.plays.size(), 1);
    QCOMPARE(rig.player.plays[0].address, QStringLiteral("http://g"));
    QCOMPARE(rig.player.plays[0].name, QStringLiteral("good news radio"));
    QCOMPARE(rig.player.types, QList<int>({2}));
    QVERIFY(rig.dlg->isVisible()); // stays open for the next row
    // Without a selection nothing plays.
    rig.rows()->clearSelection();
    rig.dlg->Play1Click();
    QCOMPARE(rig.player.plays.size(), 1);
}

void tst_Search::enterSearchesButDoesNotPlay()
{
    SearchRig rig;
    rig.dir.writeList(QStringLiteral("data/TV.CHL"), tvNames());
    rig.start();
    QVERIFY(QTest::qWaitForWindowActive(rig.dlg.get()));
    rig.name()->setFocus();
    QTest::keyClicks(rig.name(), QStringLiteral("news"));
    QTest::keyClick(rig.name(), Qt::Key_Return);
    QCOMPARE(rig.rows()->topLevelItemCount(), 3);
    QVERIFY(rig.dlg->isVisible());
    rig.selectRow(1);
    rig.rows()->setFocus();
    QTest::keyClick(rig.rows(), Qt::Key_Return);
    QVERIFY(rig.player.plays.isEmpty());
    QVERIFY(rig.dlg->isVisible());
}

void tst_Search::homepageNeedsMoreThanFiveCharacters()
{
    SearchRig rig;
    rig.dir.writeList(QStringLiteral("data/TV.CHL"),
                      Document({{QStringLiteral("G"),
                                 "<Item ChannelName=\"Short\" URL=\"u\" INFO=\" a.bc \" Ty=\"1\" Co=\"\" SP=\"\"/>"
                                 "<Item ChannelName=\"Long\" URL=\"u\" INFO=\"ab.cde\" Ty=\"1\" Co=\"\" SP=\"\"/>"}}));
    rig.start();
    ShellRecorder shell;
    rig.search(QStringLiteral("o"));
    rig.selectRow(0);
    rig.dlg->Vis1Click();
    QVERIFY(shell.opened.isEmpty());
    rig.selectRow(1);
    rig.dlg->Vis1Click();
    QCOMPARE(shell.opened, QStringList({"ab.cde"}));
}

void tst_Search::failingListReportedOnceOthersScanned()
{
    SearchRig rig;
    rig.dir.write(QStringLiteral("data/TV.CHL"), "not a list");
    rig.dir.writeList(
        QStringLiteral("data/Radio.CHL"),
        Document({{QStringLiteral("R"), Item(QStringLiteral("Zeta 1"), QStringLiteral("http://1"), 2) +
                                            "<Item ChannelName=\"Zeta broken\" Ty=\"2\"/>" +
                                            Item(QStringLiteral("Zeta 3"), QStringLiteral("http://3"), 2)}}));
    rig.dir.writeList(QStringLiteral("data/Fav.CHL"),
                      Document({{QStringLiteral("F"), Item(QStringLiteral("Zeta fav"), QStringLiteral("http://f"))}}));
    rig.start();
    RecordingPrompter prompter;
    rig.search(QStringLiteral("zeta"), 3);
    QCOMPARE(prompter.texts(), QStringList({"Search failed.Please download the new version!",
                                            "Search failed.Please download the new version!"}));
    QCOMPARE(rig.column(1), QStringList({"Zeta 1", "Zeta fav"}));
    QCOMPARE(rig.dlg->SearchUrls().size(), 2);
    QVERIFY(rig.workingCopies().isEmpty());
    QVERIFY(rig.dlg->findChild<QPushButton *>(QStringLiteral("btnCancel"))->isEnabled());
    // A missing list fails the same way.
    QFile::remove(rig.dir.file(QStringLiteral("data/Fav.CHL")));
    rig.search(QStringLiteral("zeta"), 2);
    QCOMPARE(prompter.messages.size(), 3);
}

void tst_Search::rowWithBadTypeOrNoAddressDoesNotPlay()
{
    SearchRig rig;
    rig.dir.writeList(
        QStringLiteral("data/TV.CHL"),
        Document({{QStringLiteral("G"), "<Item ChannelName=\"Odd\" URL=\"http://o\" INFO=\"\" Ty=\"tv\" Co=\"\"/>"
                                        "<Item ChannelName=\"Empty\" URL=\" \" INFO=\"\" Ty=\"1\" Co=\"\"/>"}}));
    rig.start();
    rig.search(QStringLiteral("odd"));
    rig.selectRow(0);
    QVERIFY_THROWS_EXCEPTION(ZError, rig.dlg->listChannelDblClick());
    rig.search(QStringLiteral("empty"));
    rig.selectRow(0);
    rig.dlg->listChannelDblClick();
    QVERIFY(rig.player.plays.isEmpty());
    QVERIFY(rig.player.types.isEmpty());
}

void tst_Search::secondSearchReplacesRunningScan()
{
    SearchRig rig;
    rig.dir.writeList(QStringLiteral("data/TV.CHL"), ListMaker::Plain(20, 2000, QStringLiteral("Alpha")));
    rig.dir.writeList(
        QStringLiteral("data/Radio.CHL"),
        Document({{QStringLiteral("R"), Item(QStringLiteral("Beta FM"), QStringLiteral("http://b"), 2)}}));
    rig.start();
    bool interrupted = false;
    QTimer::singleShot(0, rig.dlg.get(), [&] {
        interrupted = rig.dlg->isScanning();
        rig.name()->setText(QStringLiteral("beta"));
        rig.scope()->setCurrentIndex(1);
        rig.dlg->Button1Click();
    });
    rig.search(QStringLiteral("alpha"));
    QVERIFY(interrupted);
    QTRY_COMPARE(rig.column(1), QStringList({"Beta FM"}));
    QCOMPARE(rig.dlg->SearchUrls(), QStringList({"http://b"}));
    QVERIFY(!rig.dlg->isScanning());
    QVERIFY(rig.workingCopies().isEmpty());
}

void tst_Search::closeDuringScanEndsIt()
{
    SearchRig rig;
    rig.dir.writeList(QStringLiteral("data/TV.CHL"), ListMaker::Plain(20, 2000, QStringLiteral("Alpha")));
    rig.start();
    QTimer::singleShot(0, rig.dlg.get(), [&] { rig.dlg->close(); });
    rig.search(QStringLiteral("alpha"));
    QVERIFY(!rig.dlg->isVisible());
    QVERIFY(rig.rows()->topLevelItemCount() < 40000);
    QVERIFY(rig.workingCopies().isEmpty());
}

QTEST_MAIN(tst_Search)
#include "tst_search.moc"
