#pragma once

#include <QDateTime>
#include <QString>

class XmlNode;

// What a check found of one channel's address.
struct Health
{
    enum class State { Unknown, OnAir, OffAir };
    State state = State::Unknown;
    QString reason;    // why it is off the air or unknown; what answered when on the air
    QDateTime checked; // UTC; invalid: never checked
    int ms = 0;        // how long the check took

    bool isOffAir() const { return state == State::OffAir; }
    // "on", "off", "unknown": as the store's file and `zentavo-chl probe` write a state.
    static QString Word(State state);
    static State FromWord(const QString &word);
};

// What the checker needs of a channel: its address and the headers its list gives it.
struct HealthTarget
{
    QString name;
    QString address;
    QString userAgent;
    QString referrer;
    QString cookie;
    bool fromWeb = false; // of a playlist from the internet: no local files, no private addresses

    // A channel of a list: its Item element's name, URL and headers.
    static HealthTarget Of(const XmlNode &channel);
};
