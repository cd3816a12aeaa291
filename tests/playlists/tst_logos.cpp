#include "TestDirs.h"
#include "TestHttpServer.h"
#include "UiDriver.h"
#include "base/pGloba.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/ListCipher.h"
#include "playlists/LogoCache.h"
#include "playlists/LogoIcons.h"
#include "playlists/PlaylistList.h"
#include "playlists/PlaylistReader.h"
#include "shell/U_frm_Main.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

namespace {

QByteArray png(const QSize &size, const QColor &colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QByteArray imageReply(const QByteArray &body)
{
    return HttpReply(200, "OK", body, "Content-Type: image/png\r\n");
}

} // namespace

class tst_Logos : public QObject
{
    Q_OBJECT

private slots:
    void fetchesAtMostSixAtATimeAndStoresThemSmall();
    void aFailingAddressRestsForADay();
    void theFolderStaysUnderItsLimitOldestFirst();
    void onlyRowsOnScreenAskForLogos();
    void svgLogosReadNoLocalFiles();
    void hostileServersGiveNoLogo();
};

void tst_Logos::fetchesAtMostSixAtATimeAndStoresThemSmall()
{
    TestHttpServer http;
    for (int i = 0; i < 20; ++i) {
        TestHttpServer::Reply r;
        r.raw = imageReply(png(QSize(600, 300), Qt::red));
        r.delayMs = 150;
        http.script(QStringLiteral("/logo%1.png").arg(i), r);
    }
    QTemporaryDir dir;
    LogoCache cache(dir.path());
    QSignalSpy ready(&cache, &LogoCache::ready);
    for (int i = 0; i < 20; ++i)
        cache.request(http.url(QStringLiteral("/logo%1.png").arg(i)));
    cache.request(http.url(QStringLiteral("/logo0.png"))); // asked twice, fetched once
    QTRY_COMPARE_WITH_TIMEOUT(ready.size(), 20, 15000);
    QCOMPARE(cache.highestRunning(), LogoCache::kMaxConcurrent);
    QCOMPARE(http.requestsFor("/logo0.png"), 1);

    const QString address = http.url(QStringLiteral("/logo3.png"));
    QVERIFY(cache.has(address));
    QVERIFY(!cache.fileFor(address).contains(QStringLiteral("logo3"))); // a hashed name
    const QImage stored(cache.fileFor(address));
    QCOMPARE(stored.size(), QSize(256, 128));
    QCOMPARE(stored.pixelColor(10, 10), QColor(Qt::red));

    // What is there is not fetched again, by this cache or the next.
    LogoCache again(dir.path());
    again.request(address);
    QCOMPARE(again.running(), 0);
}

void tst_Logos::svgLogosReadNoLocalFiles()
{
    QTemporaryDir dir;
    QFile secret(dir.filePath(QStringLiteral("secret.png")));
    QVERIFY(secret.open(QIODevice::WriteOnly));
    secret.write(png(QSize(64, 64), Qt::red));
    secret.close();
    const QByteArray open = "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
                            "width=\"64\" height=\"64\">";
    TestHttpServer http;
    const auto svg = [](const QByteArray &body) {
        return HttpReply(200, "OK", body, "Content-Type: image/svg+xml\r\n");
    };
    http.script(QStringLiteral("/own.svg"), svg(open + "<rect width=\"64\" height=\"64\" fill=\"#00f\"/></svg>"));
    http.script(QStringLiteral("/image.svg"), svg(open + "<image xlink:href=\"" + secret.fileName().toUtf8() +
                                                  "\" width=\"64\" height=\"64\"/></svg>"));
    http.script(QStringLiteral("/style.svg"), svg(open + "<rect width=\"64\" height=\"64\" style=\"fill:url(file://" +
                                                  secret.fileName().toUtf8() + ")\"/></svg>"));
    QTemporaryDir cacheDir;
    LogoCache cache(cacheDir.path());
    QSignalSpy ready(&cache, &LogoCache::ready);
    QSignalSpy failed(&cache, &LogoCache::failed);
    for (const char *path : {"/own.svg", "/image.svg", "/style.svg"})
        cache.request(http.url(QString::fromLatin1(path)));
    QTRY_COMPARE_WITH_TIMEOUT(ready.size() + failed.size(), 3, 10000);
    QCOMPARE(ready.size(), 1);
    const QImage own(cache.fileFor(http.url(QStringLiteral("/own.svg"))));
    QCOMPARE(own.pixelColor(10, 10), QColor(Qt::blue));
    QVERIFY(!cache.has(http.url(QStringLiteral("/image.svg"))));
    QVERIFY(!cache.has(http.url(QStringLiteral("/style.svg"))));
}

void tst_Logos::hostileServersGiveNoLogo()
{
    TestHttpServer http;
    http.script(QStringLiteral("/headers.png"), EndlessHeaders());
    TestHttpServer::Reply big;
    big.raw = "HTTP/1.0 200 OK\r\nContent-Type: image/png\r\n\r\n" + png(QSize(8, 8), Qt::red);
    big.pieces = QList<QByteArray>(6, QByteArray(1 << 20, 'x')); // past the 4 MiB a logo may have
    http.script(QStringLiteral("/big.png"), big);
    QTemporaryDir dir;
    LogoCache cache(dir.path());
    QSignalSpy failed(&cache, &LogoCache::failed);
    cache.request(http.url(QStringLiteral("/headers.png")));
    cache.request(http.url(QStringLiteral("/big.png")));
    QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 2, 10000);
    QCOMPARE(cache.running(), 0);
}

