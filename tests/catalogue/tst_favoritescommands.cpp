#include "ListMaker.h"
#include "TreeRig.h"
#include "UiDriver.h"
#include "catalogue/ListCipher.h"
#include "catalogue/U_frmChannelInfo.h"
#include "base/Errors.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using ListMaker::Document;
using ListMaker::Item;

namespace {

QByteArray tvList()
{
    return Document({{QStringLiteral("UK"), Item(QStringLiteral("City News (UK)"), QStringLiteral("http://cn"), 1,
                                                 QStringLiteral("300"), QStringLiteral("News"), QStringLiteral("42")) +
                                                Item(QStringLiteral("Quiet"), QStringLiteral("http://q"), 1,
                                                     QStringLiteral("64"), QString(), QStringLiteral("43"))}});
}

QByteArray favList()
{
    return Document(
        {{QStringLiteral("My_Favorites"), Item(QStringLiteral("Fav One"), QStringLiteral("http://one"), 1,
                                               QStringLiteral("300"), QStringLiteral("News"), QStringLiteral("11")) +
                                              Item(QStringLiteral("Fav Two"), QStringLiteral("http://two"), 2,
                                                   QString(), QString(), QStringLiteral("12"))},
         {QStringLiteral("Extra"), Item(QStringLiteral("Elsewhere"), QStringLiteral("http://e"))}});
}

QList<QStringList> favGroups(const TreeRig &rig)
{
    XmlDocument doc;
    doc.loadFromBytes(CipherBytes(rig.dir.read(QStringLiteral("data/Fav.CHL"))));
    QList<QStringList> out;
    for (const XmlNode &g : doc.documentElement().childNodes()) {
        QStringList names;
        for (const XmlNode &c : g.childNodes())
            names.append(*c.attribute("ChannelName"));
        out.append(names);
    }
    return out;
}

XmlNode favAt(const TreeRig &rig, XmlDocument &doc, int g, int c)
{
    doc.loadFromBytes(CipherBytes(rig.dir.read(QStringLiteral("data/Fav.CHL"))));
    return doc.documentElement().child(g).child(c);
}

} // namespace

class tst_FavoritesCommands : public QObject
{
    Q_OBJECT

private slots:
    void addToFavouritesTwice();
    void addFailureIsShown();
    void deleteAsksFirst();
    void backupAndItsSameFileRule();
    void restoreWhileTvShown();
    void restoreRefusesNonLists();
    void propertiesOfTvAndRadioOpenDetailsPages();
    void propertiesEditsFavourite();
    void propertiesNeedsAttributes();
    void addNewNeedsCategory();
};

void tst_FavoritesCommands::addToFavouritesTwice()
{
    TreeRig rig;
    rig.tv(tvList());
    rig.fav(favList());
    rig.start();
    RecordingPrompter prompter;
    rig.actTV.trigger();
    rig.select(0, 0);
    rig.favorites->actAddFavExecute();
    rig.favorites->actAddFavExecute();
    QCOMPARE(prompter.texts(), QStringList({"City News (UK) has been added to My Favorites",
                                            "City News (UK) has been added to My Favorites"}));
    QCOMPARE(prompter.messages[0].icon, MsgIcon::Information);
    QCOMPARE(favGroups(rig),
             (QList<QStringList>{{"Fav One", "Fav Two", "City News (UK)", "City News (UK)"}, {"Elsewhere"}}));
    QCOMPARE(rig.topLabels(), QStringList({"UK  (2)"})); // the tree is not touched
    // A group node adds nothing.
    rig.select(0);
    rig.favorites->actAddFavExecute();
    QCOMPARE(prompter.messages.size(), 2);
}

