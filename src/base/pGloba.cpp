#include "pGloba.h"

#include "Errors.h"
#include "IniFile.h"
#include "Paths.h"
#include "SafeFile.h"
#include "TextUtil.h"

#include <QFileInfo>

#include <algorithm>

namespace {

const QString kSection = QStringLiteral("Config");

int readInt(const IniFile &ini, const QString &key, int def)
{
    int v = def;
    if (const auto text = ini.value(kSection, key); text && ParseDecimal(*text, &v))
        return v;
    return def;
}

bool readBool(const IniFile &ini, const QString &key, bool def)
{
    return readInt(ini, key, def ? 1 : 0) != 0;
}

// An integer within [low, high], else `def`.
int readBounded(const IniFile &ini, const QString &key, int low, int high, int def)
{
    const int v = readInt(ini, key, def);
    return v >= low && v <= high ? v : def;
}

QString boolText(bool b)
{
    return b ? QStringLiteral("1") : QStringLiteral("0");
}

} // namespace

TGlobal::TGlobal(const QString &appDir) : TGlobal(AppPaths::portable(appDir.isEmpty() ? ExecutableDir() : appDir))
{
    AppDir = appDir.isEmpty() ? ExecutableDir() : appDir;
    if (!AppDir.endsWith(u'/'))
        AppDir += u'/';
}

TGlobal::TGlobal(const AppPaths &paths) : Paths(paths)
{
    AppDir = ExecutableDir();
    IniFileName = paths.configFile();
    CacheDir = paths.cacheDir();
    SkinDirs = paths.skinDirs();
    LoadSettings();
    TVListFile = paths.tvListFile();
    TVListTarget = paths.tvListTarget();
    RadioListFile = paths.radioListFile();
    FavListFile = paths.favoritesFile();
    PlaylistDir = paths.userDataDir() + QStringLiteral("Playlists/");
    RecentFile = paths.userDataDir() + QStringLiteral("Recent.json");
}

void TGlobal::LoadSettings()
{
    IniFile ini(IniFileName);
    ini.load();
    readFrom(ini);
    computeSkinPath();
    m_savedTexts.clear();
    for (const auto &[key, text] : settingTexts())
        m_savedTexts.insert(key, text);
}

void TGlobal::readFrom(const IniFile &ini)
{
    DiplayList = readInt(ini, QStringLiteral("DiplayList"), 1);
    Version = readInt(ini, QStringLiteral("Version"), 3);
    TVVersion = readInt(ini, QStringLiteral("TVVersion"), 3);
    SkinFile = ini.value(kSection, QStringLiteral("SkinFile")).value_or(QStringLiteral("Silver.ssk"));
    Ontop = readBool(ini, QStringLiteral("Ontop"), false);
    Download = readBool(ini, QStringLiteral("Download"), false);
    ShowIcon = readBool(ini, QStringLiteral("ShowIcon"), true);
    Volume = readBounded(ini, QStringLiteral("Volume"), 0, 100, -1);
    Mute = readBool(ini, QStringLiteral("Mute"), false);
    constexpr int kFar = 100000;
    const int left = readBounded(ini, QStringLiteral("WindowLeft"), -kFar, kFar, kFar + 1);
    const int top = readBounded(ini, QStringLiteral("WindowTop"), -kFar, kFar, kFar + 1);
    const int width = readBounded(ini, QStringLiteral("WindowWidth"), 1, kFar, 0);
    const int height = readBounded(ini, QStringLiteral("WindowHeight"), 1, kFar, 0);
    WindowGeometry = left <= kFar && top <= kFar ? QRect(left, top, width, height) : QRect();
    WindowMaximized = readBool(ini, QStringLiteral("WindowMaximized"), false);
    ListWidth = readBounded(ini, QStringLiteral("ListWidth"), 0, kFar, -1);
    LastPlaylist = ini.value(kSection, QStringLiteral("LastPlaylist")).value_or(QString()).trimmed();
    PlayLastChannel = readBool(ini, QStringLiteral("PlayLastChannel"), false);
    KeepInTray = readBool(ini, QStringLiteral("KeepInTray"), false);
    TitleNotifications = readBool(ini, QStringLiteral("TitleNotifications"), false);
    CheckAtStart = readBool(ini, QStringLiteral("CheckAtStart"), false);
    HideOffAir = readBool(ini, QStringLiteral("HideOffAir"), false);
    GuideRefreshHours = readBounded(ini, QStringLiteral("GuideRefreshHours"), 0, 24 * 7, 24);
    LastChannelList = ini.value(kSection, QStringLiteral("LastChannelList")).value_or(QString()).trimmed();
    LastChannelName = ini.value(kSection, QStringLiteral("LastChannelName")).value_or(QString());
    LastChannelUrl = ini.value(kSection, QStringLiteral("LastChannelUrl")).value_or(QString()).trimmed();
    LastChannelType = readBounded(ini, QStringLiteral("LastChannelType"), 1, 3, 1);
}

