#include "GuideMaker.h"
#include "catalogue/ListCipher.h"
#include "guide/GuideImport.h"
#include "guide/GuideMatch.h"
#include "guide/GuideReminders.h"
#include "guide/GuideSchedule.h"
#include "guide/GuideService.h"
#include "guide/GuideStore.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace GuideMaker;

namespace {

constexpr qint64 kNoon = 1765368000; // 2025-12-10 12:00:00 UTC

GuideImportResult import(GuideStore &store, qint64 source, const QByteArray &bytes, const ListIndex &lists)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    GuideImportOptions options;
    options.from = kNoon - 86400;
    options.to = kNoon + 14 * 86400;
    options.language = QStringLiteral("en");
    return ImportGuide(buffer, store, source, lists, options);
}

GuideSchedule scheduleOf(GuideStore &store)
{
    GuideSchedule s;
    for (const GuideChannelRow &c : store.channels())
        s.addChannel(c.row, c.id, c.names);
    for (const GuideProgramme &p : store.schedule(kNoon - 86400, kNoon + 86400))
        s.addProgramme(p.channel, {p.start, p.stop, p.title});
    s.finish();
    return s;
}

QString nowOn(const GuideSchedule &s, const ListChannel &c, qint64 at)
{
    const NowNext n = s.at(s.channelOf(c), at);
    return n.now ? n.now->title : QString();
}

const QByteArray kGuide =
    Tv(Channel("one", "One") + Channel("two", "Two") + Channel("unlisted", "Nobody") +
       Programme("one", "20251210110000 +0000", "20251210120000 +0000", "Morning") +
       Programme("one", "20251210120000 +0000", "20251210130000 +0000", "Noon") +
       Programme("one", "20251210120000 +0000", "20251210123000 +0000", "Again") +
       Programme("two", "20251210113000 +0000", "", "Open end") + Programme("two", "20251210124500 +0000", "", "Last") +
       Programme("unlisted", "20251210120000 +0000", "20251210130000 +0000", "Nobody's") +
       Programme("one", "20251101120000 +0000", "20251101130000 +0000", "Long ago"));

} // namespace

class tst_GuideStore : public QObject
{
    Q_OBJECT

private slots:
    void importKeepsWhatTheListsNeed();
    void aFailedImportLeavesTheGuideWhole();
    void aDamagedFileIsSetAside();
    void theServiceAppliesAChannelsShift();
    void remindersComeDueAndAreKept();
};

void tst_GuideStore::importKeepsWhatTheListsNeed()
{
    QTemporaryDir dir;
    GuideStore store(dir.filePath(QStringLiteral("guide.sqlite")));
    QVERIFY2(store.isOpen(), qPrintable(store.notice()));
    const qint64 source = store.addSource(QStringLiteral("http://guides.example/a.xml"), true);
    const ListIndex lists({{QStringLiteral("ONE"), {}, {}}, {{}, {}, QStringLiteral("two")}});
    const GuideImportResult r = import(store, source, kGuide, lists);
    QVERIFY2(r.ok, qPrintable(r.message));
    QCOMPARE(r.channels, 3);
    QCOMPARE(r.matched, 2);
    QCOMPARE(r.duplicates, 1); // the second programme at 12:00 on "one"
    QCOMPARE(r.programmes, 4); // not the unlisted channel's, not the one before the window
    QCOMPARE(store.sources().value(0).matched, 2);

    const GuideSchedule s = scheduleOf(store);
    QCOMPARE(nowOn(s, {QStringLiteral("one"), {}, {}}, kNoon + 600), QStringLiteral("Noon"));
    QCOMPARE(nowOn(s, {{}, {}, QStringLiteral("TWO")}, kNoon + 600), QStringLiteral("Open end"));
    QCOMPARE(nowOn(s, {{}, {}, QStringLiteral("TWO")}, kNoon + 3600), QStringLiteral("Last"));
    QCOMPARE(nowOn(s, {{}, {}, QStringLiteral("Nobody")}, kNoon + 600), QString());
    const qint64 two = s.channelOf({{}, {}, QStringLiteral("two")});
    QCOMPARE(s.at(two, kNoon).now->stop, kNoon + 45 * 60); // open ends close at the next start
    QCOMPARE(store.search(QStringLiteral("oo"), 10).value(0).title, QStringLiteral("Noon"));
    QCOMPARE(store.search(QStringLiteral("%"), 10).size(), 0); // LIKE's wildcards are text

    // A second import of the same source replaces its programmes rather than adding to them.
    QVERIFY(import(store, source, kGuide, lists).ok);
    QCOMPARE(store.schedule(0, kNoon * 2).size(), 4);
}

void tst_GuideStore::aFailedImportLeavesTheGuideWhole()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("guide.sqlite"));
    const ListIndex lists({{QStringLiteral("one"), {}, {}}});
    {
        GuideStore store(path);
        const qint64 source = store.addSource(QStringLiteral("a"), true);
        QVERIFY(import(store, source, kGuide, lists).ok);
        // Good programmes first, then the document breaks off: nothing of it is kept.
        const QByteArray broken =
            Tv(Channel("one", "One") + Programme("one", "20251210120000 +0000", "20251210130000 +0000", "Broken"))
                .chopped(8);
        const GuideImportResult r = import(store, source, broken, lists);
        QVERIFY(!r.ok);
        QVERIFY2(r.message.startsWith(QStringLiteral("line ")), qPrintable(r.message));
        QVERIFY(!import(store, source, Packed("gzip", kGuide).left(200), lists).ok);
        QCOMPARE(nowOn(scheduleOf(store), {QStringLiteral("one"), {}, {}}, kNoon + 600), QStringLiteral("Noon"));
    }
    // Killed in the middle of an import: the next start finds the guide as it was.
    {
        GuideStore store(path);
        QVERIFY(store.beginImport(store.sources().value(0).row));
        XmltvChannel c;
        c.id = QStringLiteral("one");
        store.addChannel(c);
        // No commit: the store goes away as a killed process would leave it.
    }
    GuideStore again(path);
    QCOMPARE(nowOn(scheduleOf(again), {QStringLiteral("one"), {}, {}}, kNoon + 600), QStringLiteral("Noon"));
}

