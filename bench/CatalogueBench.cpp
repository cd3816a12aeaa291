#include "CatalogueBench.h"

#include "BenchRig.h"
#include "ListMaker.h"
#include "TestDirs.h"
#include "appearance/SkinFile.h"
#include "base/Prompter.h"
#include "base/pGloba.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/FavoritesStore.h"
#include "catalogue/ListCipher.h"
#include "catalogue/U_frmSearch.h"
#include "playback/PlayTarget.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cstring>
#include <functional>

using namespace bench;

int RunCatalogueBench(const QString &list, int runs)
{
    QuietPrompter quiet;
    Prompter::install(&quiet);
    TempAppDir dir;

    // Decipher against a plain copy of the same bytes.
    const QByteArray tenK = ListMaker::Plain(20, 500);
    const QByteArray enciphered = CipherBytes(tenK);
    QByteArray scratch(enciphered.size(), Qt::Uninitialized);
    const double mb = enciphered.size() / 1e6;
    const double copy = MedianMs(runs * 4, [&] {
        std::memcpy(scratch.data(), enciphered.constData(), size_t(enciphered.size()));
        asm volatile("" : : "r"(scratch.data()) : "memory");
    });
    const double decipher = MedianMs(runs * 4, [&] { scratch = CipherBytes(enciphered); });
    bench::Report(QStringLiteral("decipher %1 MB (10k channels)").arg(mb, 0, 'f', 1), mb / (decipher / 1000),
                  QStringLiteral("MB/s"), mb / (copy / 1000), QStringLiteral("memcpy"));

    // A large skin: 2,000 colours and some 50,000 references to them in its style sheet.
    {
        QByteArray skin = "[Zentavo Skin]\nName=Big\n[Colors]\n";
        for (int c = 0; c < 2000; ++c)
            skin += "c" + QByteArray::number(c) + "=#" + QByteArray::number(0x100000 + c * 97, 16) + "\n";
        skin += "[Style]\n";
        for (int r = 0; skin.size() < 780 * 1024; ++r)
            skin += "QLabel#l" + QByteArray::number(r) + " { color: @c" + QByteArray::number(r % 2000) +
                    "; background: @c" + QByteArray::number((r * 7) % 2000) + "; }\n";
        bool parsed = true;
        const double parse = MedianMs(runs, [&] { parsed = parsed && ParseSkin(skin).has_value(); });
        qsizetype lines = 0;
        const double scan = MedianMs(runs, [&] { lines += QString::fromUtf8(skin).split(u'\n').size(); });
        bench::Report(QStringLiteral("parse a %1 KB skin").arg(skin.size() / 1024), parse, QStringLiteral("ms"), scan,
                      QStringLiteral("decoding and splitting its text"),
                      parsed && lines ? QString() : QStringLiteral("FAILED"));
    }

    dir.writeList(QStringLiteral("data/TV.CHL"), ListMaker::Plain(50, 1000));
    dir.writeList(QStringLiteral("data/Radio.CHL"), tenK);
    TGlobal global(dir.path());
    Tree tree(global);
    const double load50 = MedianMs(runs, [&] { tree.channels->actTVExecute(); });
    bench::Report(QStringLiteral("LoadList 50k channels into the tree"), load50, QStringLiteral("ms"), 0, {},
                  QStringLiteral("target <= 300"));
    const double load10 = MedianMs(runs, [&] { tree.channels->actRadioExecute(); });
    bench::Report(QStringLiteral("LoadList 10k channels into the tree"), load10, QStringLiteral("ms"));
    const double filtered =
        MedianMs(runs, [&] { tree.channels->LoadFilteredList(global.TVListFile, QStringLiteral("News")); });
    bench::Report(QStringLiteral("LoadFilteredList \"News\" of 50k channels"), filtered, QStringLiteral("ms"));

    if (!list.isEmpty()) {
        QFile f(list);
        if (!f.open(QIODevice::ReadOnly)) {
            qWarning("cannot read %s", qPrintable(list));
            return 1;
        }
        const QByteArray bytes = f.readAll();
        dir.write(QStringLiteral("data/Given.CHL"), bytes);
        const double d = MedianMs(runs, [&] { scratch = CipherBytes(bytes); });
        const double l = MedianMs(runs, [&] { tree.channels->LoadList(dir.file(QStringLiteral("data/Given.CHL"))); });
        bench::Report(QStringLiteral("%1: decipher").arg(list), d, QStringLiteral("ms"));
        bench::Report(QStringLiteral("%1: LoadList").arg(list), l, QStringLiteral("ms"));
    }

    // Search All over three lists of 10k channels.
    dir.writeList(QStringLiteral("data/TV.CHL"), tenK);
    dir.writeList(QStringLiteral("data/Fav.CHL"), tenK);
    {
        NoPlayer player;
        TFrmSearch search(global, player);
        search.show();
        search.findChild<QLineEdit *>(QStringLiteral("edtName"))->setText(QStringLiteral("channel 12"));
        search.findChild<QComboBox *>(QStringLiteral("cobChannel"))->setCurrentIndex(3);
        const double all = MedianMs(runs, [&] { search.Button1Click(); });
        bench::Report(QStringLiteral("Search All over 3 x 10k channels (%1 rows)").arg(search.SearchUrls().size()), all,
                      QStringLiteral("ms"), 0, {}, QStringLiteral("target <= 40"));
    }

    // An add to favourites holding 5k channels.
    dir.writeList(QStringLiteral("data/Fav.CHL"), ListMaker::Plain(1, 5000, QStringLiteral("Fav")));
    XmlDocument source;
    source.loadFromBytes(ListMaker::Plain(1, 1));
    FavoritesStore store(global.FavListFile);
    const XmlNode channel = source.documentElement().child(0).child(0);
    const double add = MedianMs(runs, [&] { store.Add(channel); });
    bench::Report(QStringLiteral("add to favourites holding 5k channels"), add, QStringLiteral("ms"), 0, {},
                  QStringLiteral("target <= 50"));

    Prompter::install(nullptr);
    return 0;
}
