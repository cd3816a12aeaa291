#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// What a channel list file holds, as far as the program can use it.
struct ListCheck
{
    struct Group
    {
        QString name;
        int channels = 0;
    };
    struct Incomplete
    {
        QString group;
        int position = 0; // within its group, from 0
        QString channel;
        QStringList missing;
    };

    bool parsed = false; // deciphers to a well-formed document
    QString error;       // why not, or why the tree cannot show it
    QList<Group> groups;
    QList<Incomplete> incomplete; // channels lacking one of the ten attributes
    bool treeLoadable = false;    // the channel tree can show every channel

    bool isChannelList() const { return parsed && !groups.isEmpty(); }
};

// Checks plain XML text, or a list file deciphered in memory (no working copy is written).
ListCheck CheckPlainList(const QByteArray &xml);
ListCheck CheckListFile(const QString &path);
