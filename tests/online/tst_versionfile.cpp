#include "online/VersionFile.h"

#include <QTest>

class tst_VersionFile : public QObject
{
    Q_OBJECT

private slots:
    void lines_data();
    void lines();
    void numbers_data();
    void numbers();
};

void tst_VersionFile::lines_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("empty") << QByteArray() << QStringList();
    QTest::newRow("one line") << QByteArray("12") << QStringList({"12"});
    QTest::newRow("one line with break") << QByteArray("12\r\n") << QStringList({"12"});
    QTest::newRow("crlf") << QByteArray("12\r\n5.3\r\n") << QStringList({"12", "5.3"});
    QTest::newRow("cr") << QByteArray("12\r5.3") << QStringList({"12", "5.3"});
    QTest::newRow("lf") << QByteArray("12\n5.3\nmore\n") << QStringList({"12", "5.3", "more"});
    QTest::newRow("empty second line") << QByteArray("12\r\n\r\n") << QStringList({"12", ""});
}

void tst_VersionFile::lines()
{
    QFETCH(QByteArray, content);
    QTEST(VersionLines(content), "expected");
}

void tst_VersionFile::numbers_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("value"); // -999: no number
    QTest::newRow("plain") << QStringLiteral("4") << 4;
    QTest::newRow("leading blanks") << QStringLiteral("  \t17") << 17;
    QTest::newRow("trailing blank") << QStringLiteral("17 ") << -999;
    QTest::newRow("text after") << QStringLiteral("17a") << -999;
    QTest::newRow("text") << QStringLiteral("new") << -999;
    QTest::newRow("empty") << QString() << -999;
    QTest::newRow("decimal") << QStringLiteral("5.3") << -999;
    QTest::newRow("negative") << QStringLiteral("-2") << -2;
}

void tst_VersionFile::numbers()
{
    QFETCH(QString, line);
    QFETCH(int, value);
    QCOMPARE(VersionNumber(line).value_or(-999), value);
}

QTEST_GUILESS_MAIN(tst_VersionFile)
#include "tst_versionfile.moc"
