#include "TestDirs.h"
#include "online/VendorSite.h"
#include "base/Errors.h"
#include "base/SafeFile.h"
#include "base/pGloba.h"

#include <QFile>
#include <QScopeGuard>
#include <QTest>

class tst_Settings : public QObject
{
    Q_OBJECT

private slots:
    void defaultsWithoutConfig();
    void defaultsForEmptyOrBinaryConfig_data();
    void defaultsForEmptyOrBinaryConfig();
    void valueForms_data();
    void valueForms();
    void pathsFromProgramFolder();
    void namesFoundWithoutRegardToCase();
    void saveWritesAllKeysButVersionInOrder();
    void saveKeepsOtherContentAndVersion();
    void saveRoundTrip();
    void refusedWriteRaisesAndKeepsValues_data();
    void refusedWriteRaisesAndKeepsValues();
    void twoProgramsKeepEachOthersChanges();
    void failedWriteLeavesTheFileWhole();
    void chooseEngine_data();
    void chooseEngine();
    void vendorSite();
};

void tst_Settings::defaultsWithoutConfig()
{
    TempAppDir dir;
    TGlobal g(dir.path());
    QCOMPARE(g.DiplayList, 1);
    QCOMPARE(g.Ontop, false);
    QCOMPARE(g.Download, false);
    QCOMPARE(g.ShowIcon, true);
    QCOMPARE(g.Version, 3);
    QCOMPARE(g.TVVersion, 3);
    QCOMPARE(g.SkinFile, QStringLiteral("Silver.ssk"));
    QCOMPARE(g.SkinPath, dir.path() + QStringLiteral("Skins/Silver.ssk"));
    QVERIFY(!QFile::exists(dir.file(QStringLiteral("Config.ini"))));
}

void tst_Settings::defaultsForEmptyOrBinaryConfig_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("empty") << QByteArray();
    QByteArray binary;
    for (int i = 0; i < 4096; ++i)
        binary.append(char((i * 7919) % 256));
    QTest::newRow("binary") << binary;
    QTest::newRow("other section only") << QByteArray("[Other]\nDiplayList=2\nOntop=1\n");
}

void tst_Settings::defaultsForEmptyOrBinaryConfig()
{
    QFETCH(QByteArray, content);
    TempAppDir dir;
    dir.writeConfig(content);
    TGlobal g(dir.path());
    QCOMPARE(g.DiplayList, 1);
    QCOMPARE(g.Ontop, false);
    QCOMPARE(g.ShowIcon, true);
    QCOMPARE(g.SkinFile, QStringLiteral("Silver.ssk"));
}

void tst_Settings::valueForms_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("display");
    QTest::addColumn<bool>("ontop");
    QTest::addColumn<bool>("showIcon");
    QTest::newRow("five reads true") << QByteArray("Ontop=5") << 1 << true << true;
    QTest::newRow("yes reads the default") << QByteArray("Ontop=yes") << 1 << false << true;
    QTest::newRow("zero turns icons off") << QByteArray("ShowIcon=0") << 1 << false << false;
    QTest::newRow("negative number is true") << QByteArray("ShowIcon=-1") << 1 << false << true;
    QTest::newRow("text number gives default") << QByteArray("DiplayList=two") << 1 << false << true;
    QTest::newRow("out of range kept") << QByteArray("DiplayList=7") << 7 << false << true;
    QTest::newRow("minus one kept") << QByteArray("DiplayList=-1") << -1 << false << true;
    QTest::newRow("blanks around value") << QByteArray("DiplayList =  2 ") << 2 << false << true;
    QTest::newRow("key case ignored") << QByteArray("diplaylist=0") << 0 << false << true;
    QTest::newRow("trailing text is no number") << QByteArray("DiplayList=2x") << 1 << false << true;
}

void tst_Settings::valueForms()
{
    QFETCH(QByteArray, line);
    TempAppDir dir;
    dir.writeConfig("[config]\r\n" + line + "\r\n");
    TGlobal g(dir.path());
    QTEST(g.DiplayList, "display");
    QTEST(g.Ontop, "ontop");
    QTEST(g.ShowIcon, "showIcon");
}

void tst_Settings::pathsFromProgramFolder()
{
    TempAppDir dir;
    TGlobal g(dir.path());
    QCOMPARE(g.AppDir, dir.path());
    QCOMPARE(g.IniFileName, dir.path() + QStringLiteral("Config.ini"));
    QCOMPARE(g.TVListFile, dir.path() + QStringLiteral("data/TV.CHL"));
    QCOMPARE(g.RadioListFile, dir.path() + QStringLiteral("data/Radio.CHL"));
    QCOMPARE(g.FavListFile, dir.path() + QStringLiteral("data/Fav.CHL"));
}

