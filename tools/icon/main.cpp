// zentavo-icon SVG OUT.png SIZE: renders the program's icon at one size (the build makes the
// PNG icons of the installed program with it).
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    bool ok = false;
    const int size = args.value(3).toInt(&ok);
    if (args.size() != 4 || !ok || size <= 0) {
        std::fputs("usage: zentavo-icon SVG OUT.png SIZE\n", stderr);
        return 2;
    }
    QSvgRenderer svg(args[1]);
    if (!svg.isValid()) {
        std::fprintf(stderr, "zentavo-icon: cannot read %s\n", qPrintable(args[1]));
        return 1;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    svg.render(&painter);
    painter.end();
    return image.save(args[2], "PNG") ? 0 : 1;
}
