#include "TestDirs.h"
#include "catalogue/ListCipher.h"

#include <QDir>
#include <QFile>
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
    void emptyFileGivesEmptyWorkingCopy();
    void decipherReplacesOldWorkingCopy();
    void decipherFailures();
    void encipherReplacesWholeOrNotAtAll();
    void shippedCatalogueDeciphers();
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
    dir.write(QStringLiteral("plain.xml"), plain);
    const QString target = dir.file(QStringLiteral("data/List.CHL"));
    QDir().mkpath(dir.file(QStringLiteral("data")));
    QCOMPARE(EncipherListFile(dir.file(QStringLiteral("plain.xml")), target), target);
    const QByteArray enciphered = dir.read(QStringLiteral("data/List.CHL"));
    QCOMPARE(enciphered.size(), size);
    // Same as XOR with the known keystream.
    const QByteArray ks = CipherBytes(QByteArray(size, '\0'));
    for (int i = 0; i < size; i += 997)
        QCOMPARE(char(enciphered[i] ^ ks[i]), plain[i]);
    QCOMPARE(char(enciphered[size - 1] ^ ks[size - 1]), plain[size - 1]);
    const QString work = DecipherListFile(target);
    QCOMPARE(work, target + QStringLiteral("~temp"));
    QCOMPARE(dir.read(QStringLiteral("data/List.CHL~temp")), plain);
}

void tst_ListCipher::emptyFileGivesEmptyWorkingCopy()
{
    TempAppDir dir;
    dir.write(QStringLiteral("Empty.CHL"), QByteArray());
    const QString work = DecipherListFile(dir.file(QStringLiteral("Empty.CHL")));
    QCOMPARE(work, dir.file(QStringLiteral("Empty.CHL~temp")));
    QVERIFY(QFile::exists(work));
    QCOMPARE(QFileInfo(work).size(), 0);
}

void tst_ListCipher::decipherReplacesOldWorkingCopy()
{
    TempAppDir dir;
    dir.write(QStringLiteral("Fav.CHL"), CipherBytes("<new/>"));
    dir.write(QStringLiteral("Fav.CHL~temp"), "an older, longer working copy that must go");
    DecipherListFile(dir.file(QStringLiteral("Fav.CHL")));
    QCOMPARE(dir.read(QStringLiteral("Fav.CHL~temp")), QByteArray("<new/>"));
}

void tst_ListCipher::decipherFailures()
{
    TempAppDir dir;
    QCOMPARE(DecipherListFile(dir.file(QStringLiteral("missing.CHL"))), QString());
    QVERIFY(!QFile::exists(dir.file(QStringLiteral("missing.CHL~temp"))));
    QDir().mkpath(dir.file(QStringLiteral("folder.CHL")));
    QCOMPARE(DecipherListFile(dir.file(QStringLiteral("folder.CHL"))), QString());
    // A working copy that cannot be replaced (a folder in its place).
    dir.write(QStringLiteral("x.CHL"), "abc");
    QDir().mkpath(dir.file(QStringLiteral("x.CHL~temp/inner")));
    QCOMPARE(DecipherListFile(dir.file(QStringLiteral("x.CHL"))), QString());
}

void tst_ListCipher::encipherReplacesWholeOrNotAtAll()
{
    TempAppDir dir;
    dir.write(QStringLiteral("Fav.CHL"), "old content");
    // Source missing: the target keeps its content.
    QCOMPARE(EncipherListFile(dir.file(QStringLiteral("none.xml")), dir.file(QStringLiteral("Fav.CHL"))), QString());
    QCOMPARE(dir.read(QStringLiteral("Fav.CHL")), QByteArray("old content"));
    // Source unreadable part-way (a folder): same.
    QDir().mkpath(dir.file(QStringLiteral("dir.xml")));
    QCOMPARE(EncipherListFile(dir.file(QStringLiteral("dir.xml")), dir.file(QStringLiteral("Fav.CHL"))), QString());
    QCOMPARE(dir.read(QStringLiteral("Fav.CHL")), QByteArray("old content"));
    // Target folder missing.
    dir.write(QStringLiteral("plain.xml"), "<a/>");
    QCOMPARE(EncipherListFile(dir.file(QStringLiteral("plain.xml")), dir.file(QStringLiteral("no/Fav.CHL"))),
             QString());
    // Success leaves no temporary file beside the target and keeps the source.
    QCOMPARE(EncipherListFile(dir.file(QStringLiteral("plain.xml")), dir.file(QStringLiteral("Fav.CHL"))),
             dir.file(QStringLiteral("Fav.CHL")));
    QCOMPARE(CipherBytes(dir.read(QStringLiteral("Fav.CHL"))), QByteArray("<a/>"));
    QVERIFY(QFile::exists(dir.file(QStringLiteral("plain.xml"))));
    QDir d(dir.path());
    QCOMPARE(d.entryList(QDir::Files).size(), 2);
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

QTEST_GUILESS_MAIN(tst_ListCipher)
#include "tst_listcipher.moc"