QList<QPair<QString, QString>> TGlobal::settingTexts() const
{
    QList<QPair<QString, QString>> out = {
        {QStringLiteral("DiplayList"), QString::number(DiplayList)},
        {QStringLiteral("Ontop"), boolText(Ontop)},
        {QStringLiteral("TVVersion"), QString::number(TVVersion)},
        {QStringLiteral("SkinFile"), SkinFile},
        {QStringLiteral("Download"), boolText(Download)},
        {QStringLiteral("ShowIcon"), boolText(ShowIcon)},
    };
    // The window's keys appear once a window has closed and left them.
    if (Volume >= 0)
        out += {{QStringLiteral("Volume"), QString::number(Volume)}, {QStringLiteral("Mute"), boolText(Mute)}};
    if (WindowGeometry.isValid())
        out += {{QStringLiteral("WindowLeft"), QString::number(WindowGeometry.x())},
                {QStringLiteral("WindowTop"), QString::number(WindowGeometry.y())},
                {QStringLiteral("WindowWidth"), QString::number(WindowGeometry.width())},
                {QStringLiteral("WindowHeight"), QString::number(WindowGeometry.height())},
                {QStringLiteral("WindowMaximized"), boolText(WindowMaximized)}};
    if (ListWidth >= 0)
        out += {{QStringLiteral("ListWidth"), QString::number(ListWidth)}};
    // Written once set; afterwards kept (cleared) so that the file forgets them too.
    const auto once = [&](const char *key, const QString &text, bool set) {
        const QString k = QString::fromLatin1(key);
        if (set || m_savedTexts.contains(k))
            out += {{k, text}};
    };
    once("LastPlaylist", LastPlaylist, !LastPlaylist.isEmpty());
    once("PlayLastChannel", boolText(PlayLastChannel), PlayLastChannel);
    once("KeepInTray", boolText(KeepInTray), KeepInTray);
    once("TitleNotifications", boolText(TitleNotifications), TitleNotifications);
    once("CheckAtStart", boolText(CheckAtStart), CheckAtStart);
    once("HideOffAir", boolText(HideOffAir), HideOffAir);
    once("GuideRefreshHours", QString::number(GuideRefreshHours), GuideRefreshHours != 24);
    const bool played = !LastChannelUrl.isEmpty();
    once("LastChannelList", LastChannelList, played);
    once("LastChannelName", LastChannelName, played);
    once("LastChannelUrl", LastChannelUrl, played);
    once("LastChannelType", QString::number(LastChannelType), played);
    return out;
}

