#include "MediaFixtures.h"
#include "PrivateBus.h"
#include "TestDirs.h"
#include "TestHttpServer.h"
#include "UiDriver.h"
#include "base/pGloba.h"
#include "desktop/DesktopLink.h"
#include "desktop/TrayIcon.h"
#include "playback/NowPlaying.h"
#include "playback/PlaybackControl.h"
#include "playback/PlayerComponents.h"
#include "shell/U_frm_Main.h"

#include <QAction>
#include <QDBusConnection>
#include <QMenu>
#include <QMutex>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

extern "C" engine::Factory *zentavo_player_engines();

namespace {

// A stand-in for the desktop's tray host (the StatusNotifierItem watcher). It answers on a
// thread of its own: Qt asks it, blocking, from the GUI thread.
class FakeWatcher : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ yes)
    Q_PROPERTY(int ProtocolVersion READ version)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)

public:
    bool yes() const { return true; }
    int version() const { return 0; }
    QStringList items() const
    {
        QMutexLocker l(&m_lock);
        return m_items;
    }

public slots:
    void RegisterStatusNotifierItem(const QString &service)
    {
        QMutexLocker l(&m_lock);
        m_items.append(service);
    }
    void RegisterStatusNotifierHost(const QString &) {}

private:
    mutable QMutex m_lock;
    QStringList m_items;
};

} // namespace

class tst_Tray : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void closingKeepsPlayingInTheTray();

private:
    std::unique_ptr<PrivateBus> m_bus;
    QThread m_hostThread;
    FakeWatcher *m_watcher = nullptr;
    std::unique_ptr<TestHttpServer> m_http;
};

void tst_Tray::initTestCase()
{
    qputenv("ZENTAVO_AUDIO_OUTPUT", "null");
    m_bus = std::make_unique<PrivateBus>();
    QVERIFY(m_bus->isRunning());
    m_bus->makeSessionBus();
    m_watcher = new FakeWatcher;
    m_watcher->moveToThread(&m_hostThread);
    connect(&m_hostThread, &QThread::finished, m_watcher, &QObject::deleteLater);
    m_hostThread.start();
    QDBusConnection host = QDBusConnection::connectToBus(m_bus->address(), QStringLiteral("host"));
    QVERIFY(host.registerObject(QStringLiteral("/StatusNotifierWatcher"), m_watcher,
                                QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties));
    QVERIFY(host.registerService(QStringLiteral("org.kde.StatusNotifierWatcher")));
    SetPlayerEngines(zentavo_player_engines());
    m_http = std::make_unique<TestHttpServer>();
    Media::LongAudio();
    m_http->serveDirectory(Media::Folder());
}

void tst_Tray::cleanupTestCase()
{
    SetPlayerEngines(nullptr);
    m_hostThread.quit();
    m_hostThread.wait();
}

void tst_Tray::closingKeepsPlayingInTheTray()
{
    QVERIFY(TrayIcon::isAvailable());
    for (const bool keep : {true, false}) {
        TempAppDir dir;
        dir.installCatalogue();
        TGlobal global(dir.path());
        global.KeepInTray = keep;
        Tfrm_Main w(global);
        ShowWithFirstList(w);
        QTRY_VERIFY(!m_watcher->items().isEmpty()); // the icon is in the tray
        w.PlayStream(m_http->url(QStringLiteral("/long.mp3")), QStringLiteral("Long Radio"));
        QTRY_COMPARE_WITH_TIMEOUT(w.playback()->PlayState, 3, 15000);
        QTRY_VERIFY(w.desktop()->tray()->toolTip().contains(QStringLiteral("Long Radio")));
        QCOMPARE(w.close(), !keep);
        QVERIFY(!w.isVisible());
        if (!keep)
            continue;
        QTest::qWait(300);
        QCOMPARE(w.playback()->PlayState, 3); // still playing
        // The tray brings the window back; its Quit really closes it.
        QMenu *menu = w.desktop()->tray()->menu();
        menu->actions().first()->trigger();
        QTRY_VERIFY(w.isVisible());
        QSignalSpy quit(w.desktop(), &DesktopLink::quitRequested);
        menu->actions().last()->trigger();
        QCOMPARE(quit.size(), 1);
        QVERIFY(!w.isVisible());
    }
}

QTEST_MAIN(tst_Tray)
#include "tst_tray.moc"
