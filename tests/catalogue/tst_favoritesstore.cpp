#include "ListMaker.h"
#include "TestDirs.h"
#include "base/Errors.h"
#include "base/SafeFile.h"
#include "catalogue/FavoritesStore.h"
#include "catalogue/ListCipher.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>
#include <QThread>

using ListMaker::Document;
using ListMaker::Item;

namespace {

struct Favs
{
    TempAppDir dir;
    QString file() const { return dir.file(QStringLiteral("data/Fav.CHL")); }
    void write(const QByteArray &xml) const { dir.writeList(QStringLiteral("data/Fav.CHL"), xml); }
    QByteArray raw() const { return dir.read(QStringLiteral("data/Fav.CHL")); }
    // Channel names per group, read back from the enciphered file.
    QList<QStringList> groups() const
    {
        XmlDocument doc;
        doc.loadFromBytes(CipherBytes(raw()));
        QList<QStringList> out;
        for (const XmlNode &g : doc.documentElement().childNodes()) {
            QStringList names;
            for (const XmlNode &c : g.childNodes())
                names.append(c.attribute("ChannelName").value_or(QStringLiteral("?")));
            out.append(names);
        }
        return out;
    }
    XmlNode element(XmlDocument &doc, int g, int c) const
    {
        doc.loadFromBytes(CipherBytes(raw()));
        return doc.documentElement().child(g).child(c);
    }
};

QByteArray twoGroups()
{
    return Document({{QStringLiteral("My_Favorites"), Item(QStringLiteral("A"), QStringLiteral("http://a")) +
                                                          Item(QStringLiteral("B"), QStringLiteral("http://b")) +
                                                          Item(QStringLiteral("C"), QStringLiteral("http://c"))},
                     {QStringLiteral("More"), Item(QStringLiteral("D"), QStringLiteral("http://d")) +
                                                  Item(QStringLiteral("E"), QStringLiteral("http://e"))}});
}

} // namespace

class tst_FavoritesStore : public QObject
{
    Q_OBJECT

private slots:
    void addCopiesAttributesToFirstGroup();
    void addTwiceGivesTwoCopies();
    void addLeavesMissingAttributesOut();
    void deleteByPosition();
    void deleteInAnotherGroupTouchesOnlyThatOne();
    void deleteRefusesWhenFileChanged();
    void deleteOnlyFavouriteKeepsGroup();
    void rewriteKeepsIdTypeAndI();
    void addNewWritesAllTenAttributes();
    void engineNumber();
    void failuresLeaveFileUnchanged_data();
    void failuresLeaveFileUnchanged();
    void encipherFailureIsReported();
    void noWorkingCopyIsNeeded();
    void twoProcessesAddingLoseNothing();
    void backup();
    void backupToSameFileCopiesNothing();
    void backupFailureIsReported();
    void restoreAcceptsChannelLists();
    void restoreRefusesOtherFiles_data();
    void restoreRefusesOtherFiles();
};

void tst_FavoritesStore::addCopiesAttributesToFirstGroup()
{
    Favs f;
    f.write(twoGroups());
    XmlDocument src;
    src.loadFromBytes(
        Document({{QStringLiteral("TV"), Item(QStringLiteral("Euro News"), QStringLiteral("http://en"), 1,
                                              QStringLiteral("300"), QStringLiteral("News"), QStringLiteral("77"))}}));
    FavoritesStore store(f.file());
    store.Add(src.documentElement().child(0).child(0));
    QCOMPARE(f.groups(), (QList<QStringList>{{"A", "B", "C", "Euro News"}, {"D", "E"}}));
    XmlDocument doc;
    const XmlNode added = f.element(doc, 0, 3);
    QStringList names;
    for (const auto &a : added.attributes())
        names.append(a.first);
    QCOMPARE(names, QStringList({"ChannelName", "URL", "INFO", "Ty", "MT", "Co", "SP", "T", "I", "ID"}));
    QCOMPARE(*added.attribute("ID"), QStringLiteral("77"));
    QCOMPARE(*added.attribute("T"), QStringLiteral("News"));
    // Changed in memory: no plain copy of the favourites beside them.
    QCOMPARE(QDir(f.dir.file(QStringLiteral("data"))).entryList(QDir::Files), QStringList({"Fav.CHL"}));
}

void tst_FavoritesStore::addTwiceGivesTwoCopies()
{
    Favs f;
    f.write(Document({{QStringLiteral("My_Favorites"), QByteArray()}}));
    XmlDocument src;
    src.loadFromBytes(Document({{QStringLiteral("TV"), Item(QStringLiteral("X"), QStringLiteral("http://x"))}}));
    FavoritesStore store(f.file());
    store.Add(src.documentElement().child(0).child(0));
    store.Add(src.documentElement().child(0).child(0));
    QCOMPARE(f.groups(), (QList<QStringList>{{"X", "X"}}));
}