void tst_Settings::namesFoundWithoutRegardToCase()
{
    TempAppDir dir;
    dir.write(QStringLiteral("config.INI"), "[Config]\nDiplayList=2\nSkinFile=vista1.ssk\n");
    dir.write(QStringLiteral("DATA/tv.chl"), "x");
    dir.write(QStringLiteral("skins/Vista1.SSK"), "x");
    TGlobal g(dir.path());
    QCOMPARE(g.IniFileName, dir.path() + QStringLiteral("config.INI"));
    QCOMPARE(g.DiplayList, 2);
    QCOMPARE(g.TVListFile, dir.path() + QStringLiteral("DATA/tv.chl"));
    QCOMPARE(g.RadioListFile, dir.path() + QStringLiteral("DATA/Radio.CHL"));
    QCOMPARE(g.SkinPath, dir.path() + QStringLiteral("skins/Vista1.SSK"));
}

void tst_Settings::saveWritesAllKeysButVersionInOrder()
{
    TempAppDir dir;
    TGlobal g(dir.path());
    g.ShowIcon = false;
    g.SaveSettings();
    QCOMPARE(dir.config(), QByteArray("[Config]\nDiplayList=1\nOntop=0\nTVVersion=3\nSkinFile=Silver.ssk\n"
                                      "Download=0\nShowIcon=0\n"));
    TGlobal again(dir.path());
    QCOMPARE(again.ShowIcon, false);
}

void tst_Settings::saveKeepsOtherContentAndVersion()
{
    TempAppDir dir;
    dir.writeConfig("; installed by setup\r\n[Config]\r\nVersion=9\r\nontop=5\r\nExtra=kept\r\n\r\n[Other]\r\nA=1\r\n");
    TGlobal g(dir.path());
    QCOMPARE(g.Version, 9);
    g.Version = 12; // never written
    g.DiplayList = 2;
    g.SaveSettings();
    const QByteArray saved = dir.config();
    QVERIFY(saved.startsWith("; installed by setup\n[Config]\nVersion=9\nOntop=1\nExtra=kept\n"));
    QVERIFY(saved.contains("DiplayList=2\n"));
    QVERIFY(saved.contains("\n[Other]\nA=1\n"));
    QCOMPARE(saved.count("Version=9"), 1);
    QVERIFY(!saved.contains("Version=12"));
    QVERIFY(saved.indexOf("ShowIcon=1") < saved.indexOf("[Other]"));
    TGlobal again(dir.path());
    QCOMPARE(again.Version, 9);
    QCOMPARE(again.Ontop, true);
}

void tst_Settings::saveRoundTrip()
{
    TempAppDir dir;
    TGlobal g(dir.path());
    g.DiplayList = 0;
    g.Ontop = true;
    g.Download = true;
    g.ShowIcon = false;
    g.TVVersion = 41;
    g.SkinFile = QStringLiteral("Vista1.ssk");
    g.SaveSettings();
    QCOMPARE(g.SkinPath, dir.path() + QStringLiteral("Skins/Vista1.ssk"));
    TGlobal again(dir.path());
    QCOMPARE(again.DiplayList, 0);
    QCOMPARE(again.Ontop, true);
    QCOMPARE(again.Download, true);
    QCOMPARE(again.ShowIcon, false);
    QCOMPARE(again.TVVersion, 41);
    QCOMPARE(again.SkinFile, QStringLiteral("Vista1.ssk"));
}

void tst_Settings::twoProgramsKeepEachOthersChanges()
{
    TempAppDir dir;
    dir.writeConfig("[Config]\nDiplayList=2\n");
    TGlobal first(dir.path()), second(dir.path());
    first.SkinFile = QStringLiteral("Midnight.ssk");
    first.SaveSettings();
    second.ShowIcon = false;
    second.SaveSettings(); // knows nothing of the skin the first one chose
    TGlobal next(dir.path());
    QCOMPARE(next.SkinFile, QStringLiteral("Midnight.ssk"));
    QCOMPARE(next.ShowIcon, false);
    QCOMPARE(next.DiplayList, 2);
    QCOMPARE(second.SkinFile, QStringLiteral("Midnight.ssk"));
    // What both changed is the last one's.
    first.DiplayList = 0;
    second.DiplayList = 1;
    first.SaveSettings();
    second.SaveSettings();
    QCOMPARE(TGlobal(dir.path()).DiplayList, 1);
}

void tst_Settings::failedWriteLeavesTheFileWhole()
{
    TempAppDir dir;
    QByteArray old = "[Config]\nDiplayList=2\n; " + QByteArray(400 * 1024, 'x') + "\n";
    dir.writeConfig(old);
    TGlobal g(dir.path());
    g.SkinFile = QStringLiteral("Vista1.ssk");
    AtomicWriter::setFaultProbe([](qint64 written) { return written < 200 * 1024; });
    const auto noFault = qScopeGuard([] { AtomicWriter::setFaultProbe({}); });
    QVERIFY_THROWS_EXCEPTION(ZError, g.SaveSettings());
    QCOMPARE(dir.config(), old);
}

