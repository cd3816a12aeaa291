// The floor of the start-up benchmark: a bare Qt main window of the same size, started and
// measured the same way as the program.
#include "shell/StartupProbe.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.resize(640, 435);
    StartupProbe::Attach(&window);
    window.show();
    return QApplication::exec();
}