void tst_FavoritesStore::addLeavesMissingAttributesOut()
{
    Favs f;
    f.write(twoGroups());
    XmlDocument src;
    src.loadFromBytes("<r><g><Item ChannelName=\"NoT\" URL=\"u\" Ty=\"2\" Extra=\"x\"/></g></r>");
    FavoritesStore(f.file()).Add(src.documentElement().child(0).child(0));
    XmlDocument doc;
    const XmlNode added = f.element(doc, 0, 3);
    QCOMPARE(added.attributes().size(), 3);
    QVERIFY(!added.hasAttribute("T"));
    QVERIFY(!added.hasAttribute("Extra"));
}

void tst_FavoritesStore::deleteByPosition()
{
    Favs f;
    f.write(twoGroups());
    XmlDocument doc;
    const ChannelItem b(f.element(doc, 0, 1));
    FavoritesStore(f.file()).Delete(0, 1, b);
    QCOMPARE(f.groups(), (QList<QStringList>{{"A", "C"}, {"D", "E"}}));
}

void tst_FavoritesStore::deleteInAnotherGroupTouchesOnlyThatOne()
{
    Favs f;
    f.write(twoGroups());
    XmlDocument doc;
    const ChannelItem e(f.element(doc, 1, 1));
    FavoritesStore(f.file()).Delete(1, 1, e);
    QCOMPARE(f.groups(), (QList<QStringList>{{"A", "B", "C"}, {"D"}}));
}

void tst_FavoritesStore::deleteRefusesWhenFileChanged()
{
    Favs f;
    f.write(twoGroups());
    XmlDocument doc;
    const ChannelItem b(f.element(doc, 0, 1));
    const QByteArray before = f.raw();
    // Position 1 now holds C: deleting "B at 1" must not remove C.
    QVERIFY_THROWS_EXCEPTION(ZError, FavoritesStore(f.file()).Delete(0, 2, b));
    QCOMPARE(f.raw(), before);
    QVERIFY_THROWS_EXCEPTION(ZError, FavoritesStore(f.file()).Delete(0, 9, b));
    QCOMPARE(f.raw(), before);
    // Same name, same place, another address (another program edited it): neither deleted nor
    // rewritten.
    f.write(Document({{QStringLiteral("My_Favorites"), Item(QStringLiteral("A"), QStringLiteral("http://a")) +
                                                           Item(QStringLiteral("B"), QStringLiteral("http://b2"))}}));
    const QByteArray edited = f.raw();
    QVERIFY_THROWS_EXCEPTION(ZError, FavoritesStore(f.file()).Delete(0, 1, b));
    ChannelFields fields;
    fields.name = QStringLiteral("B");
    fields.url = QStringLiteral("http://b3");
    fields.type = 1;
    QVERIFY_THROWS_EXCEPTION(ZError, FavoritesStore(f.file()).Rewrite(0, 1, b, fields));
    QCOMPARE(f.raw(), edited);
}

void tst_FavoritesStore::deleteOnlyFavouriteKeepsGroup()
{
    Favs f;
    f.write(Document({{QStringLiteral("My_Favorites"), Item(QStringLiteral("Only"), QStringLiteral("http://o"))}}));
    XmlDocument doc;
    const ChannelItem only(f.element(doc, 0, 0));
    FavoritesStore store(f.file());
    store.Delete(0, 0, only);
    QCOMPARE(f.groups(), (QList<QStringList>{{}}));
    ChannelFields fields;
    fields.name = QStringLiteral("Again");
    fields.type = 2;
    store.AddNew(fields);
    QCOMPARE(f.groups(), (QList<QStringList>{{"Again"}}));
}

void tst_FavoritesStore::rewriteKeepsIdTypeAndI()
{
    Favs f;
    f.write(Document({{QStringLiteral("My_Favorites"),
                       Item(QStringLiteral("A"), QStringLiteral("http://a"), 1, QStringLiteral("300"),
                            QStringLiteral("News"), QStringLiteral("12"), " Keep=\"me\"")}}));
    XmlDocument doc;
    const ChannelItem a(f.element(doc, 0, 0));
    ChannelFields fields{QStringLiteral("A2"),   QStringLiteral("rtsp://h/s"), QStringLiteral("http://w"), 2,
                         QStringLiteral("Land"), QStringLiteral("64"),         QStringLiteral("ignored")};
    FavoritesStore(f.file()).Rewrite(0, 0, a, fields);
    XmlDocument after;
    const XmlNode c = f.element(after, 0, 0);
    QCOMPARE(*c.attribute("ChannelName"), QStringLiteral("A2"));
    QCOMPARE(*c.attribute("URL"), QStringLiteral("rtsp://h/s"));
    QCOMPARE(*c.attribute("INFO"), QStringLiteral("http://w"));
    QCOMPARE(*c.attribute("Ty"), QStringLiteral("2"));
    QCOMPARE(*c.attribute("Co"), QStringLiteral("Land"));
    QCOMPARE(*c.attribute("SP"), QStringLiteral("64"));
    QCOMPARE(*c.attribute("MT"), QStringLiteral("2"));
    QCOMPARE(*c.attribute("ID"), QStringLiteral("12"));
    QCOMPARE(*c.attribute("T"), QStringLiteral("News"));
    QCOMPARE(*c.attribute("I"), QString());
    QCOMPARE(*c.attribute("Keep"), QStringLiteral("me"));
}

