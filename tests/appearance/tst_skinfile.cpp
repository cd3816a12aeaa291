#include "TestDirs.h"
#include "appearance/SkinFile.h"

#include <QDir>
#include <QTest>

class tst_SkinFile : public QObject
{
    Q_OBJECT

private slots:
    void shippedSkinsLoad();
    void coloursAreSubstituted();
    void rejectsBrokenFiles_data();
    void rejectsBrokenFiles();
    void missingOrFolderDoesNotLoad();
    void aChangedFileIsReadAgain();
};

void tst_SkinFile::shippedSkinsLoad()
{
    const QDir skins(SourceDir() + QStringLiteral("/resources/skins"));
    const QStringList files = skins.entryList({QStringLiteral("*.ssk")}, QDir::Files);
    QVERIFY(files.size() >= 3);
    QVERIFY(files.contains(QStringLiteral("Silver.ssk")));
    QVERIFY(files.contains(QStringLiteral("Vista1.ssk")));
    for (const QString &f : files) {
        QString error;
        const auto skin = LoadSkinFile(skins.filePath(f), &error);
        QVERIFY2(skin, qPrintable(f + QStringLiteral(": ") + error));
        QVERIFY(!skin->name.isEmpty());
        QVERIFY(!skin->styleSheet.contains(u'@'));
        QVERIFY(skin->styleSheet.contains(QStringLiteral("QMenuBar")));
    }
}

void tst_SkinFile::coloursAreSubstituted()
{
    const auto skin = ParseSkin("; comment\n\n[Zentavo Skin]\nName=T\n[Colors]\nbg=#102030\nbgDark=#000\n"
                                "[Style]\nQWidget { background: @bg; border-color: @bgDark; }\n");
    QVERIFY(skin);
    QCOMPARE(skin->name, QStringLiteral("T"));
    QCOMPARE(skin->styleSheet, QStringLiteral("QWidget { background: #102030; border-color: #000; }"));
}

void tst_SkinFile::rejectsBrokenFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("no header") << QByteArray("[Style]\nQWidget { }\n");
    QTest::newRow("no style") << QByteArray("[Zentavo Skin]\nName=x\n");
    QTest::newRow("empty style") << QByteArray("[Zentavo Skin]\n[Style]\n\n");
    QTest::newRow("unknown colour") << QByteArray("[Zentavo Skin]\n[Style]\nQWidget { color: @nope; }\n");
    QTest::newRow("bad colour value") << QByteArray("[Zentavo Skin]\n[Colors]\na=url(x)\n[Style]\nQWidget{}\n");
    QTest::newRow("open brace") << QByteArray("[Zentavo Skin]\n[Style]\nQWidget { color: red;\n");
    QTest::newRow("close brace first") << QByteArray("[Zentavo Skin]\n[Style]\n} QWidget {\n");
    QTest::newRow("unknown section") << QByteArray("[Zentavo Skin]\n[Images]\n[Style]\nQWidget{}\n");
    QTest::newRow("binary") << QByteArray("[Zentavo Skin]\n\0\1\2[Style]\nQWidget{}", 30);
    QTest::newRow("not utf-8") << QByteArray("[Zentavo Skin]\n[Style]\nQWidget { font-family: \xff\xfe; }\n");
}

void tst_SkinFile::rejectsBrokenFiles()
{
    QFETCH(QByteArray, bytes);
    QString error;
    QVERIFY(!ParseSkin(bytes, &error));
    QVERIFY(!error.isEmpty());
}

void tst_SkinFile::missingOrFolderDoesNotLoad()
{
    TempAppDir dir;
    QVERIFY(!LoadSkinFile(dir.file(QStringLiteral("none.ssk"))));
    QDir().mkpath(dir.file(QStringLiteral("x.ssk")));
    QVERIFY(!LoadSkinFile(dir.file(QStringLiteral("x.ssk"))));
    QByteArray big("[Zentavo Skin]\n[Style]\n");
    big += QByteArray(2 << 20, ' ');
    big += "QWidget{}\n";
    dir.write(QStringLiteral("big.ssk"), big);
    QVERIFY(!LoadSkinFile(dir.file(QStringLiteral("big.ssk"))));
}


void tst_SkinFile::aChangedFileIsReadAgain()
{
    TempAppDir dir;
    const QString path = dir.file(QStringLiteral("Mine.ssk"));
    dir.write(QStringLiteral("Mine.ssk"), "[Zentavo Skin]\n[Colors]\na=#111111\n[Style]\nQWidget { color: @a; }\n");
    QCOMPARE(LoadSkinFile(path)->styleSheet, QStringLiteral("QWidget { color: #111111; }"));
    QCOMPARE(LoadSkinFile(path)->styleSheet, QStringLiteral("QWidget { color: #111111; }"));
    dir.write(QStringLiteral("Mine.ssk"), "[Zentavo Skin]\n[Colors]\na=#222\n[Style]\nQLabel { color: @a; }\n");
    QCOMPARE(LoadSkinFile(path)->styleSheet, QStringLiteral("QLabel { color: #222; }"));
    QFile::remove(path);
    QVERIFY(!LoadSkinFile(path));
}
QTEST_GUILESS_MAIN(tst_SkinFile)
#include "tst_skinfile.moc"
