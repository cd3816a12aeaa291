#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A throw-away program folder: Config.ini, Skins/ and data/ as a test needs them.
class TempAppDir
{
public:
    TempAppDir();

    QString path() const; // ends in "/"
    QString file(const QString &relative) const { return path() + relative; }

    void write(const QString &relative, const QByteArray &bytes) const;
    QByteArray read(const QString &relative) const;
    void writeConfig(const QByteArray &iniText) const { write(QStringLiteral("Config.ini"), iniText); }
    QByteArray config() const { return read(QStringLiteral("Config.ini")); }

    // Writes an enciphered channel list file.
    void writeList(const QString &relative, const QByteArray &plainXml) const;

    // Writes the shipped catalogue into data/ (TV.CHL, Radio.CHL, Fav.CHL).
    void installCatalogue() const;

    // Copies the shipped skins into Skins/.
    void installSkins() const;

private:
    QTemporaryDir m_dir;
};

// Folder of the project's sources (for shipped resources the tests read).
QString SourceDir();

// `size` bytes of repeatable noise (a xorshift sequence).
QByteArray NoiseBytes(qsizetype size);
