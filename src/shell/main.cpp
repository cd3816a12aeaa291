#include "StartupProbe.h"
#include "U_frm_Main.h"
#include "appearance/Artwork.h"
#include "base/AppInfo.h"
#include "base/Paths.h"
#include "base/pGloba.h"
#include "catalogue/ChannelTree.h"
#include "desktop/SingleInstance.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>
#include <QTreeWidget>

#include <clocale>
#include <cstdio>
#include <cstring>

namespace {

const char *kUsage = "Usage: zentavo [ADDRESS | FILE]\n"
                     "       zentavo --help | --version\n"
                     "\n"
                     "Plays internet TV and radio. Given a stream address or a media file, plays it;\n"
                     "when Zentavo already runs, hands it over to the running program.\n";

// --help and --version answer before anything needs a display.
int answeredAtOnce(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Zentavo %s\n", qPrintable(AppVersionText()));
            return 0;
        }
    }
    return -1;
}

// What this start asks for: local files made absolute (the running program may be elsewhere).
std::optional<SingleInstance::Request> requestFrom(const QStringList &arguments)
{
    SingleInstance::Request request;
    for (const QString &a : arguments) {
        if (a.startsWith(u'-')) {
            std::fprintf(stderr, "zentavo: unknown option %s\n%s", qPrintable(a), kUsage);
            return std::nullopt;
        }
        const QFileInfo file(a);
        request.arguments.append(file.exists() ? file.absoluteFilePath() : a);
    }
    return request;
}

} // namespace

int main(int argc, char *argv[])
{
    if (const int answered = answeredAtOnce(argc, argv); answered >= 0)
        return answered;
    QApplication app(argc, argv);
    // The media engines parse numbers the C way; Qt has just set the user's locale.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(AppTitle());
    QApplication::setApplicationVersion(AppVersionText());
    QGuiApplication::setDesktopFileName(AppId());
    const std::optional<SingleInstance::Request> request = requestFrom(QCoreApplication::arguments().mid(1));
    if (!request)
        return 2;

    // Where the files are (beside the program, or in the user's folders of an installed one).
    const AppPaths paths = AppPaths::detect(ExecutableDir());

    // One Zentavo per program: a later start hands its request over and is done.
    SingleInstance instance(paths.configFile());
    if (instance.start(*request) == SingleInstance::Role::HandedOver)
        return 0;

    paths.prepare();
    // Lives as long as the process; every window is handed this one instance.
    static TGlobal global(paths);
    QApplication::setWindowIcon(Artwork::icon(QStringLiteral("zentavo")));

    Tfrm_Main window(global);
    StartupProbe::Attach(&window);
    // For the installed program's test: the first list it shows, by its number of groups.
    if (qgetenv("ZENTAVO_REPORT_SHOWN") == "list") {
        QObject::connect(window.channelTree(), &ChannelTree::loadFinished, &window, [&window] {
            const auto *tree = window.findChild<QTreeWidget *>(QStringLiteral("treChannle"));
            std::printf("listed %d\n", tree->topLevelItemCount());
            std::fflush(stdout);
            QCoreApplication::exit(0);
        });
    }
    QObject::connect(&instance, &SingleInstance::requested, &window,
                     [&window](const SingleInstance::Request &r) { window.openRequest(r.arguments, r.raise); });
    window.show();
    // This start's own address, then what later starts ask, once the window is up.
    QTimer::singleShot(0, &window, [&window, &instance, own = request->arguments] {
        if (!own.isEmpty())
            window.openRequest(own, false);
        instance.setReady();
    });
    return QApplication::exec();
}
