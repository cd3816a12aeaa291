// The floor of the start-up benchmark: a bare Qt main window of the same size, started and
// measured the same way as the program. With --text it also has a menu bar and a small tree,
// so it pays for fonts and text as any window with words does.
#include "shell/StartupProbe.h"

#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QTreeWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.resize(640, 435);
    if (QCoreApplication::arguments().contains(QStringLiteral("--text"))) {
        for (const char *title : {"&File", "&Channels", "Fi&lter", "&Options", "Skins", "&Help"})
            window.menuBar()->addMenu(QString::fromLatin1(title))->addAction(QStringLiteral("Item"));
        auto *tree = new QTreeWidget(&window);
        tree->setHeaderHidden(true);
        for (int i = 0; i < 26; ++i)
            new QTreeWidgetItem(tree, {QStringLiteral("GROUP %1  (13)").arg(i)});
        window.setCentralWidget(tree);
    }
    StartupProbe::Attach(&window);
    window.show();
    return QApplication::exec();
}
