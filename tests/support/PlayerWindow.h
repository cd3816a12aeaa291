#pragma once

#include "TestDirs.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

class PlaybackController;
class QAction;
class TGlobal;
class Tfrm_Main;

// A main window on a program folder of its own, shown with its first list: what the playback and
// desktop tests drive.
struct PlayerWindow
{
    TempAppDir dir;
    std::unique_ptr<TGlobal> global;
    std::unique_ptr<Tfrm_Main> w;
    PlaybackController *pc = nullptr;

    // `tvList`: the TV list's text instead of the shipped one; `configure` sees the settings
    // before the window is made.
    explicit PlayerWindow(const QByteArray &tvList = {}, const std::function<void(TGlobal &)> &configure = {});
    ~PlayerWindow();

    bool enabled(const char *name) const;
    QString status() const;     // the status line as it is shown
    QString fullStatus() const; // the whole text, in its tooltip
    QAction *action(const char *name) const;
};
