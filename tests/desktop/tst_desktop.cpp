#include "MediaFixtures.h"
#include "PlayerWindow.h"
#include "PrivateBus.h"
#include "TestDirs.h"
#include "TestHttpServer.h"
#include "UiDriver.h"
#include "base/ShellOpen.h"
#include "base/pGloba.h"
#include "desktop/DesktopLink.h"
#include "desktop/Mpris.h"
#include "dialogs/RecentDialog.h"
#include "playback/AudioArtwork.h"
#include "playback/NowPlaying.h"
#include "playback/PlaybackControl.h"
#include "playback/PlayerComponents.h"
#include "playback/RecentTitles.h"
#include "playback/VolumeControl.h"
#include "shell/U_frm_Main.h"

#include <QAction>
#include <QClipboard>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

extern "C" engine::Factory *zentavo_player_engines();

namespace {

const QString kService = QStringLiteral("org.mpris.MediaPlayer2.zentavo");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");

using Window = PlayerWindow;

// Settings that show a notification for each new title.
void notifyTitles(TGlobal &settings)
{
    settings.TitleNotifications = true;
}

// The other side of the bus: what a desktop's sound menu or media keys would do.
class Client : public QObject
{
    Q_OBJECT

public:
    explicit Client(const QString &address) : m_bus(QDBusConnection::connectToBus(address, QStringLiteral("client")))
    {
        m_bus.connect(kService, QLatin1StringView(Mpris::kPath), QStringLiteral("org.freedesktop.DBus.Properties"),
                      QStringLiteral("PropertiesChanged"), this, SLOT(changed(QString, QVariantMap, QStringList)));
    }
    ~Client() override { QDBusConnection::disconnectFromBus(QStringLiteral("client")); }

    // The player answers on the GUI thread the test runs on: wait for replies with events running.
    QDBusMessage call(const QString &interface, const QString &method, const QVariantList &args = {})
    {
        QDBusMessage m = QDBusMessage::createMethodCall(kService, QLatin1StringView(Mpris::kPath), interface, method);
        m.setArguments(args);
        QDBusPendingCall pending = m_bus.asyncCall(m);
        QDeadlineTimer deadline(5000);
        while (!pending.isFinished() && !deadline.hasExpired())
            QTest::qWait(5);
        return pending.reply();
    }
    void player(const char *method, const QVariantList &args = {})
    {
        const QDBusMessage reply = call(kPlayer, QLatin1StringView(method), args);
        QVERIFY2(reply.type() == QDBusMessage::ReplyMessage, qPrintable(reply.errorMessage()));
    }
    QVariant get(const QString &interface, const char *property)
    {
        const QDBusMessage reply = call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                                        {interface, QLatin1StringView(property)});
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }
    void set(const char *property, const QVariant &value)
    {
        call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"),
             {kPlayer, QLatin1StringView(property), QVariant::fromValue(QDBusVariant(value))});
    }
    static QVariantMap map(const QVariant &v)
    {
        QVariantMap out;
        if (v.canConvert<QDBusArgument>())
            v.value<QDBusArgument>() >> out;
        else
            out = v.toMap();
        return out;
    }
    QVariantMap metadata() { return map(get(kPlayer, "Metadata")); }
    QString status() { return get(kPlayer, "PlaybackStatus").toString(); }

    QList<QPair<QString, QVariantMap>> signals_;

public slots:
    void changed(const QString &interface, const QVariantMap &properties, const QStringList &)
    {
        signals_.append({interface, properties});
    }

public:
    // The Metadata last sent with PropertiesChanged (empty if none was).
    QVariantMap lastSentMetadata() const
    {
        for (auto it = signals_.crbegin(); it != signals_.crend(); ++it) {
            if (it->second.contains(QStringLiteral("Metadata")))
                return map(it->second.value(QStringLiteral("Metadata")));
        }
        return {};
    }

private:
    QDBusConnection m_bus;
};

// Stand-ins for the desktop's screen saver and notification services.
class FakeScreenSaver : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")

public:
    QSet<uint> held;
    uint next = 7;

public slots:
    uint Inhibit(const QString &, const QString &)
    {
        held.insert(next);
        return next++;
    }
    void UnInhibit(uint cookie) { held.remove(cookie); }
};

class FakeNotifications : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Shown
    {
        uint replaces;
        QString summary;
        QString body;
    };
    QList<Shown> shown;

public slots:
    uint Notify(const QString &, uint replaces, const QString &, const QString &summary, const QString &body,
                const QStringList &, const QVariantMap &, int)
    {
        shown.append({replaces, summary, body});
        return 40 + uint(shown.size());
    }
};

