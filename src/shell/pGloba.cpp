#include "pGloba.h"

#include "Errors.h"
#include "IniFile.h"
#include "Paths.h"
#include "TextUtil.h"

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

TGlobal::TGlobal(const QString &appDir)
{
    AppDir = appDir.isEmpty() ? ExecutableDir() : appDir;
    if (!AppDir.endsWith(u'/'))
        AppDir += u'/';
    IniFileName = FindPath(AppDir, QStringLiteral("Config.ini"));
    LoadSettings();
    TVListFile = FindPath(AppDir, QStringLiteral("data/TV.CHL"));
    RadioListFile = FindPath(AppDir, QStringLiteral("data/Radio.CHL"));
    FavListFile = FindPath(AppDir, QStringLiteral("data/Fav.CHL"));
}

void TGlobal::LoadSettings()
{
    IniFile ini(IniFileName);
    ini.load();
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
    computeSkinPath();
}

void TGlobal::SaveSettings()
{
    IniFile ini(IniFileName);
    ini.load();
    ini.setValue(kSection, QStringLiteral("DiplayList"), QString::number(DiplayList));
    ini.setValue(kSection, QStringLiteral("Ontop"), boolText(Ontop));
    ini.setValue(kSection, QStringLiteral("TVVersion"), QString::number(TVVersion));
    ini.setValue(kSection, QStringLiteral("SkinFile"), SkinFile);
    ini.setValue(kSection, QStringLiteral("Download"), boolText(Download));
    ini.setValue(kSection, QStringLiteral("ShowIcon"), boolText(ShowIcon));
    // The window's keys appear once a window has closed and left them.
    if (Volume >= 0) {
        ini.setValue(kSection, QStringLiteral("Volume"), QString::number(Volume));
        ini.setValue(kSection, QStringLiteral("Mute"), boolText(Mute));
    }
    if (WindowGeometry.isValid()) {
        ini.setValue(kSection, QStringLiteral("WindowLeft"), QString::number(WindowGeometry.x()));
        ini.setValue(kSection, QStringLiteral("WindowTop"), QString::number(WindowGeometry.y()));
        ini.setValue(kSection, QStringLiteral("WindowWidth"), QString::number(WindowGeometry.width()));
        ini.setValue(kSection, QStringLiteral("WindowHeight"), QString::number(WindowGeometry.height()));
        ini.setValue(kSection, QStringLiteral("WindowMaximized"), boolText(WindowMaximized));
    }
    if (ListWidth >= 0)
        ini.setValue(kSection, QStringLiteral("ListWidth"), QString::number(ListWidth));
    const bool written = ini.save();
    computeSkinPath();
    if (!written)
        throw ZError(QStringLiteral("Unable to write to %1").arg(IniFileName));
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

QString TGlobal::SkinsDir() const
{
    return FindPath(AppDir, QStringLiteral("Skins/"));
}

void TGlobal::computeSkinPath()
{
    SkinPath = FindPath(SkinsDir(), SkinFile);
}
