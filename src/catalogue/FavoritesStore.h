#pragma once

#include "ChannelText.h"
#include "XmlDocument.h"

#include <QString>
#include <functional>

// What the channel dialog gives for a favourite (raw field texts and the chosen category).
struct ChannelFields
{
    QString name;
    QString url; // already trimmed
    QString website;
    int type = 0; // 1 TV, 2 radio, 3 video
    QString country;
    QString speed;
    QString id;
};

// The favourites file and the one way every change reaches it: under a lock that keeps other
// Zentavo processes out, decipher it in memory, change the favourites group (the first group),
// encipher it back. The favourites file is replaced whole or not at all; a failure at any step
// raises ZError and leaves it unchanged, and a change is reported done only once the file holds
// it.
class FavoritesStore
{
public:
    explicit FavoritesStore(const QString &favListFile);

    const QString &fileName() const { return m_file; }

    // Appends a copy of `source` (the attributes it has, in the stored order) to the first group.
    void Add(const XmlNode &source);
    // Removes the favourite at `position` of group `group`; `expected` is what the list showed
    // there, so a file changed meanwhile never loses another favourite.
    void Delete(int group, int position, const ChannelItem &expected);
    // Rewrites a favourite from the channel dialog; ID, T and I keep their values.
    void Rewrite(int group, int position, const ChannelItem &expected, const ChannelFields &fields);
    // Appends a channel described in the channel dialog to the first group.
    void AddNew(const ChannelFields &fields);

    // Byte copy of the favourites file to `target`. Returns false (nothing copied) when the two
    // name the same file; raises ZError when the copy fails.
    bool Backup(const QString &target) const;
    // Replaces the favourites by the file `source` once it proved to be a channel list with at
    // least one group. Returns false (nothing changed) when the two name the same file.
    bool Restore(const QString &source) const;

    // The engine number stored in MT: 1 for addresses of six characters or fewer.
    static int EngineNumber(const QString &url);

private:
    void editCycle(const std::function<void(XmlNode &group, XmlNode &root)> &change);
    XmlNode at(XmlNode &root, int group, int position, const ChannelItem &expected) const;

    QString m_file;
    XmlDocument xmlChannelTemp;
};