QByteArray twoClipList(const QByteArray &a, const QByteArray &b)
{
    return "<?xml version=\"1.0\"?><ChannelList><One><Item ChannelName=\"A\" URL=\"" + a +
           "\" INFO=\"\" Ty=\"1\" MT=\"1\" Co=\"\" SP=\"1\" T=\"\" I=\"\" ID=\"\"/></One><Two>"
           "<Item ChannelName=\"B\" URL=\"" +
           b + "\" INFO=\"\" Ty=\"1\" MT=\"1\" Co=\"\" SP=\"1\" T=\"\" I=\"\" ID=\"\"/></Two></ChannelList>";
}

} // namespace

class tst_Desktop : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void titlesReachTheWindowAndTheBus_data();
    void titlesReachTheWindowAndTheBus();
    void theBusControlsThePlayer();
    void screenSaverOnlyWhileAPicturePlays();
    void notificationsOfNewTitlesWhenAskedFor();
    void recentlyPlayedCopiesAndSearches();

private:
    std::unique_ptr<PrivateBus> m_bus;
    std::unique_ptr<TestHttpServer> m_http;
};

void tst_Desktop::initTestCase()
{
    qputenv("ZENTAVO_AUDIO_OUTPUT", "null");
    m_bus = std::make_unique<PrivateBus>();
    QVERIFY2(m_bus->isRunning(), "dbus-daemon did not start");
    m_bus->makeSessionBus();
    SetPlayerEngines(zentavo_player_engines());
    m_http = std::make_unique<TestHttpServer>();
    QFile mp3(Media::RadioAudio());
    QVERIFY(mp3.open(QIODevice::ReadOnly));
    // A new title every second; 8000 bytes are a second of this stream.
    m_http->script(QStringLiteral("/radio"),
                   IcyStream(mp3.readAll(),
                             {QStringLiteral("Artist One - Song One"), QStringLiteral("Artist Two - Song Two"),
                              QStringLiteral("Only A Title")},
                             8000, 1000));
    m_http->script(
        QStringLiteral("/radio.pls"),
        HttpReply(200, "OK",
                  "[playlist]\nFile1=" + m_http->url(QStringLiteral("/radio")).toUtf8() + "\nNumberOfEntries=1\n",
                  "Content-Type: audio/x-scpls\r\n"));
    Media::LongMp4(); // plays on while the bus drives it
    Media::AudioOnly();
    m_http->serveDirectory(Media::Folder());
}

void tst_Desktop::cleanupTestCase()
{
    SetPlayerEngines(nullptr);
}

void tst_Desktop::titlesReachTheWindowAndTheBus_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("engine");
    QTest::newRow("first engine") << "/radio"
                                  << "libmpv";
    QTest::newRow("second engine") << "/radio.pls"
                                   << "GStreamer";
}