void tst_FavoritesStore::addNewWritesAllTenAttributes()
{
    Favs f;
    f.write(twoGroups());
    ChannelFields fields;
    fields.type = 3;
    FavoritesStore(f.file()).AddNew(fields);
    XmlDocument doc;
    const XmlNode c = f.element(doc, 0, 3);
    QStringList names;
    for (const auto &a : c.attributes()) {
        names.append(a.first);
        if (a.first == u"Ty")
            QCOMPARE(a.second, QStringLiteral("3"));
        else if (a.first == u"MT")
            QCOMPARE(a.second, QStringLiteral("1"));
        else
            QCOMPARE(a.second, QString());
    }
    QCOMPARE(names, QStringList({"ChannelName", "URL", "ID", "Ty", "Co", "SP", "MT", "INFO", "T", "I"}));
}

void tst_FavoritesStore::engineNumber()
{
    QCOMPARE(FavoritesStore::EngineNumber(QStringLiteral("a.rm")), 1);    // 4 characters: not consulted
    QCOMPARE(FavoritesStore::EngineNumber(QStringLiteral("rtsp:/")), 1);  // 6 characters
    QCOMPARE(FavoritesStore::EngineNumber(QStringLiteral("rtsp://")), 2); // 7 characters
    QCOMPARE(FavoritesStore::EngineNumber(QStringLiteral("http://x/a.mp4")), 1);
    QCOMPARE(FavoritesStore::EngineNumber(QStringLiteral("http://x/a.RM")), 2);
}

void tst_FavoritesStore::failuresLeaveFileUnchanged_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("enciphered");
    QTest::newRow("no group") << QByteArray("<Favorites/>") << true;
    QTest::newRow("not xml") << QByteArray("garbage <<<") << true;
    QTest::newRow("plain text file") << QByteArray("<Favorites><g/></Favorites>") << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void tst_FavoritesStore::failuresLeaveFileUnchanged()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, enciphered);
    Favs f;
    if (enciphered)
        f.write(content);
    else
        f.dir.write(QStringLiteral("data/Fav.CHL"), content);
    const QByteArray before = f.raw();
    ChannelFields fields;
    fields.type = 1;
    QVERIFY_THROWS_EXCEPTION(ZError, FavoritesStore(f.file()).AddNew(fields));
    QCOMPARE(f.raw(), before);
}

void tst_FavoritesStore::encipherFailureIsReported()
{
    Favs f;
    f.write(twoGroups());
    const QByteArray before = f.raw();
    // The disk fills up while the new favourites are written.
    AtomicWriter::setFaultProbe([](qint64) { return false; });
    const auto noFault = qScopeGuard([] { AtomicWriter::setFaultProbe({}); });
    ChannelFields fields;
    fields.type = 1;
    try {
        FavoritesStore(f.file()).AddNew(fields);
        QFAIL("a failed write passed as success");
    } catch (const ZError &e) {
        QCOMPARE(e.message(), QStringLiteral("Unable to write to ") + f.file());
    }
    QCOMPARE(f.raw(), before);
    AtomicWriter::setFaultProbe({});
    QVERIFY_THROWS_EXCEPTION(ZError, FavoritesStore(f.dir.file(QStringLiteral("data/None.CHL"))).AddNew(fields));
}

void tst_FavoritesStore::noWorkingCopyIsNeeded()
{
    Favs f;
    f.write(twoGroups());
    // Where a plain working copy would have gone there is a folder: nothing is written there.
    QVERIFY(QDir().mkpath(f.file() + QStringLiteral("~temp/inner")));
    ChannelFields fields;
    fields.name = QStringLiteral("New");
    fields.type = 1;
    FavoritesStore(f.file()).AddNew(fields);
    QCOMPARE(f.groups().value(0).value(3), QStringLiteral("New"));
}

