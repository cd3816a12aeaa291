// Replays a fuzz target's corpus (every file of the folder given) as a regression test.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTextStream>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2) {
        QTextStream(stderr) << "usage: replay CORPUS-FOLDER\n";
        return 2;
    }
    const QDir dir(args[1]);
    const QStringList files = dir.entryList(QDir::Files, QDir::Name);
    if (files.isEmpty()) {
        QTextStream(stderr) << "empty corpus: " << args[1] << '\n';
        return 1;
    }
    for (const QString &name : files) {
        QFile f(dir.filePath(name));
        if (!f.open(QIODevice::ReadOnly))
            return 1;
        const QByteArray bytes = f.readAll();
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(bytes.constData()), std::size_t(bytes.size()));
    }
    QTextStream(stdout) << files.size() << " inputs replayed\n";
    return 0;
}