void tst_GuideStore::aDamagedFileIsSetAside()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("guide.sqlite"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(8192, 'x'));
    f.close();
    GuideStore store(path);
    QVERIFY(store.isOpen());
    QVERIFY2(store.notice().contains(QStringLiteral("damaged")), qPrintable(store.notice()));
    QVERIFY(QFile::exists(path + QStringLiteral(".damaged")));
    QVERIFY(store.addSource(QStringLiteral("a"), true) > 0);
}

void tst_GuideStore::theServiceAppliesAChannelsShift()
{
    QTemporaryDir dir;
    QFile guide(dir.filePath(QStringLiteral("guide.xml")));
    QVERIFY(guide.open(QIODevice::WriteOnly));
    const qint64 now = QDateTime::currentSecsSinceEpoch() / 60 * 60;
    const auto stamp = [](qint64 t) {
        return QDateTime::fromSecsSinceEpoch(t, Qt::UTC).toString(QStringLiteral("yyyyMMddHHmmss +0000")).toLatin1();
    };
    guide.write(Tv(Channel("one", "One") + Programme("one", stamp(now - 1800), stamp(now + 1800), "Now") +
                   Programme("one", stamp(now + 1800), stamp(now + 5400), "Then")));
    guide.close();
    // The list: a playlist's channel with tvg-id "one".
    GuideService service(dir.filePath(QStringLiteral("guide.sqlite")), dir.filePath(QStringLiteral("spool")));
    QFile list(dir.filePath(QStringLiteral("list.CHL")));
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write(
        CipherBytes("<?xml version=\"1.0\"?><ChannelList><G><Item ChannelName=\"One\" URL=\"http://a/1\" "
                    "INFO=\"\" Ty=\"1\" MT=\"1\" Co=\"\" SP=\"1\" T=\"\" I=\"\" ID=\"one\"/></G></ChannelList>"));
    list.close();
    service.setLists({list.fileName()});
    // A playlist names the guide: it is a source at once, and goes when no playlist names it.
    service.setPlaylistGuides({guide.fileName()});
    QTRY_VERIFY_WITH_TIMEOUT(!service.isEmpty(), 20000);
    QCOMPARE(service.sources().size(), 1);
    QVERIFY(!service.sources()[0].fromUser);
    QCOMPARE(service.nowNext({QStringLiteral("one"), {}, {}}, now).now->title, QStringLiteral("Now"));
    // The guide runs an hour behind this channel: its "Now" starts an hour later here.
    const NowNext later = service.nowNext({QStringLiteral("one"), {}, {}, 3600}, now);
    QVERIFY(!later.now);
    QCOMPARE(later.next->title, QStringLiteral("Now"));
    QCOMPARE(later.next->start, now + 1800);
    QCOMPARE(service.nowNext({QStringLiteral("one"), {}, {}, -3600}, now).now->title, QStringLiteral("Then"));

    service.setPlaylistGuides({});
    QTRY_VERIFY(service.sources().isEmpty() && service.isEmpty());
}

void tst_GuideStore::remindersComeDueAndAreKept()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("reminders.json"));
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    {
        GuideReminders reminders(file);
        reminders.add({QStringLiteral("One"), QStringLiteral("http://a/1"), QStringLiteral("Film"), now + 3600});
        reminders.add({QStringLiteral("One"), QStringLiteral("http://a/1"), QStringLiteral("Film"), now + 3600});
        reminders.add({QStringLiteral("Two"), QStringLiteral("http://a/2"), QStringLiteral("Past"), now - 60});
        QCOMPARE(reminders.list().size(), 1); // not the one that started, nor the same one twice
    }
    {
        GuideReminders again(file); // read back, as the next start does
        QCOMPARE(again.list().size(), 1);
        QCOMPARE(again.list()[0].title, QStringLiteral("Film"));
        QVERIFY(again.contains(QStringLiteral("http://a/1"), now + 3600));
        QSignalSpy due(&again, &GuideReminders::due);
        again.add({QStringLiteral("Three"), QStringLiteral("http://a/3"), QStringLiteral("Soon"), now + 1});
        QTRY_COMPARE_WITH_TIMEOUT(due.size(), 1, 10000);
        QCOMPARE(due[0][0].value<Reminder>().title, QStringLiteral("Soon"));
        again.remove(QStringLiteral("http://a/1"), now + 3600);
        QVERIFY(again.list().isEmpty());
    }
    QVERIFY(GuideReminders(file).list().isEmpty());

    // Started while the program was not running: told if lately, else dropped.
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral("[{\"address\":\"http://a/4\",\"title\":\"Lately\",\"start\":%1},"
                           "{\"address\":\"http://a/5\",\"title\":\"Long ago\",\"start\":%2}]")
                .arg(now - 60)
                .arg(now - 3600)
                .toUtf8());
    f.close();
    GuideReminders late(file);
    QSignalSpy due(&late, &GuideReminders::due);
    QTRY_VERIFY(late.list().isEmpty());
    QCOMPARE(due.size(), 1);
    QCOMPARE(due[0][0].value<Reminder>().title, QStringLiteral("Lately"));
}

QTEST_GUILESS_MAIN(tst_GuideStore)
#include "tst_guidestore.moc"
