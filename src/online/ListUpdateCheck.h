#pragma once

#include <QObject>

class QAction;
class QTimer;
class QWidget;
class TGlobal;
class THttpCli;

// The start-up check for a newer TV list: 100 ms after the window first shows (when the
// Download setting is on) it compares the server's list version with TVVersion, asks, and
// downloads the new list.
class ListUpdateCheck : public QObject
{
    Q_OBJECT

public:
    ListUpdateCheck(TGlobal &global, QWidget *window, QAction *actTV, QObject *parent);

    // The window was shown for the first time.
    void FormShow();
    void Timer1Timer();

    QTimer *Timer1;
    THttpCli *HttpGetversion;

private:
    void showNewList();

    TGlobal &m_global;
    QWidget *m_window;
    QAction *m_actTV;
};