void tst_Logos::aFailingAddressRestsForADay()
{
    TestHttpServer http;
    http.script(QStringLiteral("/gone.png"), HttpReply(404, "Not Found", "no"));
    http.script(QStringLiteral("/page.png"), HttpReply(200, "OK", "<html>not a picture</html>"));
    QTemporaryDir dir;
    const QString gone = http.url(QStringLiteral("/gone.png"));
    const QString page = http.url(QStringLiteral("/page.png"));
    {
        LogoCache cache(dir.path());
        QSignalSpy failed(&cache, &LogoCache::failed);
        cache.request(gone);
        cache.request(page);
        QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 2, 10000);
        QVERIFY(!cache.has(page));
        cache.request(gone);
        QCOMPARE(cache.running(), 0);
    } // remembered when the cache goes
    {
        LogoCache cache(dir.path());
        cache.request(gone);
        QCOMPARE(cache.running(), 0);
    }
    QCOMPARE(http.requestsFor("/gone.png"), 1);

    // A day later it is asked again.
    QFile file(dir.filePath(QStringLiteral("failures.json")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QJsonObject failures = QJsonDocument::fromJson(file.readAll()).object();
    file.close();
    QCOMPARE(failures.size(), 2);
    for (auto it = failures.begin(); it != failures.end(); ++it)
        it.value() = it.value().toDouble() - 24 * 60 * 60 - 1;
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QJsonDocument(failures).toJson());
    file.close();
    LogoCache later(dir.path());
    QSignalSpy failed(&later, &LogoCache::failed);
    later.request(gone);
    QVERIFY(failed.wait(10000));
    QCOMPARE(http.requestsFor("/gone.png"), 2);
}

void tst_Logos::theFolderStaysUnderItsLimitOldestFirst()
{
    TestHttpServer http;
    const QByteArray noise = png(QSize(200, 200), Qt::blue);
    http.script(QStringLiteral("/new.png"), imageReply(noise));
    QTemporaryDir dir;
    // Ten old logos of 10 KiB, the oldest first.
    const QDateTime now = QDateTime::currentDateTime();
    for (int i = 0; i < 10; ++i) {
        QFile f(dir.filePath(QStringLiteral("old%1.png").arg(i)));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(10 * 1024, 'x'));
        f.flush();
        f.setFileTime(now.addDays(-20 + i), QFileDevice::FileModificationTime);
    }
    LogoCache cache(dir.path());
    cache.setLimit(60 * 1024);
    QSignalSpy ready(&cache, &LogoCache::ready);
    cache.request(http.url(QStringLiteral("/new.png")));
    QVERIFY(ready.wait(10000));
    cache.waitForWorker();
    QStringList left = QDir(dir.path()).entryList({QStringLiteral("old*.png")}, QDir::Files, QDir::Name);
    // Down to nine tenths of the limit: the oldest went, the newest stayed.
    QVERIFY2(left.size() >= 4 && left.size() <= 5, qPrintable(left.join(u',')));
    QCOMPARE(left.last(), QStringLiteral("old9.png"));
    QVERIFY(!left.contains(QStringLiteral("old0.png")));
    QVERIFY(cache.has(http.url(QStringLiteral("/new.png"))));
}

