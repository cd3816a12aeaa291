#pragma once

#include <QString>

// What the server of the next stream wants to see (a playlist's #EXTVLCOPT, #EXTHTTP).
struct StreamHeaders
{
    QString userAgent;
    QString referrer;
    QString cookie;
    // The channel came from a playlist fetched from the internet: it may not open local files
    // nor addresses of this computer or its network.
    bool fromWeb = false;
};

// Where the channel lists, the search and the Open URL dialog send a stream to play.
class PlayTarget
{
public:
    virtual ~PlayTarget() = default;
    // Plays `address` titled `name`; an empty address plays the current stream again.
    virtual void PlayStream(const QString &address, const QString &name) = 0;
    // The Ty of the channel being started: 1 TV, 2 radio, 3 video (2 selects the radio layout).
    virtual void SetCurrentChannelType(int type) = 0;
    // Headers for the next PlayStream with an address (afterwards the engines' defaults again).
    virtual void SetStreamHeaders(const StreamHeaders &headers) { (void)headers; }
};
