#include "base/AppInfo.h"
#include "StartupProbe.h"
#include "U_frm_Main.h"
#include "appearance/Artwork.h"
#include "base/pGloba.h"

#include <QApplication>

#include <clocale>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The media engines parse numbers the C way; Qt has just set the user's locale.
    std::setlocale(LC_NUMERIC, "C");

    // Lives as long as the process; every window is handed this one instance.
    static TGlobal global;
    QApplication::setApplicationName(AppTitle());
    QApplication::setWindowIcon(Artwork::icon(QStringLiteral("zentavo")));

    Tfrm_Main window(global);
    StartupProbe::Attach(&window);
    window.show();
    return QApplication::exec();
}
