#pragma once

#include "XmlDocument.h"

#include <QList>
#include <QPair>
#include <QString>

#include <optional>

// The ten attributes of a channel element, in the order the program writes them.
inline constexpr const char *kChannelAttributes[] = {"ChannelName", "URL", "INFO", "Ty", "MT",
                                                     "Co",          "SP",  "T",    "I",  "ID"};

// What a channel from a user's playlist carries beside them (a copy keeps them all: without
// its headers a provider's channel does not play).
inline constexpr const char *kChannelExtraAttributes[] = {"Logo",     "TvgName", "Number",  "UserAgent",
                                                          "Referrer", "Cookie",  "TvgShift"};
// A channel of a playlist fetched from the internet carries Origin="web": it may not open local
// files nor reach this computer's network.
inline constexpr const char *kOriginAttribute = "Origin";
inline constexpr const char *kOriginWeb = "web";

// The thirteen categories of the Filter menu, as stored in a channel's T attribute.
const QStringList &ChannelCategories();

// A copy of a channel element's attributes that outlives its document (the channel popup's
// ContextItem is read after the tree may have been reloaded).
class ChannelItem
{
public:
    ChannelItem() = default;
    explicit ChannelItem(const XmlNode &node) : m_attributes(node.attributes()) {}

    std::optional<QString> attribute(const char *name) const;
    // Raises ZError when the channel lacks the attribute.
    QString text(const char *name) const;

private:
    QList<QPair<QString, QString>> m_attributes;
};

// A channel type or number as stored (decimal); raises ZError when it is no whole number.
int ChannelNumber(const QString &text, const char *what = "Ty");

// Tree label of a channel: ChannelName, plus " (" SP "K)" in the long form. The full view uses
// the long form for TV channels (Ty 1), the filtered view always. Raises ZError for a channel
// the tree cannot show (no ChannelName or Ty, Ty not a number, no SP where needed).
QString ChannelLabel(const XmlNode &channel, bool filteredView);

enum TreeIcon { IconFolder = 0, IconSpeaker = 1, IconTelevision = 2 };
// The television for channels whose Ty text is "1", else the loudspeaker.
TreeIcon ChannelIcon(const XmlNode &channel);

// Group label once the group has channels: its name in capitals (a-z only), two blanks, count.
QString GroupLabel(const QString &name, int channels);

// Channel pages on the vendor site.
QString DetailsPageAddress(const QString &site, const QString &channelName, const QString &id, bool radioList);
QString ChannelFormAddress(const QString &site, const QString &page, const QString &id, const QString &channelName);
