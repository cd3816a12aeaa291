#include "ListMaker.h"
#include "TestDirs.h"
#include "UiDriver.h"
#include "catalogue/ChannelTree.h"
#include "shell/U_frm_Main.h"
#include "base/pGloba.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <QTreeWidget>

namespace {

struct Pages
{
    TempAppDir dir;
    ShellRecorder shell;
    std::unique_ptr<TGlobal> global;
    std::unique_ptr<Tfrm_Main> w;

    Pages()
    {
        qputenv("ZENTAVO_VENDOR_SITE", "http://vendor.test/zen/");
        dir.installCatalogue();
        dir.writeList(QStringLiteral("data/TV.CHL"),
                      ListMaker::Document({{QStringLiteral("US"),
                                            ListMaker::Item(QStringLiteral("Fox News"), QStringLiteral("u"), 1,
                                                            QStringLiteral("1"), QString(), QStringLiteral("17")) +
                                                ListMaker::Item(QStringLiteral("Tom & Jerry"), QStringLiteral("u"), 1,
                                                                QStringLiteral("1"), QString(), QStringLiteral("3")) +
                                                ListMaker::Item(QStringLiteral("Own"), QStringLiteral("u"), 1,
                                                                QStringLiteral("1"), QString(), QString()) +
                                                "<Item URL=\"u\" Ty=\"2\" ID=\"9\" ChannelName=\"x\"/>"}}));
        global = std::make_unique<TGlobal>(dir.path());
        w = std::make_unique<Tfrm_Main>(*global);
        ShowWithFirstList(*w);
    }
    ~Pages() { qunsetenv("ZENTAVO_VENDOR_SITE"); }
    void popupOn(int channel)
    {
        auto *tree = w->findChild<QTreeWidget *>(QStringLiteral("treChannle"));
        tree->setCurrentItem(tree->topLevelItem(0)->child(channel));
        w->channelTree()->treChannleMouseDown(QPoint());
        w->popLeftMenu()->hide();
    }
    void trigger(const char *action) { w->findChild<QAction *>(QLatin1String(action))->trigger(); }
};

} // namespace

class tst_WebPages : public QObject
{
    Q_OBJECT

private slots:
    void homeAndFaq();
    void reportAndReview();
    void nothingWithoutChannelOrId();
};

void tst_WebPages::homeAndFaq()
{
    Pages p;
    p.w->show();
    QVERIFY(QTest::qWaitForWindowExposed(p.w.get()));
    p.trigger("actHome");
    p.trigger("actFaq");
    QTest::mouseClick(p.w->findChild<QLabel *>(QStringLiteral("labCap")), Qt::LeftButton);
    QCOMPARE(p.shell.opened,
             QStringList({"http://vendor.test/zen/", "http://vendor.test/zen/faq.htm", "http://vendor.test/zen/"}));
}

void tst_WebPages::reportAndReview()
{
    Pages p;
    p.popupOn(0);
    p.trigger("actBroken");
    p.trigger("actAddReview");
    p.popupOn(1);
    p.trigger("actBroken");
    QCOMPARE(p.shell.opened, QStringList({"http://vendor.test/zen/report.php?channelid=17&channelname=Fox News",
                                          "http://vendor.test/zen/review.php?channelid=17&channelname=Fox News",
                                          "http://vendor.test/zen/report.php?channelid=3&channelname=Tom & Jerry"}));
    // The popup's channel is kept when the tree is loaded again (the commands follow the new
    // selection, so the entry is enabled here as a popup would leave it).
    p.trigger("actRadio");
    p.w->findChild<QAction *>(QStringLiteral("actAddReview"))->setEnabled(true);
    p.trigger("actAddReview");
    QCOMPARE(p.shell.opened.last(),
             QStringLiteral("http://vendor.test/zen/review.php?channelid=3&channelname=Tom & Jerry"));
}

void tst_WebPages::nothingWithoutChannelOrId()
{
    Pages p;
    p.w->findChild<QAction *>(QStringLiteral("actBroken"))->setEnabled(true);
    p.trigger("actBroken"); // no channel popup yet
    p.popupOn(2);           // empty ID: the entries are disabled, and the command does nothing
    QVERIFY(!p.w->findChild<QAction *>(QStringLiteral("actBroken"))->isEnabled());
    p.w->findChild<QAction *>(QStringLiteral("actBroken"))->setEnabled(true);
    p.trigger("actBroken");
    QVERIFY(p.shell.opened.isEmpty());
}

QTEST_MAIN(tst_WebPages)
#include "tst_webpages.moc"
