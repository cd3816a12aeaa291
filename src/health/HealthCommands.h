#pragma once

#include "Health.h"

#include <QObject>
#include <QTimer>
#include <memory>

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
    HealthStore &store();
    QString storeFile() const;
    void showOnTree();
    void say(const QString &text);

    Widgets m_w;
    TGlobal &m_global;
    ChannelTree &m_tree;
    HealthChecker *m_checker;
    std::unique_ptr<HealthStore> m_store; // read at the first need
    QAction *m_hide;
    QLabel *m_statusText;
    QPushButton *m_cancel;
    QTimer m_repaint;   // results come in bursts: the tree follows a few times a second
    QTimer m_saveLater; // and the file once they have settled
    QTimer m_statusHide;
    QList<QString> m_addresses; // of the running check, by index
    int m_offAir = 0;
};
