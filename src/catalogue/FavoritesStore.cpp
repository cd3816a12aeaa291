#include "FavoritesStore.h"

#include "ListCheck.h"
#include "ListCipher.h"
#include "base/Errors.h"
#include "base/Paths.h"
#include "base/SafeFile.h"
#include "base/pGloba.h"

FavoritesStore::FavoritesStore(const QString &favListFile) : m_file(favListFile)
{
}

int FavoritesStore::EngineNumber(const QString &url)
{
    return url.size() > 6 ? TGlobal::EngineFor(url) : 1;
}

void FavoritesStore::editCycle(const std::function<void(XmlNode &, XmlNode &)> &change)
{
    const FileLock lock(m_file);
    if (!lock.isLocked())
        throw ZError(QStringLiteral("The favourites are being changed by another Zentavo. Please try again."));
    xmlChannelTemp.close();
    QByteArray plain;
    try {
        plain = ReadListFile(m_file);
    } catch (const ZError &) {
        throw ZError(QStringLiteral("Cannot read the favourites file %1.").arg(m_file));
    }
    xmlChannelTemp.loadFromBytes(plain);
    XmlNode root = xmlChannelTemp.documentElement();
    XmlNode group = root.child(0);
    if (group.isNull())
        throw ZError(QStringLiteral("The favourites file %1 has no group to hold channels.").arg(m_file));
    change(group, root);
    const QByteArray changed = xmlChannelTemp.saveToBytes();
    xmlChannelTemp.close();
    WriteListFile(m_file, changed);
    // Done only when the file says so.
    bool holds = false;
    try {
        holds = ReadListFile(m_file) == changed;
    } catch (const ZError &) {
    }
    if (!holds)
        throw ZError(QStringLiteral("Unable to write to %1").arg(m_file));
}

XmlNode FavoritesStore::at(XmlNode &root, int group, int position, const ChannelItem &expected) const
{
    const XmlNode channel = root.child(group).child(position);
    const auto same = [&](const char *name) {
        return channel.attribute(name) == expected.attribute(name);
    };
    if (channel.isNull() || !same("ChannelName") || !same("URL"))
        throw ZError(QStringLiteral("The favourites file has changed since the list was shown. "
                                    "Choose My Favorites again and retry."));
    return channel;
}

void FavoritesStore::Add(const XmlNode &source)
{
    editCycle([&](XmlNode &group, XmlNode &) {
        XmlNode item = group.appendChild(QStringLiteral("Item"));
        for (const char *name : kChannelAttributes) {
            if (const auto value = source.attribute(name))
                item.setAttribute(name, *value);
        }
        for (const char *name : kChannelExtraAttributes) {
            if (const auto value = source.attribute(name); value && !value->isEmpty())
                item.setAttribute(name, *value);
        }
    });
}

void FavoritesStore::Delete(int group, int position, const ChannelItem &expected)
{
    editCycle([&](XmlNode &, XmlNode &root) {
        at(root, group, position, expected);
        root.child(group).deleteChild(position);
    });
}

void FavoritesStore::Rewrite(int group, int position, const ChannelItem &expected, const ChannelFields &f)
{
    editCycle([&](XmlNode &, XmlNode &root) {
        XmlNode c = at(root, group, position, expected);
        c.setAttribute("ChannelName", f.name);
        c.setAttribute("URL", f.url);
        c.setAttribute("INFO", f.website);
        c.setAttribute("Ty", QString::number(f.type));
        c.setAttribute("Co", f.country);
        c.setAttribute("SP", f.speed);
        c.setAttribute("MT", QString::number(EngineNumber(f.url)));
    });
}

void FavoritesStore::AddNew(const ChannelFields &f)
{
    editCycle([&](XmlNode &group, XmlNode &) {
        XmlNode c = group.appendChild(QStringLiteral("Item"));
        c.setAttribute("ChannelName", f.name);
        c.setAttribute("URL", f.url);
        c.setAttribute("ID", f.id);
        c.setAttribute("Ty", QString::number(f.type));
        c.setAttribute("Co", f.country);
        c.setAttribute("SP", f.speed);
        c.setAttribute("MT", QString::number(EngineNumber(f.url)));
        c.setAttribute("INFO", f.website);
        c.setAttribute("T", QString());
        c.setAttribute("I", QString());
    });
}

bool FavoritesStore::Backup(const QString &target) const
{
    if (SameFile(target, m_file))
        return false;
    QString why;
    if (!CopyFileReplacing(m_file, target, &why))
        throw ZError(QStringLiteral("The favourites could not be backed up to %1: %2").arg(target, why));
    return true;
}

bool FavoritesStore::Restore(const QString &source) const
{
    if (SameFile(source, m_file))
        return false;
    const ListCheck check = CheckListFile(source);
    if (!check.isChannelList())
        throw ZError(QStringLiteral("%1 is not a channel list. Your favourites were not changed.").arg(source));
    const FileLock lock(m_file);
    if (!lock.isLocked())
        throw ZError(QStringLiteral("The favourites are being changed by another Zentavo. Please try again."));
    QString why;
    if (!CopyFileReplacing(source, m_file, &why))
        throw ZError(QStringLiteral("The favourites could not be restored from %1: %2").arg(source, why));
    return true;
}
