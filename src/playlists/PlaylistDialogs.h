#pragma once

#include "PlaylistStore.h"
#include "PublicPlaylists.h"

#include <QDialog>

class ChannelItem;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class TGlobal;

// The refresh intervals in the order the dialogs list them.
QComboBox *NewIntervalBox(QWidget *parent);

// Add Playlist: a name, a source (a file or an http(s) address) and a refresh interval, or one
// of the public playlists.
class AddPlaylistDialog : public QDialog
{
    Q_OBJECT

public:
    AddPlaylistDialog(TGlobal &global, const QList<PublicPlaylist> &offered, QWidget *parent = nullptr);

    QString name() const;
    QString source() const;
    RefreshInterval interval() const;
    void setSource(const QString &source);

    void btnBrowseClick();
    void btnOkClick();

private:
    void collectionChosen(int index);

    QList<PublicPlaylist> m_offered;
    QComboBox *m_collection;
    QLineEdit *m_name;
    QLineEdit *m_source;
    QComboBox *m_interval;
    QPushButton *m_browse;
};

// Manage Playlists: renames a playlist, changes its address or refresh interval, refreshes or
// removes it. Every change is stored at once.
class ManagePlaylistsDialog : public QDialog
{
    Q_OBJECT

public:
    ManagePlaylistsDialog(TGlobal &global, PlaylistStore &store, QWidget *parent = nullptr);

    void btnSaveClick();
    void btnRemoveClick();
    void btnRefreshClick();
    QString currentId() const;
    void reload();

signals:
    void changed();
    void refreshRequested(const QString &id);

private:
    void showCurrent();

    PlaylistStore &m_store;
    QListWidget *m_list;
    QLineEdit *m_name;
    QLineEdit *m_source;
    QComboBox *m_interval;
    QLabel *m_state;
    QPushButton *m_save;
    QPushButton *m_remove;
    QPushButton *m_refresh;
};

// Properties of a playlist's channel: the entry as the playlist gave it, read only.
class PlaylistEntryDialog : public QDialog
{
    Q_OBJECT

public:
    PlaylistEntryDialog(TGlobal &global, const ChannelItem &channel, const QString &group, QWidget *parent = nullptr);
};
