// The catalogue Zentavo ships: each list holds what its name says.
#include "TestDirs.h"
#include "catalogue/XmlDocument.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

namespace {

struct Entry
{
    QString group, name, type, id;
};

QList<Entry> entries(const QString &file)
{
    QFile f(SourceDir() + QStringLiteral("/resources/catalogue/") + file);
    if (!f.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(file));
    XmlDocument doc;
    doc.loadFromBytes(f.readAll());
    QList<Entry> out;
    for (const XmlNode &group : doc.documentElement().childNodes()) {
        for (const XmlNode &item : group.childNodes())
            out.append({group.localName(), item.text("ChannelName"), item.text("Ty"), item.text("ID")});
    }
    return out;
}

} // namespace

class tst_ShippedLists : public QObject
{
    Q_OBJECT

private slots:
    void eachListHoldsItsKind_data();
    void eachListHoldsItsKind();
};

void tst_ShippedLists::eachListHoldsItsKind_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("type");
    QTest::newRow("tv") << QStringLiteral("tv.xml") << QStringLiteral("1");
    QTest::newRow("radio") << QStringLiteral("radio.xml") << QStringLiteral("2");
}

void tst_ShippedLists::eachListHoldsItsKind()
{
    QFETCH(QString, file);
    QFETCH(QString, type);
    const QList<Entry> list = entries(file);
    QVERIFY(list.size() > 100);
    QSet<QString> ids;
    // A station that says it is radio ("Radio 2", "Hitradio O3", "DASDING 90.8") is no TV channel;
    // a TV channel of a radio's brand says so ("Deejay TV", "RADIO DISCOunt TV").
    static const QRegularExpression radioWord(QStringLiteral("radio|\\bFM\\b"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression frequency(QStringLiteral("\\b(\\d{2,3}[.,]\\d)\\b"));
    static const QRegularExpression tvName(QStringLiteral("\\bTV\\b"), QRegularExpression::CaseInsensitiveOption);
    const auto soundsLikeRadio = [](const QString &name) {
        if (radioWord.match(name).hasMatch())
            return true;
        const QRegularExpressionMatch m = frequency.match(name);
        const double mhz = m.hasMatch() ? m.captured(1).replace(u',', u'.').toDouble() : 0;
        return mhz >= 87.5 && mhz <= 108.0; // an FM frequency
    };
    for (const Entry &e : list) {
        const QString where = e.group + u'/' + e.name;
        QVERIFY2(e.type == type, qPrintable(where));
        QVERIFY2(!ids.contains(e.id), qPrintable(where + QStringLiteral(": ID used twice")));
        ids.insert(e.id);
        if (type == u"1")
            QVERIFY2(!soundsLikeRadio(e.name) || tvName.match(e.name).hasMatch(), qPrintable(where));
    }
}

QTEST_GUILESS_MAIN(tst_ShippedLists)
#include "tst_shippedlists.moc"