void tst_Settings::refusedWriteRaisesAndKeepsValues_data()
{
    QTest::addColumn<bool>("asFolder");
    QTest::newRow("read-only file") << false;
    QTest::newRow("a folder in the way") << true;
}

void tst_Settings::refusedWriteRaisesAndKeepsValues()
{
    QFETCH(bool, asFolder);
    TempAppDir dir;
    if (asFolder) {
        QVERIFY(QDir().mkpath(dir.file(QStringLiteral("Config.ini"))));
    } else {
        dir.writeConfig("[Config]\nDiplayList=2\n");
        QFile::setPermissions(dir.file(QStringLiteral("Config.ini")), QFileDevice::ReadOwner | QFileDevice::ReadUser);
    }
    TGlobal g(dir.path());
    QCOMPARE(g.DiplayList, asFolder ? 1 : 2);
    g.DiplayList = 0;
    g.SkinFile = QStringLiteral("Midnight.ssk");
    try {
        g.SaveSettings();
        QFAIL("the save was not refused");
    } catch (const ZError &e) {
        QCOMPARE(e.message(), QStringLiteral("Unable to write to ") + dir.file(QStringLiteral("Config.ini")));
    }
    QCOMPARE(g.DiplayList, 0);
    QCOMPARE(g.SkinFile, QStringLiteral("Midnight.ssk"));
    if (!asFolder)
        QCOMPARE(dir.config(), QByteArray("[Config]\nDiplayList=2\n"));
}

void tst_Settings::chooseEngine_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("engine");
    QTest::newRow(".RM upper") << QStringLiteral("http://a/b/CLIP.RM") << 2;
    QTest::newRow(".rm lower") << QStringLiteral("http://a/b/clip.rm") << 2;
    QTest::newRow("rtsp lower") << QStringLiteral("rtsp://host/stream") << 2;
    QTest::newRow("RTSP mixed") << QStringLiteral("RtSp://host/stream") << 2;
    QTest::newRow("rm with query") << QStringLiteral("http://a/b/clip.rm?x=1") << 1;
    QTest::newRow("mms") << QStringLiteral("mms://host/stream") << 1;
    QTest::newRow(".ra") << QStringLiteral("x.ra") << 2;
    QTest::newRow(".rv") << QStringLiteral("x.RV") << 2;
    QTest::newRow(".ram") << QStringLiteral("x.ram") << 2;
    QTest::newRow(".rmj") << QStringLiteral("x.rmj") << 2;
    QTest::newRow(".rms") << QStringLiteral("x.rms") << 2;
    QTest::newRow(".rmm") << QStringLiteral("x.rmm") << 2;
    QTest::newRow(".rpm") << QStringLiteral("x.rpm") << 2;
    QTest::newRow(".smi") << QStringLiteral("x.smi") << 2;
    QTest::newRow(".rmvb") << QStringLiteral("x.rmvb") << 2;
    QTest::newRow(".ramx") << QStringLiteral("x.ramx") << 2;
    QTest::newRow(".smil") << QStringLiteral("x.smil") << 2;
    QTest::newRow(".pls") << QStringLiteral("http://radio/listen.pls") << 2;
    QTest::newRow(".m3u") << QStringLiteral("http://radio/listen.M3U") << 2;
    QTest::newRow(".m3u8 is not .m3u") << QStringLiteral("http://tv/index.m3u8") << 1;
    QTest::newRow("mp4") << QStringLiteral("http://a/clip.mp4") << 1;
    QTest::newRow("two characters") << QStringLiteral("rm") << 1;
    QTest::newRow("empty") << QString() << 1;
    QTest::newRow("exactly rtsp:") << QStringLiteral("rtsp:") << 2;
    QTest::newRow("dot-less tail ra") << QStringLiteral("http://a/opera") << 1;
    QTest::newRow("non-ASCII upper-case is not folded") << QStringLiteral("x.ſmil") << 1;
}

void tst_Settings::chooseEngine()
{
    QFETCH(QString, address);
    TempAppDir dir;
    TGlobal g(dir.path());
    QTEST(g.ChooseEngine(address), "engine");
}

void tst_Settings::vendorSite()
{
    qunsetenv("ZENTAVO_VENDOR_SITE");
    QCOMPARE(VendorSite(), QStringLiteral("http://www.zentavo.example/"));
    qputenv("ZENTAVO_VENDOR_SITE", "http://127.0.0.1:8080");
    QCOMPARE(VendorSite(), QStringLiteral("http://127.0.0.1:8080/"));
    qputenv("ZENTAVO_VENDOR_SITE", "http://127.0.0.1:8080/sub/");
    QCOMPARE(VendorSite(), QStringLiteral("http://127.0.0.1:8080/sub/"));
    qunsetenv("ZENTAVO_VENDOR_SITE");
}

QTEST_GUILESS_MAIN(tst_Settings)
#include "tst_settings.moc"
