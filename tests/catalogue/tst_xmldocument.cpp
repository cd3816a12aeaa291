#include "TestDirs.h"
#include "catalogue/XmlDocument.h"
#include "base/Errors.h"

#include <QStringDecoder>
#include <QTest>

class tst_XmlDocument : public QObject
{
    Q_OBJECT

private slots:
    void missingAttributeToldApartFromEmpty();
    void childrenAreElementsInOrder();
    void editAndSave();
    void keepsDeclaredEncoding_data();
    void keepsDeclaredEncoding();
    void singleByteEncodingsKeepEveryCharacter();
    void otherEncodingsLoad_data();
    void otherEncodingsLoad();
    void addsDeclarationWhenMissing();
    void refusesEncodingsItCannotKeep_data();
    void refusesEncodingsItCannotKeep();
    void refusesMalformed_data();
    void refusesMalformed();
    void deepNestingDoesNotCrash();
    void fileErrors();
};

void tst_XmlDocument::missingAttributeToldApartFromEmpty()
{
    XmlDocument doc;
    doc.loadFromBytes("<r><g><Item ChannelName=\"A\" T=\"\"/></g></r>");
    const XmlNode item = doc.documentElement().child(0).child(0);
    QCOMPARE(item.attribute("T"), std::optional<QString>(QString()));
    QVERIFY(!item.attribute("ID").has_value());
    QCOMPARE(item.text("T"), QString());
    QVERIFY_THROWS_EXCEPTION(ZError, item.text("ID"));
    QCOMPARE(item.text("ChannelName"), QStringLiteral("A"));
}

void tst_XmlDocument::childrenAreElementsInOrder()
{
    XmlDocument doc;
    doc.loadFromBytes("<?xml version=\"1.0\"?>\n<!-- top -->\n<tv:r xmlns:tv=\"urn:x\">\n  <News>\n <!-- c -->\n"
                      "  <Item a=\"1\"/> text <Item a=\"2\"/><?pi x?><Item a=\"3\"/></News><Sports/></tv:r>");
    const XmlNode root = doc.documentElement();
    QCOMPARE(root.localName(), QStringLiteral("r"));
    QCOMPARE(root.childCount(), 2);
    const XmlNode news = root.child(0);
    QCOMPARE(news.localName(), QStringLiteral("News"));
    QCOMPARE(news.childCount(), 3);
    QStringList values;
    for (const XmlNode &n : news.childNodes())
        values.append(*n.attribute("a"));
    QCOMPARE(values, QStringList({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}));
    QCOMPARE(*news.child(2).attribute("a"), QStringLiteral("3"));
    QVERIFY(news.child(3).isNull());
    QVERIFY(news.child(-1).isNull());
    QCOMPARE(root.child(1).childCount(), 0);
}

void tst_XmlDocument::editAndSave()
{
    TempAppDir dir;
    dir.write(QStringLiteral("in.xml"), "<r><g><Item a=\"1\"/><Item a=\"2\"/></g></r>");
    XmlDocument doc;
    doc.setFileName(dir.file(QStringLiteral("in.xml")));
    doc.open();
    XmlNode g = doc.documentElement().child(0);
    XmlNode added = g.appendChild(QStringLiteral("Item"));
    added.setAttribute("ChannelName", QStringLiteral("Ünï & <co> \"q\""));
    added.setAttribute("URL", QString());
    QVERIFY(g.deleteChild(0));
    QVERIFY(!g.deleteChild(5));
    doc.save(dir.file(QStringLiteral("out.xml")));
    doc.close();
    QVERIFY(!doc.isActive());
    QVERIFY_THROWS_EXCEPTION(ZError, doc.documentElement());

    XmlDocument again;
    again.setFileName(dir.file(QStringLiteral("out.xml")));
    again.open();
    const XmlNode g2 = again.documentElement().child(0);
    QCOMPARE(g2.childCount(), 2);
    QCOMPARE(*g2.child(0).attribute("a"), QStringLiteral("2"));
    QCOMPARE(*g2.child(1).attribute("ChannelName"), QStringLiteral("Ünï & <co> \"q\""));
    QCOMPARE(g2.child(1).attributes().size(), 2);
    QCOMPARE(g2.child(1).attributes().at(0).first, QStringLiteral("ChannelName"));
}