void tst_FavoritesCommands::addFailureIsShown()
{
    TreeRig rig;
    rig.tv(tvList());
    rig.fav("<Favorites/>");
    rig.start();
    RecordingPrompter prompter;
    rig.actTV.trigger();
    rig.select(0, 1);
    const QByteArray before = rig.dir.read(QStringLiteral("data/Fav.CHL"));
    rig.favorites->actAddFavExecute();
    QCOMPARE(prompter.messages.size(), 1);
    QCOMPARE(prompter.messages[0].icon, MsgIcon::Information);
    QVERIFY(prompter.messages[0].text.contains(QStringLiteral("no group")));
    QVERIFY(!prompter.messages[0].text.contains(QStringLiteral("has been added")));
    QCOMPARE(rig.dir.read(QStringLiteral("data/Fav.CHL")), before);
}

void tst_FavoritesCommands::deleteAsksFirst()
{
    TreeRig rig;
    rig.fav(favList());
    rig.start();
    RecordingPrompter prompter;
    rig.actFavorites.trigger();
    rig.select(0, 0);
    prompter.answers = {false};
    rig.favorites->actDeleteExecute();
    QCOMPARE(prompter.texts(), {QStringLiteral("Are you sure you want to delete Fav One (300K)")});
    QCOMPARE(prompter.messages[0].icon, MsgIcon::Question);
    QCOMPARE(prompter.messages[0].buttons, MsgButtons::OkCancel);
    QCOMPARE(favGroups(rig).first().size(), 2);

    rig.select(0, 1);
    rig.favorites->actDeleteExecute();
    QCOMPARE(favGroups(rig), (QList<QStringList>{{"Fav One"}, {"Elsewhere"}}));
    QCOMPARE(rig.childLabels(0), QStringList({"Fav One (300K)"})); // rebuilt
    QVERIFY(rig.workingCopies().isEmpty());

    // A favourite of another group goes from that group only.
    rig.select(1, 0);
    rig.favorites->actDeleteExecute();
    QCOMPARE(favGroups(rig), (QList<QStringList>{{"Fav One"}, {}}));
}

void tst_FavoritesCommands::backupAndItsSameFileRule()
{
    TreeRig rig;
    rig.fav(favList());
    rig.start();
    RecordingPrompter prompter;
    const QByteArray fav = rig.dir.read(QStringLiteral("data/Fav.CHL"));
    prompter.fileAnswers = {QStringLiteral("  ") + rig.dir.file(QStringLiteral("data/Fav.CHL")) + QStringLiteral(" ")};
    rig.favorites->actBackupExecute();
    rig.dir.write(QStringLiteral("old.CHL"), "older backup");
    prompter.fileAnswers = {rig.dir.file(QStringLiteral("old.CHL"))};
    rig.favorites->actBackupExecute();
    QCOMPARE(rig.dir.read(QStringLiteral("old.CHL")), fav);
    QVERIFY(prompter.messages.isEmpty());
    QCOMPARE(prompter.fileFilters.first(), QStringLiteral("Channel List(*.CHL *.chl)"));
    rig.favorites->actBackupExecute(); // cancelled
    // A copy that fails says so.
    prompter.fileAnswers = {rig.dir.file(QStringLiteral("missing/dir/b.CHL"))};
    rig.favorites->actBackupExecute();
    QCOMPARE(prompter.messages.size(), 1);
    QVERIFY(prompter.messages[0].text.startsWith(QStringLiteral("The favourites could not be backed up")));
}

void tst_FavoritesCommands::restoreWhileTvShown()
{
    TreeRig rig;
    rig.tv(tvList());
    rig.fav(favList());
    rig.start();
    RecordingPrompter prompter;
    rig.actTV.trigger();
    rig.dir.writeList(
        QStringLiteral("saved.CHL"),
        Document({{QStringLiteral("Saved"), Item(QStringLiteral("Restored"), QStringLiteral("http://r"))}}));
    prompter.fileAnswers = {rig.dir.file(QStringLiteral("saved.CHL"))};
    rig.favorites->actRestoreFavExecute();
    QVERIFY(prompter.messages.isEmpty());
    QCOMPARE(rig.topLabels(), QStringList({"UK  (2)"}));
    rig.actFavorites.trigger();
    QCOMPARE(rig.topLabels(), QStringList({"SAVED  (1)"}));
    // Restoring while the favourites are shown shows the new ones at once.
    rig.dir.writeList(QStringLiteral("other.CHL"), favList());
    prompter.fileAnswers = {rig.dir.file(QStringLiteral("other.CHL"))};
    rig.favorites->actRestoreFavExecute();
    QCOMPARE(rig.topLabels(), QStringList({"MY_FAVORITES  (2)", "EXTRA  (1)"}));
}

