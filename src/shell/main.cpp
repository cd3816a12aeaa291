#include "base/AppInfo.h"
#include "StartupProbe.h"
#include "U_frm_Main.h"
#include "appearance/Artwork.h"
#include "base/Paths.h"
#include "base/pGloba.h"

#include <QApplication>

#include <clocale>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The media engines parse numbers the C way; Qt has just set the user's locale.
    std::setlocale(LC_NUMERIC, "C");

    // Where the files are (beside the program, or in the user's folders of an installed one);
    // the settings object lives as long as the process and every window is handed it.
    const AppPaths paths = AppPaths::detect(ExecutableDir());
    paths.prepare();
    static TGlobal global(paths);
    QApplication::setApplicationName(AppTitle());
    QApplication::setWindowIcon(Artwork::icon(QStringLiteral("zentavo")));

    Tfrm_Main window(global);
    StartupProbe::Attach(&window);
    window.show();
    return QApplication::exec();
}
