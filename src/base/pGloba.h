#pragma once

#include <QHash>
#include <QList>
#include <QPair>
#include <QRect>
#include <QString>
#include <QStringList>

// The settings of the program and the paths of its files, all derived from the folder of the
// executable. One instance lives for the whole process; every window is handed a reference.
// Settings are read once, at creation; each command that changes one saves them all at once.
class IniFile;

class TGlobal
{
public:
    // appDir: the program folder; empty means the folder of the running executable.
    explicit TGlobal(const QString &appDir = {});

    void LoadSettings();
    // Writes every setting but Version. Raises ZError "Unable to write to <IniFileName>" when
    // the file may not be written; the values in memory stay as they are. Settings another
    // process saved meanwhile are kept unless this one changed them too.
    void SaveSettings();

    // The player engine for a stream address: 2 for the addresses of RealPlayerTokens, else 1.
    int ChooseEngine(const QString &address) const { return EngineFor(address); }
    static int EngineFor(const QString &address);
    static const QStringList &RealPlayerTokens();

    // The skins folder (found without regard to case), ending in "/".
    QString SkinsDir() const;

    QString IniFileName;
    QString AppDir;
    int DiplayList = 1;
    bool Ontop = false;
    bool Download = false;
    QString TVListFile;
    QString RadioListFile;
    QString FavListFile;
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
    int ListWidth = -1; // the channel list panel's width; -1: not remembered

private:
    void computeSkinPath();
    void readFrom(const IniFile &ini);
    // Every saved key with its text as this object has it.
    QList<QPair<QString, QString>> settingTexts() const;

    QHash<QString, QString> m_savedTexts; // as last read or saved: what this process changed differs
};
