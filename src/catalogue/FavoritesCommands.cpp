#include "FavoritesCommands.h"

#include "ChannelTree.h"
#include "U_frmChannelInfo.h"
#include "online/VendorSite.h"
#include "base/Errors.h"
#include "base/Prompter.h"
#include "base/ShellOpen.h"
#include "base/pGloba.h"

#include <QAction>

FavoritesCommands::FavoritesCommands(ChannelTree &tree, QAction *actFavorites, TGlobal &global, QWidget *window)
    : QObject(window), m_tree(tree), m_actFavorites(actFavorites), m_global(global), m_window(window),
      m_store(global.FavListFile)
{
}

template<class F> void FavoritesCommands::reporting(F &&command)
{
    try {
        command();
    } catch (const std::exception &e) {
        ShowMessage(m_window, QString::fromUtf8(e.what()), MsgIcon::Information);
    }
}

void FavoritesCommands::showAgain()
{
    if (m_tree.ChannelListKind() == ListKind::Favorites)
        m_actFavorites->trigger();
}

void FavoritesCommands::actAddFavExecute()
{
    if (m_tree.isLoading())
        return;
    const auto channel = m_tree.selectedChannel();
    if (!channel)
        return;
    reporting([&] {
        const ChannelItem source(channel->element);
        m_store.Add(channel->element);
        ShowMessage(m_window, source.text("ChannelName") + QStringLiteral(" has been added to My Favorites"),
                    MsgIcon::Information);
    });
}

void FavoritesCommands::actDeleteExecute()
{
    if (m_tree.isLoading())
        return;
    const auto channel = m_tree.selectedChannel();
    if (!channel)
        return;
    // The question runs an event loop in which the tree may be rebuilt: keep a copy.
    const ChannelItem shown(channel->element);
    if (!AskOkCancel(m_window, QStringLiteral("Are you sure you want to delete ") + channel->text))
        return;
    reporting([&] {
        m_store.Delete(channel->group, channel->position, shown);
        showAgain();
    });
}

void FavoritesCommands::actBackupExecute()
{
    if (m_tree.isLoading())
        return;
    const QString target = Prompter::instance().saveFileName(m_window, ListFilter(), QStringLiteral("CHL")).trimmed();
    if (target.isEmpty())
        return;
    reporting([&] { m_store.Backup(target); });
}

void FavoritesCommands::actRestoreFavExecute()
{
    if (m_tree.isLoading())
        return;
    const QString source = Prompter::instance().openFileName(m_window, ListFilter()).trimmed();
    if (source.isEmpty())
        return;
    reporting([&] {
        if (m_store.Restore(source))
            showAgain();
    });
}

void FavoritesCommands::actPropertiesExecute()
{
    if (m_tree.isLoading())
        return;
    const auto channel = m_tree.selectedChannel();
    if (!channel)
        return;
    if (m_tree.ChannelListKind() != ListKind::Favorites) {
        const auto &item = m_tree.ContextItem();
        if (!item)
            return;
        const QString id = item->text("ID");
        const QString name = item->text("ChannelName");
        ShellOpen(DetailsPageAddress(VendorSite(), name, id, m_tree.ChannelListKind() == ListKind::Radio));
        return;
    }
    // The dialog runs an event loop in which the tree may be rebuilt: keep a copy.
    const ChannelItem shown(channel->element);
    TFrmChannelInfo dlg(m_global, m_window);
    dlg.fillFrom(m_tree.ContextItem().value_or(shown));
    if (dlg.exec() != QDialog::Accepted)
        return;
    m_store.Rewrite(channel->group, channel->position, shown, dlg.fields(shown.text("URL")));
    showAgain();
}

void FavoritesCommands::actAddNewExecute()
{
    if (m_tree.isLoading())
        return;
    TFrmChannelInfo dlg(m_global, m_window);
    if (dlg.exec() != QDialog::Accepted)
        return;
    m_store.AddNew(dlg.fields());
    showAgain();
}
