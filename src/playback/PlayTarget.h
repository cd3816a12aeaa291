#pragma once

#include <QString>

// Where the channel lists, the search and the Open URL dialog send a stream to play.
class PlayTarget
{
public:
    virtual ~PlayTarget() = default;
    // Plays `address` titled `name`; an empty address plays the current stream again.
    virtual void PlayStream(const QString &address, const QString &name) = 0;
    // The Ty of the channel being started: 1 TV, 2 radio, 3 video (2 selects the radio layout).
    virtual void SetCurrentChannelType(int type) = 0;
};