void tst_Logos::onlyRowsOnScreenAskForLogos()
{
    TestHttpServer http;
    QByteArray m3u = "#EXTM3U\n";
    for (int i = 0; i < 400; ++i) {
        const QByteArray n = QByteArray::number(i);
        http.script(QStringLiteral("/l%1.png").arg(i), imageReply(png(QSize(32, 32), Qt::red)));
        m3u += "#EXTINF:-1 tvg-logo=\"" + http.url(QStringLiteral("/l%1.png").arg(i)).toUtf8() + "\",Channel " + n +
               "\nhttp://127.0.0.1:9/" + n + "\n";
    }
    TempAppDir dir;
    dir.installCatalogue();
    TGlobal global(dir.path());
    Tfrm_Main w(global);
    ShowWithFirstList(w);
    const QString file = dir.file(QStringLiteral("data/logos.CHL"));
    WriteListFile(file, ChannelListOf(ReadPlaylist(m3u), 1, QStringLiteral("All")).xml);
    w.channelTree()->showPlaylist(file);
    auto *tree = child<QTreeWidget>(w, "treChannle");
    QTRY_COMPARE(tree->topLevelItemCount(), 1);
    tree->topLevelItem(0)->setExpanded(true);

    const auto isLogo = [](const QTreeWidgetItem *item) {
        const QImage icon = item->icon(0).pixmap(16, 16).toImage();
        return !icon.isNull() && icon.pixelColor(8, 8) == QColor(Qt::red);
    };
    QTreeWidgetItem *first = tree->topLevelItem(0)->child(0);
    QTRY_VERIFY_WITH_TIMEOUT(isLogo(first), 10000);
    const int onScreen = tree->viewport()->height() / tree->visualItemRect(first).height() + 2;
    QTest::qWait(200);
    QVERIFY2(http.requests().size() <= onScreen, qPrintable(QString::number(http.requests().size())));
    QVERIFY(!isLogo(tree->topLevelItem(0)->child(300)));

    // Straight to the end: the last rows get theirs, the rows passed over ask for nothing.
    QScrollBar *bar = tree->verticalScrollBar();
    bar->setValue(bar->maximum());
    QTreeWidgetItem *last = tree->topLevelItem(0)->child(399);
    QTRY_VERIFY_WITH_TIMEOUT(isLogo(last), 10000);
    QTest::qWait(200);
    QVERIFY2(http.requests().size() <= 2 * onScreen, qPrintable(QString::number(http.requests().size())));
    QVERIFY(!isLogo(tree->topLevelItem(0)->child(200)));

    // Paged through from the top, the rows that scrolled away go back to their plain icon.
    bar->setValue(0);
    while (bar->value() < bar->maximum()) {
        bar->setValue(bar->value() + bar->pageStep());
        // Each page gets its logos before the next (a slow machine would otherwise page past
        // rows that never had theirs, and nothing would need to go back).
        QTreeWidgetItem *bottom = tree->itemAt(QPoint(5, tree->viewport()->height() - 5));
        QTRY_VERIFY_WITH_TIMEOUT(!bottom || isLogo(bottom), 10000);
    }
    QTRY_VERIFY(isLogo(last));
    QVERIFY(w.logoIcons()->decoratedRows() <= LogoIcons::kKeepOffScreen + onScreen);
    QVERIFY(!isLogo(first));
}

QTEST_MAIN(tst_Logos)
#include "tst_logos.moc"
