#include "WindowMemory.h"

#include "appearance/PanelSplitter.h"
#include "base/pGloba.h"
#include "playback/VolumeControl.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

WindowMemory::WindowMemory(const Widgets &widgets, VolumeControl &volume, TGlobal &global)
    : m_w(widgets), m_volume(volume), m_global(global)
{
}

void WindowMemory::restore()
{
    QWidget *win = m_w.window;
    const QRect remembered = m_global.WindowGeometry;
    // A title bar's worth of the window must be on a screen for the place to be taken.
    const QScreen *on = nullptr;
    if (remembered.isValid()) {
        const QRect grip(remembered.topLeft(), QSize(qMin(remembered.width(), 120), 40));
        for (const QScreen *screen : QGuiApplication::screens()) {
            if (screen->availableGeometry().intersected(grip).width() >= qMin(remembered.width(), 60)) {
                on = screen;
                break;
            }
        }
    }
    if (on) {
        const QSize size = remembered.size().expandedTo(win->minimumSize()).boundedTo(on->availableGeometry().size());
        win->resize(size);
        win->move(remembered.topLeft());
    } else if (const QScreen *screen = win->screen()) {
        win->move(screen->availableGeometry().center() - win->rect().center());
    }
    if (m_global.WindowMaximized)
        win->setWindowState(win->windowState() | Qt::WindowMaximized);
    if (m_global.ListWidth >= 0)
        m_w.panLeft->setFixedWidth(qBound(PanelSplitter::kMinPanelWidth, m_global.ListWidth, 2000));
    if (m_global.Volume >= 0)
        m_volume.setVolume(m_global.Volume);
    if (m_global.Mute)
        m_volume.setMuted(true);
}

void WindowMemory::save()
{
    QWidget *win = m_w.window;
    // The place of the frame (as move() takes it) and the size of the window inside it.
    const bool normal = !(win->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen));
    const QRect inner = normal ? win->geometry() : win->normalGeometry();
    m_global.WindowGeometry = inner.translated(win->pos() - win->geometry().topLeft());
    m_global.WindowMaximized = win->windowState() & Qt::WindowMaximized;
    m_global.ListWidth = m_w.panLeft->width();
    m_global.Volume = m_volume.volume();
    m_global.Mute = m_volume.muted();
    try {
        m_global.SaveSettings();
    } catch (const std::exception &e) {
        qWarning("%s", e.what());
    }
}