void tst_FavoritesCommands::restoreRefusesNonLists()
{
    TreeRig rig;
    rig.fav(favList());
    rig.start();
    RecordingPrompter prompter;
    rig.actFavorites.trigger();
    const QByteArray before = rig.dir.read(QStringLiteral("data/Fav.CHL"));
    rig.dir.write(QStringLiteral("photo.CHL"), QByteArray(4000, 'x'));
    prompter.fileAnswers = {rig.dir.file(QStringLiteral("photo.CHL"))};
    rig.favorites->actRestoreFavExecute();
    QCOMPARE(prompter.messages.size(), 1);
    QCOMPARE(prompter.messages[0].icon, MsgIcon::Information);
    QVERIFY(prompter.messages[0].text.contains(QStringLiteral("not a channel list")));
    QCOMPARE(rig.dir.read(QStringLiteral("data/Fav.CHL")), before);
    QCOMPARE(rig.topLabels(), QStringList({"MY_FAVORITES  (2)", "EXTRA  (1)"}));
}

void tst_FavoritesCommands::propertiesOfTvAndRadioOpenDetailsPages()
{
    TreeRig rig;
    rig.tv(tvList());
    rig.radio(Document({{QStringLiteral("Jazz"), Item(QStringLiteral("Jazz F.M. 'Live'"), QStringLiteral("http://j"), 2,
                                                      QString(), QString(), QStringLiteral("7"))}}));
    rig.start();
    ShellRecorder shell;
    rig.actTV.trigger();
    rig.popupOn(0, 0);
    rig.favorites->actPropertiesExecute();
    rig.channels->menNewsClick(rig.filters[0]);
    rig.popupOn(0, 0);
    rig.favorites->actPropertiesExecute();
    rig.actRadio.trigger();
    rig.popupOn(0, 0);
    rig.favorites->actPropertiesExecute();
    QCOMPARE(shell.opened, QStringList({"http://www.zentavo.example/channels/City_News_UK-Details-42.htm",
                                        "http://www.zentavo.example/channels/City_News_UK-Details-42.htm",
                                        "http://www.zentavo.example/radio/Jazz_F-M-_-Live--7.htm"}));
}