void tst_Desktop::titlesReachTheWindowAndTheBus()
{
    QFETCH(QString, path);
    QFETCH(QString, engine);
    Window win;
    Client client(m_bus->address());
    QCOMPARE(client.get(QStringLiteral("org.mpris.MediaPlayer2"), "DesktopEntry").toString(),
             QStringLiteral("example.zentavo.Zentavo"));
    QCOMPARE(client.metadata().value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path(),
             QLatin1StringView(Mpris::kNoTrack));
    win.pc->SetCurrentChannelType(2);
    win.w->PlayStream(m_http->url(path), QStringLiteral("Test Radio"));

    // "Artist - Title": split on the bus, whole in the window.
    QTRY_VERIFY_WITH_TIMEOUT(win.fullStatus().startsWith(QStringLiteral("Playing: Artist ")), 15000);
    QTRY_VERIFY_WITH_TIMEOUT(client.metadata().contains(QStringLiteral("xesam:artist")), 5000);
    const QVariantMap m = client.metadata();
    const QString artist = m.value(QStringLiteral("xesam:artist")).toStringList().value(0);
    const QString title = m.value(QStringLiteral("xesam:title")).toString();
    QVERIFY2((artist == u"Artist One" && title == u"Song One") || (artist == u"Artist Two" && title == u"Song Two"),
             qPrintable(artist + u'|' + title));
    QCOMPARE(m.value(QStringLiteral("xesam:album")).toString(), QStringLiteral("Test Radio"));
    QCOMPARE(m.value(QStringLiteral("xesam:url")).toString(), m_http->url(path));
    const QString track = m.value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path();
    QVERIFY2(track.startsWith(u'/') && track != QLatin1StringView(Mpris::kNoTrack), qPrintable(track));
    QCOMPARE(client.status(), QStringLiteral("Playing"));

    // A title without an artist: the whole map again, the last artist gone with it.
    QTRY_COMPARE_WITH_TIMEOUT(client.lastSentMetadata().value(QStringLiteral("xesam:title")).toString(),
                              QStringLiteral("Only A Title"), 8000);
    QVERIFY(!client.lastSentMetadata().contains(QStringLiteral("xesam:artist")));
    QCOMPARE(client.lastSentMetadata().value(QStringLiteral("xesam:album")).toString(), QStringLiteral("Test Radio"));
    QVERIFY(client.signals_.first().first == kPlayer);

    // The window: the picture area names the channel and the title, the tray's tooltip too.
    AudioArtwork *art = win.pc->artwork();
    QTRY_VERIFY(art->isVisible());
    QCOMPARE(art->channel(), QStringLiteral("Test Radio"));
    QTRY_VERIFY(!art->title().isEmpty());
    QTRY_VERIFY(win.w->desktop()->tray()->toolTip().contains(win.pc->nowPlaying()->streamTitle()));
    const QStringList info = win.pc->streamInfo();
    QVERIFY2(info.contains(QStringLiteral("Engine: ") + engine), qPrintable(info.join(u'|')));
    QVERIFY2(info.filter(QStringLiteral("Audio: ")).size() == 1, qPrintable(info.join(u'|')));

    // Heard titles are kept, each once, newest first.
    const QList<RecentTitles::Entry> &heard = win.w->recentTitles()->entries();
    QVERIFY(heard.size() >= 2);
    QCOMPARE(heard.first().title, win.pc->nowPlaying()->streamTitle());
    QCOMPARE(heard.first().channel, QStringLiteral("Test Radio"));
    QVERIFY(heard.at(0).title != heard.at(1).title);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(win.global->RecentFile), 15000); // saved a few seconds later
}

void tst_Desktop::theBusControlsThePlayer()
{
    const QByteArray a = m_http->url(QStringLiteral("/long.mp4?a")).toUtf8();
    const QByteArray b = m_http->url(QStringLiteral("/long.mp4?b")).toUtf8();
    Window win(twoClipList(a, b));
    Client client(m_bus->address());
    client.player("Next");
    QCOMPARE(win.pc->CurrentUrl, QString::fromUtf8(a));
    QTRY_COMPARE_WITH_TIMEOUT(win.pc->PlayState, 3, 15000);
    QCOMPARE(client.status(), QStringLiteral("Playing"));
    client.player("PlayPause");
    QTRY_COMPARE(client.status(), QStringLiteral("Paused"));
    client.player("PlayPause");
    QTRY_COMPARE_WITH_TIMEOUT(win.pc->PlayState, 3, 5000);
    client.player("Next");
    QCOMPARE(win.pc->CurrentUrl, QString::fromUtf8(b));
    client.player("Previous");
    QCOMPARE(win.pc->CurrentUrl, QString::fromUtf8(a));
    QTRY_COMPARE_WITH_TIMEOUT(win.pc->PlayState, 3, 15000);
    client.player("Stop");
    QTRY_COMPARE(client.status(), QStringLiteral("Stopped"));

    // Volume both ways.
    VolumeControl *volume = win.w->volume();
    client.set("Volume", 0.5);
    QTRY_COMPARE(volume->volume(), 50);
    QCOMPARE(client.get(kPlayer, "Volume").toDouble(), 0.5);
    volume->setVolume(70);
    QCOMPARE(client.get(kPlayer, "Volume").toDouble(), 0.7);
    QTRY_VERIFY(std::any_of(client.signals_.cbegin(), client.signals_.cend(),
                            [](const auto &s) { return s.second.value(QStringLiteral("Volume")).toDouble() == 0.7; }));
    client.set("Volume", 1.5); // beyond full: full
    QTRY_COMPARE(volume->volume(), 100);

    // OpenUri plays what it is given.
    const QString c = m_http->url(QStringLiteral("/long.mp4?c"));
    client.player("OpenUri", {c});
    QTRY_COMPARE(win.pc->CurrentUrl, c);
    QTRY_COMPARE(client.metadata().value(QStringLiteral("xesam:url")).toString(), c);
    // An address of 10 MB from the bus is not taken.
    client.player("OpenUri", {QString(QStringLiteral("http://127.0.0.1/") + QString(10 << 20, u'a'))});
    QCOMPARE(win.pc->CurrentUrl, c);
}

