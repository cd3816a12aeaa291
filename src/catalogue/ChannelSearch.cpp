#include "ChannelSearch.h"

#include "base/TextUtil.h"

QString SearchKey(const QString &text)
{
    return AsciiUpper(text.trimmed());
}

void ScanChannels(const XmlDocument &doc, const QString &key, const QString &label,
                  const std::function<void(const SearchRow &)> &found, const std::function<bool()> &tick)
{
    for (const XmlNode &group : doc.documentElement().childNodes()) {
        for (const XmlNode &channel : group.childNodes()) {
            const QString name = channel.text("ChannelName");
            if (AsciiUpper(name).contains(key)) {
                // Read everything first: a row comes whole or not at all.
                SearchRow row{
                    label, name, channel.text("Co"), channel.text("INFO"), channel.text("URL"), channel.text("Ty")};
                found(row);
            }
            if (!tick())
                return;
        }
    }
}