void tst_FavoritesCommands::propertiesEditsFavourite()
{
    TreeRig rig;
    rig.fav(favList());
    rig.start();
    RecordingPrompter prompter;
    rig.actFavorites.trigger();
    rig.popupOn(0, 0);
    bool sawMask = false;
    WhenModal([&](QWidget *dlg) {
        sawMask = dlg->findChild<QLineEdit *>(QStringLiteral("edtURL"))->text() == TFrmChannelInfo::UrlMask();
        QCOMPARE(dlg->windowTitle(), QStringLiteral("Proerties"));
        QCOMPARE(dlg->findChild<QComboBox *>(QStringLiteral("cobType"))->currentIndex(), 0);
        dlg->findChild<QComboBox *>(QStringLiteral("cobType"))->setCurrentIndex(1);
        dlg->findChild<QPushButton *>(QStringLiteral("btnOk"))->click();
    });
    rig.favorites->actPropertiesExecute();
    QVERIFY(sawMask);
    XmlDocument doc;
    const XmlNode c = favAt(rig, doc, 0, 0);
    QCOMPARE(*c.attribute("Ty"), QStringLiteral("2"));
    QCOMPARE(*c.attribute("URL"), QStringLiteral("http://one")); // the mask never replaces the address
    QCOMPARE(*c.attribute("ID"), QStringLiteral("11"));
    QCOMPARE(*c.attribute("T"), QStringLiteral("News"));
    QCOMPARE(*c.attribute("I"), QString());
    QCOMPARE(rig.childLabels(0).first(), QStringLiteral("Fav One")); // rebuilt: now a radio channel

    // Cancel changes nothing.
    rig.popupOn(0, 1);
    const QByteArray before = rig.dir.read(QStringLiteral("data/Fav.CHL"));
    WhenModal([](QWidget *dlg) {
        dlg->findChild<QLineEdit *>(QStringLiteral("edtName"))->setText(QStringLiteral("changed"));
        dlg->findChild<QPushButton *>(QStringLiteral("btnCancel"))->click();
    });
    rig.favorites->actPropertiesExecute();
    QCOMPARE(rig.dir.read(QStringLiteral("data/Fav.CHL")), before);

    // A new stream address is stored trimmed, with the engine it needs.
    WhenModal([](QWidget *dlg) {
        dlg->findChild<QLineEdit *>(QStringLiteral("edtURL"))->setText(QStringLiteral("  rtsp://h/live  "));
        dlg->findChild<QPushButton *>(QStringLiteral("btnOk"))->click();
    });
    rig.favorites->actPropertiesExecute();
    XmlDocument doc2;
    const XmlNode two = favAt(rig, doc2, 0, 1);
    QCOMPARE(*two.attribute("URL"), QStringLiteral("rtsp://h/live"));
    QCOMPARE(*two.attribute("MT"), QStringLiteral("2"));
    QVERIFY(prompter.messages.isEmpty());
}

void tst_FavoritesCommands::propertiesNeedsAttributes()
{
    TreeRig rig;
    rig.fav(
        Document({{QStringLiteral("My_Favorites"), "<Item ChannelName=\"A\" URL=\"u\" Ty=\"1\" SP=\"1\" ID=\"1\"/>"}}));
    rig.start();
    rig.actFavorites.trigger();
    rig.popupOn(0, 0);
    QVERIFY_THROWS_EXCEPTION(ZError, rig.favorites->actPropertiesExecute()); // no INFO: no dialog
    QVERIFY(!QApplication::activeModalWidget());
}

void tst_FavoritesCommands::addNewNeedsCategory()
{
    TreeRig rig;
    rig.fav(favList());
    rig.start();
    RecordingPrompter prompter;
    rig.actFavorites.trigger();
    int okClicks = 0;
    WhenModal([&](QWidget *dlg) {
        auto *ok = dlg->findChild<QPushButton *>(QStringLiteral("btnOk"));
        ok->click(); // no category
        ++okClicks;
        QVERIFY(dlg->isVisible());
        QCOMPARE(QApplication::focusWidget(), dlg->findChild<QComboBox *>(QStringLiteral("cobType")));
        dlg->findChild<QComboBox *>(QStringLiteral("cobType"))->setCurrentIndex(2);
        ok->click();
    });
    rig.favorites->actAddNewExecute();
    QCOMPARE(okClicks, 1);
    QCOMPARE(prompter.texts(), {QStringLiteral("Please select Category in the List!")});
    QCOMPARE(prompter.messages[0].icon, MsgIcon::Information);
    QCOMPARE(favGroups(rig), (QList<QStringList>{{"Fav One", "Fav Two", ""}, {"Elsewhere"}}));
    XmlDocument doc;
    const XmlNode added = favAt(rig, doc, 0, 2);
    QCOMPARE(*added.attribute("Ty"), QStringLiteral("3"));
    QCOMPARE(*added.attribute("ID"), QString());
    QCOMPARE(rig.childLabels(0).last(), QString()); // shown as the last channel of the first group
}

QTEST_MAIN(tst_FavoritesCommands)
#include "tst_favoritescommands.moc"