void tst_XmlDocument::keepsDeclaredEncoding_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("encoding");
    QTest::addColumn<QByteArray>("declared");
    const QString text = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?><r><g><Item n=\"Tōkyō\"/></g></r>");
    QByteArray utf16("\xFF\xFE", 2);
    utf16 += QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    QTest::newRow("utf-16 with BOM") << utf16 << int(XmlDocument::Encoding::Utf16) << QByteArray("UTF-16");
    QTest::newRow("utf-8") << QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?><r><g><Item n=\"Tōkyō\"/></g></r>")
                           << int(XmlDocument::Encoding::Utf8) << QByteArray("utf-8");
    QTest::newRow("latin-1")
        << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r><g><Item n=\"Caf\xe9\"/></g></r>")
        << int(XmlDocument::Encoding::Latin1) << QByteArray("ISO-8859-1");
}

void tst_XmlDocument::keepsDeclaredEncoding()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, encoding);
    QFETCH(QByteArray, declared);
    XmlDocument doc;
    doc.loadFromBytes(bytes);
    QCOMPARE(int(doc.encoding()), encoding);
    const QString before = *doc.documentElement().child(0).child(0).attribute("n");
    doc.documentElement().child(0).appendChild(QStringLiteral("Item")).setAttribute("n", QStringLiteral("é"));
    const QByteArray saved = doc.saveToBytes();
    QString savedText;
    if (encoding == int(XmlDocument::Encoding::Utf16)) {
        QVERIFY(saved.startsWith("\xFF\xFE"));
        savedText = QStringDecoder(QStringDecoder::Utf16LE)(saved.mid(2));
    } else if (encoding == int(XmlDocument::Encoding::Latin1)) {
        savedText = QString::fromLatin1(saved);
        QVERIFY(saved.contains("\xe9"));
    } else {
        savedText = QString::fromUtf8(saved);
    }
    QVERIFY2(savedText.startsWith(QStringLiteral("<?xml version=\"1.0\" encoding=\"") + QString::fromLatin1(declared)),
             qPrintable(savedText.left(60)));
    XmlDocument again;
    again.loadFromBytes(saved);
    QCOMPARE(*again.documentElement().child(0).child(0).attribute("n"), before);
    QCOMPARE(*again.documentElement().child(0).child(1).attribute("n"), QStringLiteral("é"));
}

void tst_XmlDocument::singleByteEncodingsKeepEveryCharacter()
{
    for (const QByteArray &enc : {QByteArray("ISO-8859-1"), QByteArray("US-ASCII")}) {
        XmlDocument doc;
        doc.loadFromBytes("<?xml version=\"1.0\" encoding=\"" + enc + "\"?><r><g/></r>");
        doc.documentElement()
            .child(0)
            .appendChild(QStringLiteral("Item"))
            .setAttribute("n", QStringLiteral("Россия 🎬 é"));
        const QByteArray saved = doc.saveToBytes();
        for (char c : saved)
            QVERIFY(enc == "ISO-8859-1" || uchar(c) < 0x80);
        XmlDocument again;
        again.loadFromBytes(saved);
        QCOMPARE(*again.documentElement().child(0).child(0).attribute("n"), QStringLiteral("Россия 🎬 é"));
    }
}

void tst_XmlDocument::otherEncodingsLoad_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const auto wide = [](const QString &text, bool bigEndian) {
        QByteArray out;
        for (QChar c : text) {
            const char hi = char(c.unicode() >> 8), lo = char(c.unicode() & 0xFF);
            out += bigEndian ? QByteArray{&hi, 1} + QByteArray{&lo, 1} : QByteArray{&lo, 1} + QByteArray{&hi, 1};
        }
        return out;
    };
    const QString doc = QStringLiteral("<r><g><Item n=\"Café €\"/></g></r>");
    const QString declared = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?>") + doc;
    QTest::newRow("windows-1252")
        << QByteArray("<?xml version=\"1.0\" encoding=\"windows-1252\"?><r><g><Item n=\"Caf\xe9 \x80\"/></g></r>");
    QTest::newRow("ISO-8859-15")
        << QByteArray("<?xml version='1.0' encoding='ISO-8859-15'?>\n<r><g><Item n=\"Caf\xe9 \xa4\"/></g></r>");
    QTest::newRow("utf-16le without BOM") << wide(declared, false);
    QTest::newRow("utf-16be without BOM") << wide(declared, true);
    QTest::newRow("utf-16le, no BOM, no declaration") << wide(doc, false);
    QTest::newRow("utf-16be, no BOM, blank line first") << wide(QStringLiteral("\r\n") + declared, true);
    QTest::newRow("utf-16le, no BOM, spaces first") << wide(QStringLiteral("  ") + doc, false);
}

