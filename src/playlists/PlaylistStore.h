#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// How often a playlist is fetched again from its source.
enum class RefreshInterval { Never, AtStartup, Daily, Weekly };

QString RefreshIntervalKey(RefreshInterval interval);       // as stored: never, startup, daily, weekly
RefreshInterval RefreshIntervalFromKey(const QString &key); // unknown keys: Never

// One of the user's playlists, as its index records it.
struct PlaylistInfo
{
    QString id;     // names its channel list file: <id>.CHL
    QString name;   // as the user named it
    QString source; // a file path or an http(s) address
    RefreshInterval interval = RefreshInterval::Never;
    QDateTime refreshed; // the last refresh that stored a list (UTC); invalid: never
    QDateTime tried;     // the last attempt, failed or not (UTC)
    QString error;       // why the last attempt failed; empty when it did not
    int channels = 0;
    QStringList guides; // the programme guides its last refresh named

    bool isRemote() const;
    // Whether a refresh is due at `now`; `startup` is true for the check after the program starts.
    bool isDue(const QDateTime &now, bool startup) const;
};

// The user's playlists: a folder beside the favourites holding one channel list file per
// playlist and an index (index.json) of their names, sources and refresh times. Every change is
// written at once, under a lock, re-reading what another Zentavo process may have written.
class PlaylistStore
{
public:
    explicit PlaylistStore(const QString &folder);

    const QString &folder() const { return m_folder; }
    QString listFile(const QString &id) const;

    // Re-reads the index. A missing index is an empty one; one that cannot be opened raises
    // ZError. Of a damaged or oversized one, every record that can be read is kept, and a list
    // file whose record is lost stays as "Playlist <id> (recovered)"; damage() says why. The
    // next change writes the index anew and keeps the damaged one as index.json.damaged.
    void load();
    QString damage() const { return m_damage; }
    const QList<PlaylistInfo> &playlists() const { return m_playlists; }
    std::optional<PlaylistInfo> find(const QString &id) const;
    // The playlist's list file exists (its first fetch succeeded).
    bool hasList(const QString &id) const;

    // Records a new playlist and returns it (with a fresh id). Its list comes with storeList.
    PlaylistInfo add(const QString &name, const QString &source, RefreshInterval interval);
    // Replaces the record of `info.id`, keeping its place. Raises ZError when it is gone.
    void update(const PlaylistInfo &info);
    // Removes the record and the list file.
    void remove(const QString &id);

    // Records a refresh whose list was written to listFile(id) (with WriteListFile, which
    // replaces it whole or not at all, on any thread).
    void recordRefresh(const QString &id, int channels, const QDateTime &when, const QStringList &guides = {});
    // Records a failed refresh; the stored list stays.
    void recordFailure(const QString &id, const QString &error, const QDateTime &when);

private:
    template<typename Change> void change(Change &&change);
    void read();
    void write() const;

    QString m_folder;
    QList<PlaylistInfo> m_playlists;
    QString m_damage;
};
