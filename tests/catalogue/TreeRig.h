#pragma once

#include "TestDirs.h"
#include "base/pGloba.h"
#include "catalogue/ChannelText.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/FavoritesCommands.h"
#include "playback/PlayTarget.h"

#include <QAction>
#include <QMenu>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <memory>

// Records what the channel lists hand to playback.
struct FakePlayer : PlayTarget
{
    struct Call
    {
        QString address, name;
    };
    QList<Call> plays;
    QList<int> types;
    QList<StreamHeaders> headers; // as set before each play
    StreamHeaders next;
    void PlayStream(const QString &address, const QString &name) override
    {
        plays.append({address, name});
        headers.append(std::exchange(next, {}));
    }
    void SetCurrentChannelType(int type) override { types.append(type); }
    void SetStreamHeaders(const StreamHeaders &h) override { next = h; }
};

// The channel tree with the widgets and actions it works on, as the main window holds them.
struct TreeRig
{
    TempAppDir dir;
    std::unique_ptr<TGlobal> global;
    QWidget window;
    QTreeWidget *tree;
    QAction actFavorites{QStringLiteral("My &Favorites")}, actTV{QStringLiteral("&TV Channels")},
        actRadio{QStringLiteral("&Radio Channels")};
    QAction actLeftPlay{QStringLiteral("&Play")}, actAddNew{QStringLiteral("Add &New")},
        actDelete{QStringLiteral("&Delete")}, actAddFav{QStringLiteral("&Add to Favorites")},
        actProperties{QStringLiteral("&Properties")}, actBroken{QStringLiteral("&Report Broken")},
        actAddReview{QStringLiteral("Add Your &Review")};
    QList<QAction *> filters;
    QMenu *popLeft;
    FakePlayer player;
    ChannelTree *channels = nullptr;
    FavoritesCommands *favorites = nullptr;

    TreeRig()
    {
        QDir().mkpath(dir.file(QStringLiteral("data")));
        tree = new QTreeWidget(&window);
        tree->setHeaderHidden(true);
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(tree);
        window.resize(300, 400);
        for (QAction *a : {&actFavorites, &actTV, &actRadio})
            a->setCheckable(true);
        for (const QString &c : ChannelCategories()) {
            auto *a = new QAction(c, &window);
            a->setCheckable(true);
            filters.append(a);
        }
        popLeft = new QMenu(&window);
        popLeft->addActions(
            {&actLeftPlay, &actAddFav, &actAddNew, &actDelete, &actBroken, &actAddReview, &actProperties});
    }

    // Creates the tree once the lists are in place (settings are read at creation).
    void start()
    {
        global = std::make_unique<TGlobal>(dir.path());
        channels = new ChannelTree({tree, &actFavorites, &actTV, &actRadio, filters, popLeft, &actLeftPlay, &actAddNew,
                                    &actDelete, &actAddFav, &actProperties, &actBroken, &actAddReview},
                                   *global, player, &window);
        favorites = new FavoritesCommands(*channels, &actFavorites, *global, &window);
        QObject::connect(&actFavorites, &QAction::triggered, channels, [this] { channels->actFavoritesExecute(); });
        QObject::connect(&actTV, &QAction::triggered, channels, [this] { channels->actTVExecute(); });
        QObject::connect(&actRadio, &QAction::triggered, channels, [this] { channels->actRadioExecute(); });
    }

    void tv(const QByteArray &xml) const { dir.writeList(QStringLiteral("data/TV.CHL"), xml); }
    void radio(const QByteArray &xml) const { dir.writeList(QStringLiteral("data/Radio.CHL"), xml); }
    void fav(const QByteArray &xml) const { dir.writeList(QStringLiteral("data/Fav.CHL"), xml); }

    QStringList topLabels() const
    {
        QStringList out;
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            out.append(tree->topLevelItem(i)->text(0));
        return out;
    }
    QStringList childLabels(int group) const
    {
        QStringList out;
        QTreeWidgetItem *g = tree->topLevelItem(group);
        for (int i = 0; g && i < g->childCount(); ++i)
            out.append(g->child(i)->text(0));
        return out;
    }
    void select(int group, int child = -1) const
    {
        QTreeWidgetItem *item = tree->topLevelItem(group);
        if (child >= 0)
            item = item->child(child);
        tree->setCurrentItem(item);
    }
    // Selects a node and right-clicks it, as the user opens the channel popup.
    void popupOn(int group, int child = -1) const
    {
        select(group, child);
        channels->treChannleMouseDown(QPoint());
        popLeft->hide();
    }
    QStringList workingCopies() const
    {
        return QDir(dir.file(QStringLiteral("data"))).entryList({QStringLiteral("*~temp")}, QDir::Files);
    }
};
