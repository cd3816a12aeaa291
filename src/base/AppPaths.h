#pragma once

#include <QString>
#include <QStringList>

// The user's base folders (XDG base directory rules): a variable that is unset, empty or not an
// absolute path gives the default under $HOME.
struct XdgFolders
{
    QString configHome; // $XDG_CONFIG_HOME, ~/.config
    QString dataHome;   // $XDG_DATA_HOME, ~/.local/share
    QString cacheHome;  // $XDG_CACHE_HOME, ~/.cache

    static XdgFolders fromEnvironment();
};

// Where the program's files are. Decided once at start-up; every part asks it.
//
// Portable: everything beside the executable, as in a copied program folder.
// Installed: the shipped lists and skins under <prefix>/share/zentavo (read only), the user's
// settings in $XDG_CONFIG_HOME/zentavo, the favourites, the downloaded TV list and the user's own
// skins in $XDG_DATA_HOME/zentavo, version files and downloads in progress in $XDG_CACHE_HOME/zentavo.
class AppPaths
{
public:
    enum class Mode { Portable, Installed };

    static AppPaths portable(const QString &programDir);
    static AppPaths installed(const QString &sharedDir, const XdgFolders &xdg = XdgFolders::fromEnvironment());
    // Portable when the executable's folder holds data/ and may be written; installed otherwise,
    // with the shipped files at ../share/zentavo beside the executable's folder.
    static AppPaths detect(const QString &executableDir);

    Mode mode() const { return m_mode; }
    QString configFile() const;
    QString favoritesFile() const;
    // The TV list read: the user's downloaded one where there is one, else the shipped one.
    QString tvListFile() const;
    // Where a downloaded TV list goes.
    QString tvListTarget() const;
    QString radioListFile() const;
    // Skin folders, shipped first: a skin in a later folder wins over one of the same name.
    QStringList skinDirs() const;
    // Version files and downloads in progress.
    QString cacheDir() const { return m_cacheDir; }
    // The user's data folder (favourites and what they add), ending in "/".
    QString userDataDir() const { return m_userDataDir; }

    // Makes the user's folders where they are missing; at the first start in installed mode,
    // the favourites start as a copy of the shipped ones. Nothing else is copied.
    void prepare() const;

private:
    Mode m_mode = Mode::Portable;
    QString m_configDir;   // holds Config.ini
    QString m_userDataDir; // favourites, downloaded TV list, user's skins (installed)
    QString m_sharedDir;   // shipped data/ and Skins/
    QString m_cacheDir;
};
