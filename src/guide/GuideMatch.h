#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

// A channel of the user's lists, as a guide is matched to it.
struct ListChannel
{
    QString tvgId;    // a playlist's tvg-id; a shipped list's ID without its "@..." suffix
    QString tvgName;  // a playlist's tvg-name
    QString name;     // as the list shows it
    qint64 shift = 0; // seconds the guide's times are off for it (a playlist's tvg-shift)
};

// A channel element's tvg-shift attribute, in seconds.
qint64 ShiftOfAttribute(const QString &hours);

// "BBC One HD" and "bbc-one hd" alike: case, accents, blanks and punctuation folded away.
QString FoldName(const QString &name);

// A shipped list's ID as a guide's channel id: "BBCOne.uk@HD" is "BBCOne.uk".
QString TvgIdOfListId(const QString &id);

// Finds which guide channel a list channel is: by tvg-id against the guide channel's id (case
// ignored), else tvg-name against one of its display names, else the channel's name against
// one of its display names, folded. Guide channels are added as they are read; the first of
// several with the same key wins.
template<typename Key> class GuideMatcher
{
public:
    void add(const QString &id, const QStringList &names, const Key &key)
    {
        const auto keep = [&key](QHash<QString, Key> &map, const QString &k) {
            if (!k.isEmpty() && !map.contains(k))
                map.insert(k, key);
        };
        keep(m_ids, id.toCaseFolded());
        for (const QString &n : names) {
            keep(m_names, n);
            keep(m_folded, FoldName(n));
        }
    }
    const Key *find(const ListChannel &c) const
    {
        if (!c.tvgId.isEmpty()) {
            if (auto it = m_ids.constFind(c.tvgId.toCaseFolded()); it != m_ids.cend())
                return &*it;
        }
        if (!c.tvgName.isEmpty()) {
            if (auto it = m_names.constFind(c.tvgName); it != m_names.cend())
                return &*it;
        }
        if (const QString folded = FoldName(c.name); !folded.isEmpty()) {
            if (auto it = m_folded.constFind(folded); it != m_folded.cend())
                return &*it;
        }
        return nullptr;
    }
    bool isEmpty() const { return m_ids.isEmpty(); }

private:
    QHash<QString, Key> m_ids, m_names, m_folded;
};

// The other way round, while a guide is read: which guide channels any list channel matches.
class ListIndex
{
public:
    explicit ListIndex(const QList<ListChannel> &channels);
    // Whether a guide channel with this id and these display names is one of the list's.
    bool matches(const QString &id, const QStringList &names) const;
    int size() const { return m_size; }

private:
    QSet<QString> m_ids, m_names, m_folded;
    int m_size = 0;
};
