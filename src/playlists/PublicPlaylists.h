#pragma once

#include "PlaylistStore.h"

#include <QByteArray>
#include <QList>
#include <QString>

// A public playlist a new user can add in two clicks.
struct PublicPlaylist
{
    enum class Kind { Whole, Country, Category };
    Kind kind = Kind::Whole;
    QString name;    // as the playlist is named when added, e.g. "iptv-org: Germany"
    QString address; // as its publisher publishes it
    RefreshInterval interval = RefreshInterval::Daily;
};

// The public playlists a collections file offers (resources/playlists/collections.json): per
// publisher its whole list, then one per country and one per category. Raises ZError when the
// file is not such a file.
QList<PublicPlaylist> ReadPublicPlaylists(const QByteArray &json);
// Those the program ships.
QList<PublicPlaylist> ShippedPublicPlaylists();
