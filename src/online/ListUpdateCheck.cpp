#include "ListUpdateCheck.h"

#include "HttpCli.h"
#include "U_frmChannelsUpdate.h"
#include "VendorSite.h"
#include "VersionFile.h"
#include "base/Guard.h"
#include "base/Paths.h"
#include "base/Prompter.h"
#include "base/pGloba.h"

#include <QAction>
#include <QTimer>

#include <memory>

ListUpdateCheck::ListUpdateCheck(TGlobal &global, QWidget *window, QAction *actTV, QObject *parent)
    : QObject(parent), Timer1(new QTimer(this)), HttpGetversion(new THttpCli(QStringLiteral("HttpGetversion"), this)),
      m_global(global), m_window(window), m_actTV(actTV)
{
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, [this] { Guarded(m_window, [this] { Timer1Timer(); }); });
}

void ListUpdateCheck::FormShow()
{
    if (m_global.Download)
        Timer1->start();
}

void ListUpdateCheck::Timer1Timer()
{
    Timer1->stop();
    const QString local = FindPath(m_global.CacheDir, QStringLiteral("channelsinfo.txt"));
    HttpGetversion->URL = VendorSite() + QStringLiteral("download/channelsinfo4.txt");
    int serverVersion = 0;
    bool newer = false;
    HttpGetversion->MaxBodySize = kMaxVersionFileSize;
    {
        ReceiveFile file(*HttpGetversion, local);
        try {
            HttpGetversion->Get();
            const QStringList lines = VersionLines(file.contents());
            if (lines.size() >= 2) {
                serverVersion = VersionNumber(lines[0]).value_or(0);
                newer = m_global.TVVersion < serverVersion;
            }
        } catch (const EHttpException &) {
            newer = false; // no answer is no newer list
            file.discard();
        }
    }
    if (!newer)
        return;
    if (!AskOkCancel(m_window,
                     QStringLiteral("New list of channel were found in the server!\r\nDo you want to update?"),
                     MsgIcon::Information))
        return;
    TFrmChannelsUpdate dlg(m_global, m_window);
    if (dlg.exec() != QDialog::Accepted)
        return;
    // The new list is in place: its version is recorded, then it is shown.
    m_global.TVVersion = serverVersion;
    m_global.SaveSettings();
    showNewList();
}

void ListUpdateCheck::showNewList()
{
    if (m_actTV->isEnabled()) {
        m_actTV->trigger();
        return;
    }
    // A list is loading (the check ran while the first list was read): the new TV list shows
    // once that load has ended, rather than not at all. Queued: the load enables the action
    // before it has quite ended.
    auto pending = std::make_shared<QMetaObject::Connection>();
    *pending = connect(m_actTV, &QAction::enabledChanged, this, [this, pending](bool enabled) {
        if (!enabled)
            return;
        disconnect(*pending);
        QTimer::singleShot(0, this, &ListUpdateCheck::showNewList);
    });
}
