// Where the program's files are, portable and installed, in temporary folders.
#include "TestDirs.h"
#include "base/AppPaths.h"
#include "base/pGloba.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

// An installed program: <prefix>/bin without data/, the shipped files in <prefix>/share/zentavo,
// and the user's XDG folders.
struct Installed
{
    QTemporaryDir root;
    QString prefix() const { return root.path() + QStringLiteral("/usr/"); }
    QString shared() const { return prefix() + QStringLiteral("share/zentavo/"); }
    XdgFolders xdg() const
    {
        return {root.path() + QStringLiteral("/home/.config/"), root.path() + QStringLiteral("/home/.local/share/"),
                root.path() + QStringLiteral("/home/.cache/")};
    }
    Installed()
    {
        QDir().mkpath(prefix() + QStringLiteral("bin"));
        QDir().mkpath(shared() + QStringLiteral("data"));
        QDir().mkpath(shared() + QStringLiteral("Skins"));
        for (const char *name : {"TV.CHL", "Radio.CHL", "Fav.CHL"})
            write(shared() + QStringLiteral("data/") + QLatin1String(name), QByteArray("shipped ") + name);
    }
    static void write(const QString &path, const QByteArray &bytes)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
    }
    static QByteArray read(const QString &path)
    {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }
};

} // namespace

class tst_AppPaths : public QObject
{
    Q_OBJECT

private slots:
    void portableFolderKeepsEverythingBesideTheProgram();
    void installedProgramUsesTheUsersFolders();
    void firstStartCopiesOnlyTheFavourites();
    void aDownloadedListReplacesTheShippedOne();
    void usersOwnSkinWinsByName();
    void xdgDefaults();
};

void tst_AppPaths::portableFolderKeepsEverythingBesideTheProgram()
{
    TempAppDir dir;
    dir.installCatalogue();
    const AppPaths p = AppPaths::detect(dir.path());
    QCOMPARE(p.mode(), AppPaths::Mode::Portable);
    QCOMPARE(p.configFile(), dir.file(QStringLiteral("Config.ini")));
    QCOMPARE(p.favoritesFile(), dir.file(QStringLiteral("data/Fav.CHL")));
    QCOMPARE(p.tvListFile(), dir.file(QStringLiteral("data/TV.CHL")));
    QCOMPARE(p.tvListTarget(), p.tvListFile());
    QCOMPARE(p.radioListFile(), dir.file(QStringLiteral("data/Radio.CHL")));
    QCOMPARE(p.skinDirs(), QStringList({dir.file(QStringLiteral("Skins/"))}));
    QCOMPARE(p.cacheDir(), dir.path());
    // Folders whose names differ in letter case are found all the same.
    TempAppDir upper;
    QDir().mkpath(upper.file(QStringLiteral("DATA")));
    QCOMPARE(AppPaths::detect(upper.path()).mode(), AppPaths::Mode::Portable);
    QCOMPARE(AppPaths::detect(upper.path()).favoritesFile(), upper.file(QStringLiteral("DATA/Fav.CHL")));
}

void tst_AppPaths::installedProgramUsesTheUsersFolders()
{
    Installed i;
    QCOMPARE(AppPaths::detect(i.prefix() + QStringLiteral("bin")).mode(), AppPaths::Mode::Installed);
    const AppPaths p = AppPaths::installed(i.shared(), i.xdg());
    QCOMPARE(p.configFile(), i.xdg().configHome + QStringLiteral("zentavo/Config.ini"));
    QCOMPARE(p.favoritesFile(), i.xdg().dataHome + QStringLiteral("zentavo/data/Fav.CHL"));
    QCOMPARE(p.radioListFile(), i.shared() + QStringLiteral("data/Radio.CHL"));
    QCOMPARE(p.cacheDir(), i.xdg().cacheHome + QStringLiteral("zentavo/"));
    // The settings go where the paths say; the shared folder is only read.
    p.prepare();
    TGlobal g(p);
    g.SkinFile = QStringLiteral("Midnight.ssk");
    g.SaveSettings();
    QVERIFY(Installed::read(p.configFile()).contains("SkinFile=Midnight.ssk"));
    QVERIFY(!QFile::exists(i.shared() + QStringLiteral("Config.ini")));
    QCOMPARE(g.FavListFile, p.favoritesFile());
}

void tst_AppPaths::firstStartCopiesOnlyTheFavourites()
{
    Installed i;
    const AppPaths p = AppPaths::installed(i.shared(), i.xdg());
    p.prepare();
    QCOMPARE(Installed::read(p.favoritesFile()), QByteArray("shipped Fav.CHL"));
    QVERIFY(QFileInfo(p.cacheDir()).isDir());
    QCOMPARE(QDir(QFileInfo(p.favoritesFile()).absolutePath()).entryList(QDir::Files), QStringList({"Fav.CHL"}));
    // Later starts leave the user's favourites alone.
    Installed::write(p.favoritesFile(), "mine");
    p.prepare();
    QCOMPARE(Installed::read(p.favoritesFile()), QByteArray("mine"));
}

void tst_AppPaths::aDownloadedListReplacesTheShippedOne()
{
    Installed i;
    const AppPaths p = AppPaths::installed(i.shared(), i.xdg());
    p.prepare();
    QCOMPARE(p.tvListFile(), i.shared() + QStringLiteral("data/TV.CHL"));
    QCOMPARE(p.tvListTarget(), i.xdg().dataHome + QStringLiteral("zentavo/data/TV.CHL"));
    Installed::write(p.tvListTarget(), "downloaded");
    QCOMPARE(p.tvListFile(), p.tvListTarget());
}

void tst_AppPaths::usersOwnSkinWinsByName()
{
    Installed i;
    Installed::write(i.shared() + QStringLiteral("Skins/Silver.ssk"), "shipped");
    Installed::write(i.shared() + QStringLiteral("Skins/Midnight.ssk"), "shipped");
    const AppPaths p = AppPaths::installed(i.shared(), i.xdg());
    const QString mine = i.xdg().dataHome + QStringLiteral("zentavo/Skins/silver.ssk");
    Installed::write(mine, "mine");
    QCOMPARE(p.skinDirs().size(), 2);
    TGlobal g(p);
    QCOMPARE(g.SkinPathFor(QStringLiteral("Silver.ssk")), mine);
    QCOMPARE(g.SkinPathFor(QStringLiteral("Midnight.ssk")), i.shared() + QStringLiteral("Skins/Midnight.ssk"));
    QCOMPARE(g.SkinPath, mine); // the default skin, the user's copy of it
}

void tst_AppPaths::xdgDefaults()
{
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", "relative/not/allowed");
    qunsetenv("XDG_DATA_HOME");
    qputenv("XDG_CACHE_HOME", "/tmp/zentavo-cache-test");
    const XdgFolders f = XdgFolders::fromEnvironment();
    QCOMPARE(f.configHome, QDir::homePath() + QStringLiteral("/.config/"));
    QCOMPARE(f.dataHome, QDir::homePath() + QStringLiteral("/.local/share/"));
    QCOMPARE(f.cacheHome, QStringLiteral("/tmp/zentavo-cache-test/"));
    qputenv("XDG_CONFIG_HOME", saved);
}

QTEST_GUILESS_MAIN(tst_AppPaths)
#include "tst_apppaths.moc"
