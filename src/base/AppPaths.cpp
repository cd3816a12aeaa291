#include "AppPaths.h"

#include "Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString withSlash(QString dir)
{
    if (!dir.endsWith(u'/'))
        dir += u'/';
    return dir;
}

QString xdg(const char *variable, const QString &fallback)
{
    const QString value = qEnvironmentVariable(variable);
    return withSlash(!value.isEmpty() && QDir::isAbsolutePath(value) ? value : fallback);
}

} // namespace

XdgFolders XdgFolders::fromEnvironment()
{
    const QString home = withSlash(QDir::homePath());
    return {xdg("XDG_CONFIG_HOME", home + QStringLiteral(".config")),
            xdg("XDG_DATA_HOME", home + QStringLiteral(".local/share")),
            xdg("XDG_CACHE_HOME", home + QStringLiteral(".cache"))};
}

AppPaths AppPaths::portable(const QString &programDir)
{
    AppPaths p;
    p.m_mode = Mode::Portable;
    const QString dir = withSlash(programDir);
    p.m_configDir = dir;
    p.m_userDataDir = FindPath(dir, QStringLiteral("data/"));
    p.m_sharedDir = dir;
    p.m_cacheDir = dir; // the version files and downloads stay beside the program, as ever
    return p;
}

AppPaths AppPaths::installed(const QString &sharedDir, const XdgFolders &folders)
{
    AppPaths p;
    p.m_mode = Mode::Installed;
    p.m_configDir = withSlash(folders.configHome) + QStringLiteral("zentavo/");
    p.m_userDataDir = withSlash(folders.dataHome) + QStringLiteral("zentavo/data/");
    p.m_sharedDir = withSlash(sharedDir);
    p.m_cacheDir = withSlash(folders.cacheHome) + QStringLiteral("zentavo/");
    return p;
}

AppPaths AppPaths::detect(const QString &executableDir)
{
    const QString dir = withSlash(executableDir);
    const QFileInfo data(FindPath(dir, QStringLiteral("data")));
    if (data.isDir() && QFileInfo(dir).isWritable())
        return portable(dir);
    return installed(QDir::cleanPath(dir + QStringLiteral("../share/zentavo")));
}

QString AppPaths::configFile() const
{
    return FindPath(m_configDir, QStringLiteral("Config.ini"));
}

QString AppPaths::favoritesFile() const
{
    return FindPath(m_userDataDir, QStringLiteral("Fav.CHL"));
}

QString AppPaths::tvListFile() const
{
    const QString mine = tvListTarget();
    if (m_mode == Mode::Portable || QFileInfo(mine).isFile())
        return mine;
    return FindPath(m_sharedDir, QStringLiteral("data/TV.CHL"));
}

QString AppPaths::tvListTarget() const
{
    return FindPath(m_userDataDir, QStringLiteral("TV.CHL"));
}

QString AppPaths::radioListFile() const
{
    return FindPath(m_sharedDir, QStringLiteral("data/Radio.CHL"));
}

QStringList AppPaths::skinDirs() const
{
    QStringList dirs = {FindPath(m_sharedDir, QStringLiteral("Skins/"))};
    if (m_mode == Mode::Installed)
        dirs.append(QDir::cleanPath(m_userDataDir + QStringLiteral("../Skins")) + u'/');
    return dirs;
}

void AppPaths::prepare() const
{
    if (m_mode == Mode::Portable)
        return;
    for (const QString &dir : {m_configDir, m_userDataDir, m_cacheDir})
        QDir().mkpath(dir);
    const QString favorites = favoritesFile();
    if (!QFileInfo::exists(favorites))
        CopyFileReplacing(FindPath(m_sharedDir, QStringLiteral("data/Fav.CHL")), favorites);
}
