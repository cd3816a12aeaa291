#include "ListCheck.h"

#include "ChannelText.h"
#include "ListCipher.h"
#include "XmlDocument.h"
#include "base/Errors.h"

#include <QFile>

ListCheck CheckPlainList(const QByteArray &xml)
{
    ListCheck check;
    XmlDocument doc;
    try {
        doc.loadFromBytes(xml);
    } catch (const ZError &e) {
        check.error = e.message();
        return check;
    }
    check.parsed = true;
    check.treeLoadable = true;
    for (const XmlNode &group : doc.documentElement().childNodes()) {
        ListCheck::Group g{group.localName(), 0};
        for (const XmlNode &channel : group.childNodes()) {
            QStringList missing;
            for (const char *name : kChannelAttributes) {
                if (!channel.hasAttribute(name))
                    missing.append(QString::fromLatin1(name));
            }
            if (!missing.isEmpty())
                check.incomplete.append(
                    {g.name, g.channels, channel.attribute("ChannelName").value_or(QString()), missing});
            if (check.treeLoadable) {
                try {
                    ChannelLabel(channel, false);
                } catch (const ZError &e) {
                    check.treeLoadable = false;
                    check.error = g.name + QStringLiteral(": ") + e.message();
                }
            }
            ++g.channels;
        }
        check.groups.append(g);
    }
    return check;
}

ListCheck CheckListFile(const QString &path)
{
    try {
        return CheckPlainList(ReadListFile(path));
    } catch (const ZError &e) {
        ListCheck check;
        check.error = e.message();
        return check;
    }
}
