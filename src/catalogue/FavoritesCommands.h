#pragma once

#include "FavoritesStore.h"

#include <QObject>

class ChannelTree;
class QAction;
class QWidget;
class TGlobal;

// The commands that change the favourites: add a channel of another list, delete, back up,
// restore, edit a favourite and add a new channel. Each runs the favourites edit cycle and,
// while the favourites are shown, shows them again.
class FavoritesCommands : public QObject
{
    Q_OBJECT

public:
    FavoritesCommands(ChannelTree &tree, QAction *actFavorites, TGlobal &global, QWidget *window);

    void actAddFavExecute();
    void actDeleteExecute();
    void actBackupExecute();
    void actRestoreFavExecute();
    void actPropertiesExecute();
    void actAddNewExecute();

    static QString ListFilter() { return QStringLiteral("Channel List(*.CHL *.chl)"); }

private:
    // Runs a command that reports its own failures (information icon, the error's text).
    template<class F> void reporting(F &&command);
    void showAgain();

    ChannelTree &m_tree;
    QAction *m_actFavorites;
    TGlobal &m_global;
    QWidget *m_window;
    FavoritesStore m_store;
};
