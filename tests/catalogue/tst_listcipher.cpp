#include "TestDirs.h"
#include "base/Errors.h"
#include "base/SafeFile.h"
#include "catalogue/ListCipher.h"
#include "catalogue/ListDocuments.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTest>

// Keystream of the list cipher computed by an independent implementation.
static const QByteArray kFirst16 = QByteArray::fromHex("a00fb6b2b0710ec5c7b548fdaecb07a2");
static const QByteArray kAround8192 = QByteArray::fromHex("97a575bd484afc5bebec346182545666"); // bytes 8184..8199
static const QByteArray kPlainRc4At8192 = QByteArray::fromHex("2183414b5c041703");
static const QByteArray kAround16384 = QByteArray::fromHex("d3167b7e29c5ea4efba9bf0be290e45f06363995"); // 16380..

class tst_ListCipher : public QObject
{
    Q_OBJECT

private slots:
    void keystreamFollowsBlockRule();
    void processInPiecesIsTheSame();
    void blockBoundaries_data();
    void blockBoundaries();
    void readFailures();
    void writeReplacesWholeOrNotAtAll();
    void listsPastTheLimitAreRefused();
    void shippedCatalogueDeciphers();
    void openListsAreSharedWhileHeld();
};

void tst_ListCipher::keystreamFollowsBlockRule()
{
    const QByteArray ks = CipherBytes(QByteArray(16400, '\0'));
    QCOMPARE(ks.left(16), kFirst16);
    QCOMPARE(ks.mid(8184, 16), kAround8192);
    QVERIFY(ks.mid(8192, 8) != kPlainRc4At8192); // plain RC4 would continue without the reset
    QCOMPARE(ks.mid(16380, 20), kAround16384);
}

void tst_ListCipher::processInPiecesIsTheSame()
{
    QByteArray data(20000, '\0');
    for (int i = 0; i < data.size(); ++i)
        data[i] = char(i * 31 + 7);
    const QByteArray whole = CipherBytes(data);
    ListCipher c;
    QByteArray pieces = data;
    qsizetype at = 0;
    for (qsizetype step : {1, 8190, 3, 1, 8192, 5000, 100000}) {
        const qsizetype n = qMin(step, pieces.size() - at);
        c.process(pieces.data() + at, n);
        at += n;
    }
    QCOMPARE(pieces, whole);
    QCOMPARE(CipherBytes(whole), data);
}

void tst_ListCipher::blockBoundaries_data()
{
    QTest::addColumn<int>("size");
    for (int n : {1, 8191, 8192, 8193, 16384, 16385, 100000})
        QTest::addRow("%d bytes", n) << n;
}

void tst_ListCipher::blockBoundaries()
{
    QFETCH(int, size);
    TempAppDir dir;
    QByteArray plain(size, '\0');
    for (int i = 0; i < size; ++i)
        plain[i] = char('a' + i % 26);
    const QString target = dir.file(QStringLiteral("data/List.CHL"));
    QDir().mkpath(dir.file(QStringLiteral("data")));
    WriteListFile(target, plain);
    const QByteArray enciphered = dir.read(QStringLiteral("data/List.CHL"));
    QCOMPARE(enciphered.size(), size);
    // Same as XOR with the known keystream.
    const QByteArray ks = CipherBytes(QByteArray(size, '\0'));
    for (int i = 0; i < size; i += 997)
        QCOMPARE(char(enciphered[i] ^ ks[i]), plain[i]);
    QCOMPARE(char(enciphered[size - 1] ^ ks[size - 1]), plain[size - 1]);
    QCOMPARE(ReadListFile(target), plain);
    // Deciphered in memory: no plain copy beside the list.
    QCOMPARE(QDir(dir.file(QStringLiteral("data"))).entryList(QDir::Files), QStringList({"List.CHL"}));
}

void tst_ListCipher::readFailures()
{
    TempAppDir dir;
    dir.write(QStringLiteral("Empty.CHL"), QByteArray());
    QCOMPARE(ReadListFile(dir.file(QStringLiteral("Empty.CHL"))), QByteArray());
    QVERIFY_THROWS_EXCEPTION(ZError, ReadListFile(dir.file(QStringLiteral("missing.CHL"))));
    QDir().mkpath(dir.file(QStringLiteral("folder.CHL")));
    QVERIFY_THROWS_EXCEPTION(ZError, ReadListFile(dir.file(QStringLiteral("folder.CHL"))));
}

