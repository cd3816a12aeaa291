#include "TestDirs.h"

#include "catalogue/ListCipher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

TempAppDir::TempAppDir()
{
    m_dir.setAutoRemove(true);
}

QString TempAppDir::path() const
{
    return m_dir.path() + QLatin1Char('/');
}

void TempAppDir::write(const QString &relative, const QByteArray &bytes) const
{
    const QString full = file(relative);
    QDir().mkpath(QFileInfo(full).absolutePath());
    QFile f(full);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(full));
    f.write(bytes);
}

QByteArray TempAppDir::read(const QString &relative) const
{
    QFile f(file(relative));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void TempAppDir::writeList(const QString &relative, const QByteArray &plainXml) const
{
    write(relative, CipherBytes(plainXml));
}

void TempAppDir::installCatalogue() const
{
    for (const auto &[from, to] : {std::pair{"tv.xml", "data/TV.CHL"}, std::pair{"radio.xml", "data/Radio.CHL"},
                                   std::pair{"fav.xml", "data/Fav.CHL"}}) {
        QFile f(SourceDir() + QStringLiteral("/resources/catalogue/") + QLatin1String(from));
        if (!f.open(QIODevice::ReadOnly))
            qFatal("cannot read the shipped catalogue");
        writeList(QLatin1String(to), f.readAll());
    }
}

void TempAppDir::installSkins() const
{
    QDir().mkpath(file(QStringLiteral("Skins")));
    for (const QString &name :
         {QStringLiteral("Silver.ssk"), QStringLiteral("Vista1.ssk"), QStringLiteral("Midnight.ssk")})
        QFile::copy(SourceDir() + QStringLiteral("/resources/skins/") + name, file(QStringLiteral("Skins/") + name));
}

QString SourceDir()
{
    return QStringLiteral(ZENTAVO_SOURCE_DIR);
}

QByteArray NoiseBytes(qsizetype size)
{
    QByteArray noise(size, '\0');
    quint32 x = 2463534242u;
    for (char &c : noise) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = char(x);
    }
    return noise;
}
