#pragma once

#include "Health.h"

#include <QFutureWatcher>
#include <QObject>
#include <QTimer>

#include <memory>
#include <optional>
#include <utility>

class ChannelTree;
class HealthChecker;
class HealthStore;
class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QStatusBar;
class QTreeWidget;
class TGlobal;

// Which channels of the list shown are on the air: "Check Channels" with its progress and
// Cancel in the status bar, channels found off the air drawn greyed with why and when in their
// tooltip (or hidden, as the Filter menu says), and what playing a channel showed.
class HealthCommands : public QObject
{
    Q_OBJECT

public:
    struct Widgets
    {
        QTreeWidget *treChannle;
        QMenu *menFilter; // gets "Hide Channels off the Air"
        QWidget *statusPanel;
        QStatusBar *statusBar;
    };

    HealthCommands(const Widgets &widgets, TGlobal &global, ChannelTree &tree, QWidget *window);
    ~HealthCommands() override;

    // Checks every channel of the list shown; onlyUnknown: those without a result of the last day.
    void checkShown(bool onlyUnknown = false);
    void cancel();
    bool isChecking() const;
    // What playing `address` showed: it plays, or why it failed.
    void played(const QString &address, bool playing, const QString &reason);
    QAction *hideAction() const { return m_hide; }

signals:
    void checkFinished();

private:
    QString storeFile() const;
    void loaded();
    void save();
    void showOnTree();
    void say(const QString &text);

    Widgets m_w;
    TGlobal &m_global;
    ChannelTree &m_tree;
    HealthChecker *m_checker;
    std::shared_ptr<HealthStore> m_store; // once read (on a worker, at start)
    QFutureWatcher<std::shared_ptr<HealthStore>> m_load;
    QFutureWatcher<QString> m_save; // the file is written on a worker too
    bool m_saveAgain = false;       // results came while it was written
    std::optional<bool> m_checkWhenLoaded;
    QList<std::pair<QString, Health>> m_playedWhileLoading;
    QAction *m_hide;
    QLabel *m_statusText;
    QPushButton *m_cancel;
    QTimer m_repaint;   // results come in bursts: the tree follows a few times a second
    QTimer m_saveLater; // and the file once they have settled
    QTimer m_statusHide;
    QList<QString> m_addresses; // of the running check, by index
    int m_offAir = 0;
};