void TGlobal::SaveSettings()
{
    const auto fail = [this] {
        computeSkinPath();
        throw ZError(QStringLiteral("Unable to write to %1").arg(IniFileName));
    };
    // Another Zentavo may save its settings too: under the lock, the file is read again and
    // only what this one changed replaces what is there (every key is written, as ever).
    const FileLock lock(IniFileName);
    if (!lock.isLocked())
        fail();
    IniFile ini(IniFileName);
    ini.load();
    // What the file holds now, read as this process reads its settings.
    TGlobal there(*this);
    there.readFrom(ini);
    const QList<QPair<QString, QString>> ours = settingTexts();
    const QList<QPair<QString, QString>> theirs = there.settingTexts();
    const auto theirText = [&](const QString &key) -> std::optional<QString> {
        if (!ini.value(kSection, key))
            return std::nullopt;
        for (const auto &[k, text] : theirs) {
            if (k == key)
                return text;
        }
        return std::nullopt;
    };
    QList<QPair<QString, QString>> changed;
    for (const auto &[key, text] : ours) {
        const std::optional<QString> other = theirText(key);
        const bool mine = !other || m_savedTexts.value(key) != text;
        ini.setValue(kSection, key, mine ? text : *other);
        if (mine)
            changed.append({key, text});
    }
    if (!ini.save())
        fail();
    // A change counts as saved once the file holds it.
    IniFile check(IniFileName);
    check.load();
    for (const auto &[key, text] : std::as_const(changed)) {
        if (check.value(kSection, key) != text)
            fail();
    }
    // What another process saved and this one did not change is this one's setting now.
    const auto kept = [&](const char *key) {
        const QString k = QString::fromLatin1(key);
        return std::none_of(changed.cbegin(), changed.cend(), [&](const auto &c) { return c.first == k; });
    };
    if (kept("DiplayList"))
        DiplayList = there.DiplayList;
    if (kept("Ontop"))
        Ontop = there.Ontop;
    if (kept("TVVersion"))
        TVVersion = there.TVVersion;
    if (kept("SkinFile"))
        SkinFile = there.SkinFile;
    if (kept("Download"))
        Download = there.Download;
    if (kept("ShowIcon"))
        ShowIcon = there.ShowIcon;
    if (kept("PlayLastChannel"))
        PlayLastChannel = there.PlayLastChannel;
    if (kept("KeepInTray"))
        KeepInTray = there.KeepInTray;
    if (kept("TitleNotifications"))
        TitleNotifications = there.TitleNotifications;
    if (kept("CheckAtStart"))
        CheckAtStart = there.CheckAtStart;
    if (kept("HideOffAir"))
        HideOffAir = there.HideOffAir;
    if (kept("GuideRefreshHours"))
        GuideRefreshHours = there.GuideRefreshHours;
    m_savedTexts.clear();
    for (const auto &[key, text] : settingTexts())
        m_savedTexts.insert(key, text);
    computeSkinPath();
}

const QStringList &TGlobal::RealPlayerTokens()
{
    static const QStringList tokens = {
        QStringLiteral(".RM"),  QStringLiteral(".RA"),   QStringLiteral(".RV"),   QStringLiteral(".RAM"),
        QStringLiteral(".RMJ"), QStringLiteral(".RMS"),  QStringLiteral(".RMM"),  QStringLiteral(".RPM"),
        QStringLiteral(".SMI"), QStringLiteral(".RMVB"), QStringLiteral(".RAMX"), QStringLiteral(".SMIL"),
        QStringLiteral(".PLS"), QStringLiteral(".M3U"),  QStringLiteral("RTSP:"),
    };
    return tokens;
}

int TGlobal::EngineFor(const QString &address)
{
    const QStringList &tokens = RealPlayerTokens();
    for (int n = 3; n <= 5; ++n) {
        if (tokens.contains(AsciiUpper(address.right(n))))
            return 2;
    }
    if (tokens.contains(AsciiUpper(address.left(5))))
        return 2;
    return 1;
}

QString TGlobal::SkinPathFor(const QString &fileName) const
{
    for (auto dir = SkinDirs.crbegin(); dir != SkinDirs.crend(); ++dir) {
        const QString path = FindPath(*dir, fileName);
        if (QFileInfo(path).isFile())
            return path;
    }
    return FindPath(SkinDirs.value(0), fileName);
}

void TGlobal::computeSkinPath()
{
    SkinPath = SkinPathFor(SkinFile);
}