void tst_Desktop::screenSaverOnlyWhileAPicturePlays()
{
    QDBusConnection service = QDBusConnection::connectToBus(m_bus->address(), QStringLiteral("screensaver"));
    FakeScreenSaver saver;
    QVERIFY(service.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), &saver,
                                   QDBusConnection::ExportAllSlots));
    QVERIFY(service.registerService(QStringLiteral("org.freedesktop.ScreenSaver")));
    {
        Window win;
        win.w->PlayStream(m_http->url(QStringLiteral("/long.mp4")), QStringLiteral("Video"));
        QTRY_COMPARE_WITH_TIMEOUT(saver.held.size(), 1, 15000);
        win.w->PlayStream(m_http->url(QStringLiteral("/tone.mp3")), QStringLiteral("Sound"));
        QTRY_VERIFY(saver.held.isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(win.pc->PlayState, 3, 15000);
        QTest::qWait(300);
        QVERIFY(saver.held.isEmpty()); // sound alone keeps nothing away
        win.w->PlayStream(m_http->url(QStringLiteral("/long.mp4")), QStringLiteral("Video"));
        QTRY_COMPARE_WITH_TIMEOUT(saver.held.size(), 1, 15000);
        win.w->findChild<QAction *>(QStringLiteral("actPause"))->trigger();
        QTRY_VERIFY(saver.held.isEmpty());
        win.w->findChild<QAction *>(QStringLiteral("actPlay"))->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(saver.held.size(), 1, 15000);
    }
    QTRY_VERIFY(saver.held.isEmpty()); // a window that closes mid-video lets go
    service.unregisterService(QStringLiteral("org.freedesktop.ScreenSaver"));
    QDBusConnection::disconnectFromBus(QStringLiteral("screensaver"));
}

void tst_Desktop::notificationsOfNewTitlesWhenAskedFor()
{
    QDBusConnection service = QDBusConnection::connectToBus(m_bus->address(), QStringLiteral("notifications"));
    FakeNotifications notifications;
    QVERIFY(service.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &notifications,
                                   QDBusConnection::ExportAllSlots));
    QVERIFY(service.registerService(QStringLiteral("org.freedesktop.Notifications")));
    {
        Window quiet; // off by default
        quiet.w->PlayStream(m_http->url(QStringLiteral("/radio")), QStringLiteral("Quiet Radio"));
        QTRY_VERIFY_WITH_TIMEOUT(quiet.fullStatus().startsWith(QStringLiteral("Playing: ")), 15000);
        QTest::qWait(300);
        QVERIFY(notifications.shown.isEmpty());
    }
    {
        Window win({}, notifyTitles);
        win.w->PlayStream(m_http->url(QStringLiteral("/radio")), QStringLiteral("Radio <Two>"));
        QTRY_VERIFY_WITH_TIMEOUT(notifications.shown.size() >= 2, 15000);
        QCOMPARE(notifications.shown.at(0).body, QStringLiteral("Radio &lt;Two&gt;"));
        QVERIFY(notifications.shown.at(0).summary != notifications.shown.at(1).summary);
        QCOMPARE(notifications.shown.at(0).replaces, 0u);
        QCOMPARE(notifications.shown.at(1).replaces, 41u); // each replaces the one before
    }
    service.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
    QDBusConnection::disconnectFromBus(QStringLiteral("notifications"));
}

void tst_Desktop::recentlyPlayedCopiesAndSearches()
{
    TempAppDir dir;
    RecentTitles titles(dir.file(QStringLiteral("Recent.json")));
    const QDateTime now = QDateTime::currentDateTimeUtc();
    titles.add({now.addSecs(-60), QStringLiteral("Jazz"), QStringLiteral("Older & Wiser - Take 5")});
    titles.add({now, QStringLiteral("Jazz"), QStringLiteral("Newest - Tune")});
    QStringList opened;
    SetShellOpener([&opened](const QString &address) { opened.append(address); });
    RecentDialog dlg(titles);
    auto *list = dlg.findChild<QTreeWidget *>(QStringLiteral("lstRecent"));
    QCOMPARE(list->topLevelItem(0)->text(2), QStringLiteral("Newest - Tune"));
    list->setCurrentItem(list->topLevelItem(1));
    dlg.findChild<QPushButton *>(QStringLiteral("btnCopy"))->click();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("Older & Wiser - Take 5"));
    dlg.findChild<QPushButton *>(QStringLiteral("btnSearch"))->click();
    SetShellOpener({});
    QCOMPARE(opened, QStringList{QStringLiteral("https://duckduckgo.com/?q=Older%20%26%20Wiser%20-%20Take%205")});
}

QTEST_MAIN(tst_Desktop)
#include "tst_desktop.moc"