void tst_FavoritesStore::twoProcessesAddingLoseNothing()
{
    Favs f;
    f.write(Document({{QStringLiteral("My_Favorites"), QByteArray()}}));
    // Another Zentavo adds favourites at the same time as this one.
    QProcess other;
    other.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--add-favourites"), f.file()});
    QVERIFY(other.waitForStarted());
    FavoritesStore store(f.file());
    for (int n = 0; n < 60; ++n) {
        ChannelFields fields;
        fields.name = QStringLiteral("Here %1").arg(n);
        fields.type = 1;
        store.AddNew(fields);
        // A user's adds come apart (back to back, a waiter has no moment to take the lock).
        QThread::msleep(20);
    }
    QVERIFY(other.waitForFinished(60000));
    QCOMPARE(other.exitCode(), 0);
    QCOMPARE(f.groups().value(0).size(), 120);
}

void tst_FavoritesStore::backup()
{
    Favs f;
    f.write(twoGroups());
    f.dir.write(QStringLiteral("backup.CHL"), "an older backup");
    QVERIFY(FavoritesStore(f.file()).Backup(f.dir.file(QStringLiteral("backup.CHL"))));
    QCOMPARE(f.dir.read(QStringLiteral("backup.CHL")), f.raw());
}

void tst_FavoritesStore::backupToSameFileCopiesNothing()
{
    Favs f;
    f.write(twoGroups());
    const QByteArray before = f.raw();
    FavoritesStore store(f.file());
    QDir::setCurrent(f.dir.path());
    for (const QString &same :
         {f.file(), QStringLiteral("data/Fav.CHL"), QStringLiteral("./data/../data/Fav.CHL"),
          f.dir.file(QStringLiteral("data/fav.chl")), f.dir.file(QStringLiteral("DATA/FAV.CHL"))}) {
        QVERIFY2(!store.Backup(same), qPrintable(same));
        QVERIFY2(!store.Restore(same), qPrintable(same));
    }
    QFile::link(f.file(), f.dir.file(QStringLiteral("link.CHL")));
    QVERIFY(!store.Backup(f.dir.file(QStringLiteral("link.CHL"))));
    QCOMPARE(f.raw(), before);
}

void tst_FavoritesStore::backupFailureIsReported()
{
    Favs f;
    f.write(twoGroups());
    QVERIFY_THROWS_EXCEPTION(ZError, FavoritesStore(f.file()).Backup(f.dir.file(QStringLiteral("no/dir/b.CHL"))));
    QVERIFY_THROWS_EXCEPTION(
        ZError,
        FavoritesStore(f.dir.file(QStringLiteral("data/None.CHL"))).Backup(f.dir.file(QStringLiteral("b.CHL"))));
    QVERIFY(!QFile::exists(f.dir.file(QStringLiteral("b.CHL"))));
}

void tst_FavoritesStore::restoreAcceptsChannelLists()
{
    Favs f;
    f.write(Document({{QStringLiteral("My_Favorites"), QByteArray()}}));
    f.dir.writeList(QStringLiteral("saved.CHL"), twoGroups());
    QVERIFY(FavoritesStore(f.file()).Restore(f.dir.file(QStringLiteral("saved.CHL"))));
    QCOMPARE(f.raw(), f.dir.read(QStringLiteral("saved.CHL")));
}

void tst_FavoritesStore::restoreRefusesOtherFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QByteArray random(5000, '\0');
    for (int i = 0; i < random.size(); ++i)
        random[i] = char((i * 2654435761u) >> 13);
    QTest::newRow("random bytes") << random;
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("plain xml, not enciphered") << twoGroups();
    QTest::newRow("list without groups") << CipherBytes("<Favorites></Favorites>");
    QTest::newRow("truncated list") << CipherBytes(twoGroups()).left(100);
}

void tst_FavoritesStore::restoreRefusesOtherFiles()
{
    QFETCH(QByteArray, bytes);
    Favs f;
    f.write(twoGroups());
    const QByteArray before = f.raw();
    f.dir.write(QStringLiteral("other.CHL"), bytes);
    try {
        FavoritesStore(f.file()).Restore(f.dir.file(QStringLiteral("other.CHL")));
        QFAIL("restored a file that is no channel list");
    } catch (const ZError &e) {
        QVERIFY(e.message().contains(QStringLiteral("not a channel list")));
    }
    QCOMPARE(f.raw(), before);
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // The other process of twoProcessesAddingLoseNothing.
    if (argc == 3 && QByteArray(argv[1]) == "--add-favourites") {
        FavoritesStore store(QString::fromLocal8Bit(argv[2]));
        for (int n = 0; n < 60; ++n) {
            ChannelFields fields;
            fields.name = QStringLiteral("There %1").arg(n);
            fields.type = 1;
            store.AddNew(fields);
            QThread::msleep(20);
        }
        return 0;
    }
    tst_FavoritesStore test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_favoritesstore.moc"