void tst_XmlDocument::otherEncodingsLoad()
{
    QFETCH(QByteArray, bytes);
    XmlDocument doc;
    doc.loadFromBytes(bytes);
    QCOMPARE(*doc.documentElement().child(0).child(0).attribute("n"), QStringLiteral("Café €"));
    // Saved, the document says what it holds, and reads back the same.
    XmlDocument again;
    again.loadFromBytes(doc.saveToBytes());
    QCOMPARE(*again.documentElement().child(0).child(0).attribute("n"), QStringLiteral("Café €"));
}

void tst_XmlDocument::addsDeclarationWhenMissing()
{
    XmlDocument doc;
    doc.loadFromBytes("<r><g/></r>");
    const QByteArray saved = doc.saveToBytes();
    QVERIFY(saved.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
}

void tst_XmlDocument::refusesEncodingsItCannotKeep_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("unknown charset") << QByteArray("<?xml version=\"1.0\" encoding=\"x-no-such-charset\"?><r/>");
    QTest::newRow("utf-16 declared on 8-bit text") << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-16\"?><r/>");
}

void tst_XmlDocument::refusesEncodingsItCannotKeep()
{
    QFETCH(QByteArray, bytes);
    XmlDocument doc;
    QVERIFY_THROWS_EXCEPTION(ZError, doc.loadFromBytes(bytes));
    QVERIFY(!doc.isActive());
}

void tst_XmlDocument::refusesMalformed_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("blank") << QByteArray("  \n ");
    QTest::newRow("truncated") << QByteArray("<r><g><Item a=\"1\"/></g>");
    QTest::newRow("mismatched") << QByteArray("<r><g></r></g>");
    QTest::newRow("two roots") << QByteArray("<r/><s/>");
    QTest::newRow("text only") << QByteArray("hello");
    QTest::newRow("binary") << QByteArray("\x01\x02\x80\xff<\x00", 6);
    QTest::newRow("unquoted attribute") << QByteArray("<r a=1/>");
}

void tst_XmlDocument::refusesMalformed()
{
    QFETCH(QByteArray, bytes);
    XmlDocument doc;
    QVERIFY_THROWS_EXCEPTION(ZError, doc.loadFromBytes(bytes));
    QVERIFY(!doc.isActive());
}

void tst_XmlDocument::deepNestingDoesNotCrash()
{
    const int depth = 200000;
    QByteArray bytes;
    bytes.reserve(depth * 7);
    for (int i = 0; i < depth; ++i)
        bytes += "<a>";
    for (int i = 0; i < depth; ++i)
        bytes += "</a>";
    XmlDocument doc;
    doc.loadFromBytes(bytes);
    QCOMPARE(doc.documentElement().childCount(), 1);
    QVERIFY(doc.saveToBytes().size() > depth);
    doc.close();
}

void tst_XmlDocument::fileErrors()
{
    TempAppDir dir;
    XmlDocument doc;
    QVERIFY_THROWS_EXCEPTION(ZError, doc.open()); // no file name
    doc.setFileName(dir.file(QStringLiteral("none.xml")));
    QVERIFY_THROWS_EXCEPTION(ZError, doc.open());
    dir.write(QStringLiteral("ok.xml"), "<r/>");
    doc.setFileName(dir.file(QStringLiteral("ok.xml")));
    doc.open();
    QVERIFY_THROWS_EXCEPTION(ZError, doc.save(dir.file(QStringLiteral("no/such/dir.xml"))));
}

QTEST_GUILESS_MAIN(tst_XmlDocument)
#include "tst_xmldocument.moc"
