#pragma once

class QWidget;
class TGlobal;
class VolumeControl;

// What the main window remembers between runs: its size and place, the list panel's width,
// the volume and the mute state. Restored when the window is made, kept in the settings when
// it closes.
class WindowMemory
{
public:
    struct Widgets
    {
        QWidget *window;
        QWidget *panLeft;
    };
    WindowMemory(const Widgets &widgets, VolumeControl &volume, TGlobal &global);

    // Before the window is first shown. A place no screen shows any more is not taken: the
    // window is centred on the screen instead.
    void restore();
    // Takes the current state into the settings and saves them; a refused save is only reported
    // on the terminal (the program is closing).
    void save();

private:
    Widgets m_w;
    VolumeControl &m_volume;
    TGlobal &m_global;
};
