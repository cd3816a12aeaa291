// Text from hostile servers reaches the window only as plain text: a label, tooltip or dialog
// that took `<img src=/dev/zero>` as markup would read /dev/zero until the process died.
#include "MediaFixtures.h"
#include "PlayerWindow.h"
#include "TestHttpServer.h"
#include "UiDriver.h"
#include "base/pGloba.h"
#include "desktop/DesktopLink.h"
#include "desktop/TrayIcon.h"
#include "playback/NowPlaying.h"
#include "playback/PlaybackControl.h"
#include "playback/PlayerComponents.h"
#include "playlists/PlaylistCommands.h"
#include "playlists/PlaylistStore.h"
#include "shell/U_frm_Main.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QTest>
#include <QTextDocument>
#include <QTreeWidget>

extern "C" engine::Factory *zentavo_player_engines();

namespace {

const QByteArray kMarkup = "<img src=/dev/zero>";

QByteArray item(const QByteArray &name, const QString &url, int engine)
{
    return "<Item ChannelName=\"" + name + "\" URL=\"" + url.toUtf8() + "\" INFO=\"\" Ty=\"2\" MT=\"" +
           QByteArray::number(engine) + "\" Co=\"\" SP=\"1\" T=\"\" I=\"\" ID=\"\"/>";
}

// Every text of the application's widgets that Qt would take as markup with an image in it.
QStringList markupShown(const QStringList &more = {})
{
    QStringList found;
    const auto check = [&](const QString &text, const QString &where) {
        if (text.contains(QStringLiteral("<img")) && Qt::mightBeRichText(text))
            found.append(where + QStringLiteral(": ") + text.left(80));
    };
    for (QWidget *w : QApplication::allWidgets()) {
        const QString name = QString::fromLatin1(w->metaObject()->className()) + u' ' + w->objectName();
        if (auto *label = qobject_cast<QLabel *>(w); label && label->textFormat() != Qt::PlainText)
            check(label->text(), QStringLiteral("label ") + name);
        check(w->toolTip(), QStringLiteral("tooltip of ") + name);
        if (auto *tree = qobject_cast<QTreeWidget *>(w)) {
            for (QTreeWidgetItemIterator it(tree); *it; ++it) {
                for (int c = 0; c < tree->columnCount(); ++c)
                    check((*it)->toolTip(c), QStringLiteral("tooltip of an item of ") + name);
            }
        }
    }
    for (const QString &text : more)
        check(text, QStringLiteral("text"));
    return found;
}

} // namespace

class tst_HostileText : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void markupFromServersIsShownAsText();

private:
    std::unique_ptr<TestHttpServer> m_http;
};

void tst_HostileText::initTestCase()
{
    qputenv("ZENTAVO_AUDIO_OUTPUT", "null");
    SetPlayerEngines(zentavo_player_engines());
    m_http = std::make_unique<TestHttpServer>();
    QFile mp3(Media::RadioAudio());
    QVERIFY(mp3.open(QIODevice::ReadOnly));
    m_http->script(QStringLiteral("/radio"),
                   IcyStream(mp3.readAll(), {QString::fromLatin1(kMarkup + " Song")}, 8000, 1000));
    m_http->script(QStringLiteral("/gone"), "HTTP/1.1 404 " + kMarkup + "\r\nContent-Length: 0\r\n\r\n");
    m_http->script(QStringLiteral("/list.m3u"), "HTTP/1.1 500 " + kMarkup + "\r\nContent-Length: 0\r\n\r\n");
}

void tst_HostileText::cleanupTestCase()
{
    SetPlayerEngines(nullptr);
}

void tst_HostileText::markupFromServersIsShownAsText()
{
    RecordingPrompter prompts;
    const QByteArray list = "<?xml version=\"1.0\"?><ChannelList><Radio>" +
                            item("Radio &lt;img src=/dev/zero&gt;", m_http->url(QStringLiteral("/radio")), 1) +
                            item("Gone", m_http->url(QStringLiteral("/gone")), 1) + "</Radio></ChannelList>";
    PlayerWindow win(list, [this](TGlobal &global) {
        PlaylistStore(global.PlaylistDir)
            .add(QStringLiteral("Web"), m_http->url(QStringLiteral("/list.m3u")), RefreshInterval::Daily);
    });

    // A check result quoting the server's reason phrase: the channel's tooltip.
    win.action("actCheckChannels")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(child<QLabel>(*win.w, "labHealthState")->text(),
                              QStringLiteral("2 channels checked, 1 off the air"), 20000);

    // A stream title: the status line, its tooltip, the tray's tooltip.
    win.pc->PlayStream(m_http->url(QStringLiteral("/radio")), QString::fromLatin1("Radio " + kMarkup));
    QTRY_VERIFY_WITH_TIMEOUT(win.pc->nowPlaying()->streamTitle().contains(QString::fromLatin1(kMarkup)), 20000);

    // A failed playlist refresh (the one due at start): the status bar, and the Manage dialog.
    PlaylistCommands *playlists = win.w->playlists();
    playlists->refreshDue(false); // nothing new where it ran already
    QTRY_VERIFY_WITH_TIMEOUT(child<QLabel>(*win.w, "labPlaylistState")->text().contains(QString::fromLatin1(kMarkup)),
                             20000);

    QStringList inDialog;
    QString dialogState;
    WhenModal([&](QWidget *dlg) {
        dialogState = child<QLabel>(*dlg, "labState")->text();
        inDialog = markupShown();
        dlg->close();
    });
    playlists->actManagePlaylistsExecute();
    QVERIFY2(dialogState.contains(QString::fromLatin1(kMarkup)), qPrintable(dialogState));
    QVERIFY2(inDialog.isEmpty(), qPrintable(inDialog.join(u'\n')));

    const QStringList shown = markupShown({win.w->desktop()->tray()->toolTip()});
    QVERIFY2(shown.isEmpty(), qPrintable(shown.join(u'\n')));
    // What was shown is the text itself, not an empty rendering of it.
    QTextDocument tip;
    tip.setHtml(win.fullStatus());
    QVERIFY2(tip.toPlainText().contains(QString::fromLatin1(kMarkup)), qPrintable(win.fullStatus()));
}

QTEST_MAIN(tst_HostileText)
#include "tst_hostiletext.moc"