void tst_ListCipher::writeReplacesWholeOrNotAtAll()
{
    TempAppDir dir;
    const QString fav = dir.file(QStringLiteral("Fav.CHL"));
    QByteArray old(700 * 1024, 'o');
    dir.write(QStringLiteral("Fav.CHL"), old);
    // The disk fills up part-way through the new content: the old file stays whole.
    AtomicWriter::setFaultProbe([](qint64 written) { return written < 300 * 1024; });
    const auto noFault = qScopeGuard([] { AtomicWriter::setFaultProbe({}); });
    try {
        WriteListFile(fav, QByteArray(900 * 1024, 'n'));
        QFAIL("a failed write passed as success");
    } catch (const ZError &e) {
        QCOMPARE(e.message(), QStringLiteral("Unable to write to ") + fav);
    }
    QCOMPARE(dir.read(QStringLiteral("Fav.CHL")), old);
    AtomicWriter::setFaultProbe({});
    // A folder that does not exist.
    QVERIFY_THROWS_EXCEPTION(ZError, WriteListFile(dir.file(QStringLiteral("no/Fav.CHL")), "<a/>"));
    // Success leaves no temporary file beside the target.
    WriteListFile(fav, "<a/>");
    QCOMPARE(ReadListFile(fav), QByteArray("<a/>"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList({"Fav.CHL"}));

    // Written in pieces of any size, it is the same file; a failure part-way leaves the old one.
    const QByteArray plain = NoiseBytes(300 * 1024 + 17);
    {
        ListFileWriter pieces(fav);
        for (qsizetype at = 0, n = 1; at < plain.size(); at += n, n = n * 3 % 100003 + 1)
            pieces.write(QByteArrayView(plain).sliced(at, std::min(n, plain.size() - at)));
        pieces.commit();
    }
    QCOMPARE(dir.read(QStringLiteral("Fav.CHL")), CipherBytes(plain));
    AtomicWriter::setFaultProbe([](qint64 written) { return written < 100 * 1024; });
    try {
        ListFileWriter failing(fav);
        failing.write(QByteArray(200 * 1024, 'x'));
        failing.commit();
        QFAIL("a failed write passed as success");
    } catch (const ZError &) {
    }
    AtomicWriter::setFaultProbe({});
    QCOMPARE(ReadListFile(fav), plain);
}

void tst_ListCipher::listsPastTheLimitAreRefused()
{
    TempAppDir dir;
    const QString big = dir.file(QStringLiteral("Big.CHL"));
    {
        QFile f(big);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.resize(kMaxListFileSize + 1)); // sparse: no disk is filled
    }
    QVERIFY_THROWS_EXCEPTION(ZError, ReadListFile(big));
    // Refused before anything is written: the old file stays.
    dir.write(QStringLiteral("Fav.CHL"), "old");
    QByteArray huge;
    huge.resize(kMaxListFileSize + 1);
    QVERIFY_THROWS_EXCEPTION(ZError, WriteListFile(dir.file(QStringLiteral("Fav.CHL")), huge));
    QCOMPARE(dir.read(QStringLiteral("Fav.CHL")), QByteArray("old"));
}

void tst_ListCipher::shippedCatalogueDeciphers()
{
    for (const char *name : {"tv.xml", "radio.xml", "fav.xml"}) {
        QFile f(SourceDir() + QStringLiteral("/resources/catalogue/") + QLatin1String(name));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray plain = f.readAll();
        QCOMPARE(CipherBytes(CipherBytes(plain)), plain);
        QVERIFY(plain.size() > 8192 || QByteArray(name) == "fav.xml");
    }
}

void tst_ListCipher::openListsAreSharedWhileHeld()
{
    TempAppDir dir;
    const QString path = dir.file(QStringLiteral("L.CHL"));
    const auto list = [](const QByteArray &name) {
        return "<?xml version=\"1.0\"?><ChannelList><" + name + "><Item ChannelName=\"x\"/></" + name +
               "></ChannelList>";
    };
    WriteListFile(path, list("Aaa"));
    auto first = OpenListDocument(path);
    auto again = OpenListDocumentRunningEvents(path);
    QCOMPARE(again.get(), first.get()); // held: read once

    // Replaced by a list of the same size: read again, though someone holds the old one.
    WriteListFile(path, list("Bbb"));
    auto replaced = OpenListDocument(path);
    QVERIFY(replaced.get() != first.get());
    QCOMPARE(replaced->documentElement().child(0).localName(), QStringLiteral("Bbb"));
    QCOMPARE(first->documentElement().child(0).localName(), QStringLiteral("Aaa")); // still whole

    // Released, a list that became unreadable is reported, on a worker too.
    first.reset();
    again.reset();
    replaced.reset();
    QFile damaged(path);
    QVERIFY(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
    damaged.write("no list");
    damaged.close();
    QVERIFY_THROWS_EXCEPTION(ZError, OpenListDocument(path));
    QVERIFY_THROWS_EXCEPTION(ZError, OpenListDocumentRunningEvents(dir.file(QStringLiteral("missing.CHL"))));
}

QTEST_GUILESS_MAIN(tst_ListCipher)
#include "tst_listcipher.moc"
