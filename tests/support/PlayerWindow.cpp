#include "PlayerWindow.h"

#include "UiDriver.h"
#include "base/pGloba.h"
#include "shell/U_frm_Main.h"

#include <QAction>
#include <QLabel>

PlayerWindow::PlayerWindow(const QByteArray &tvList, const std::function<void(TGlobal &)> &configure)
{
    dir.installCatalogue();
    if (!tvList.isEmpty())
        dir.writeList(QStringLiteral("data/TV.CHL"), tvList);
    global = std::make_unique<TGlobal>(dir.path());
    if (configure)
        configure(*global);
    w = std::make_unique<Tfrm_Main>(*global);
    pc = w->playback();
    ShowWithFirstList(*w);
}

PlayerWindow::~PlayerWindow() = default;

bool PlayerWindow::enabled(const char *name) const
{
    return child(*w, name)->isEnabled();
}

QString PlayerWindow::status() const
{
    return child<QLabel>(*w, "labState")->text();
}

QString PlayerWindow::fullStatus() const
{
    return child<QLabel>(*w, "labState")->toolTip();
}

QAction *PlayerWindow::action(const char *name) const
{
    return child<QAction>(*w, name);
}
