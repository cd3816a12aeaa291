#pragma once

#include "AppPaths.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QRect>
#include <QString>
#include <QStringList>

// The settings of the program and the paths of its files (from AppPaths: beside the executable,
// or in the user's folders for an installed program). One instance lives for the whole
// process; every window is handed a reference. Settings are read once, at creation; each
// command that changes one saves them all at once.
class IniFile;

class TGlobal
{
public:
    // A portable program in `appDir` (empty: the folder of the running executable).
    explicit TGlobal(const QString &appDir = {});
    explicit TGlobal(const AppPaths &paths);

    void LoadSettings();
    // Writes every setting but Version. Raises ZError "Unable to write to <IniFileName>" when
    // the file may not be written; the values in memory stay as they are. Settings another
    // process saved meanwhile are kept unless this one changed them too.
    void SaveSettings();

    // The player engine for a stream address: 2 for the addresses of RealPlayerTokens, else 1.
    int ChooseEngine(const QString &address) const { return EngineFor(address); }
    static int EngineFor(const QString &address);
    static const QStringList &RealPlayerTokens();

    // The skin file of that name: from the last skin folder that has it (a user's own skin wins).
    QString SkinPathFor(const QString &fileName) const;

    AppPaths Paths;
    QString IniFileName;
    QString AppDir;       // the program folder (portable) or the executable's folder
    QString CacheDir;     // version files and downloads in progress
    QString TVListTarget; // where a downloaded TV list goes
    QStringList SkinDirs; // shipped first
    int DiplayList = 1;
    bool Ontop = false;
    bool Download = false;
    QString TVListFile;
    QString RadioListFile;
    QString FavListFile;
    QString PlaylistDir; // the user's playlists, beside the favourites
    QString RecentFile;  // the titles heard lately
    int Version = 3;
    bool ShowIcon = true;
    int TVVersion = 3;
    QString SkinFile = QStringLiteral("Silver.ssk");
    QString SkinPath;

    // What the window remembers between runs (written with the other settings). A missing or
    // unusable value leaves the field at its "not remembered" default.
    int Volume = -1; // 0..100; -1: not remembered
    bool Mute = false;
    QRect WindowGeometry; // the normal (not maximised) geometry; invalid: not remembered
    bool WindowMaximized = false;
    int ListWidth = -1;              // the channel list panel's width; -1: not remembered
    QString LastPlaylist;            // the id of the playlist last shown; empty: a list of DiplayList
    bool PlayLastChannel = false;    // play the last channel at start
    bool KeepInTray = false;         // closing the window leaves the program playing in the tray
    bool TitleNotifications = false; // a desktop notification for each new title
    bool CheckAtStart = false;       // check the channels of the first list shown
    bool HideOffAir = false;         // channels found off the air are not listed
    int GuideRefreshHours = 24;      // the guide's sources are refreshed this often: 6, 12, 24; 0 never
    // The channel played last: its list ("favorites", "tv", "radio", "playlist:<id>"), name,
    // address and type. Empty: none yet.
    QString LastChannelList;
    QString LastChannelName;
    QString LastChannelUrl;
    int LastChannelType = 1;

private:
    void computeSkinPath();
    void readFrom(const IniFile &ini);
    // Every saved key with its text as this object has it.
    QList<QPair<QString, QString>> settingTexts() const;

    QHash<QString, QString> m_savedTexts; // as last read or saved: what this process changed differs
};
