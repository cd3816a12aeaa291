#include "U_frmUpdate.h"
#include "ui_U_frmUpdate.h"

#include "HttpCli.h"
#include "VendorSite.h"
#include "VersionFile.h"
#include "appearance/Artwork.h"
#include "appearance/FitToText.h"
#include "appearance/SkinEngine.h"
#include "base/Errors.h"
#include "base/Guard.h"
#include "base/Paths.h"
#include "base/Prompter.h"
#include "base/ShellOpen.h"
#include "base/pGloba.h"

#include <QPushButton>
#include <QTimer>

TFrmUpdate::TFrmUpdate(TGlobal &global, QWidget *parent)
    : QDialog(parent), m_ui(new Ui::TFrmUpdate), m_global(global), Timer1(new QTimer(this)),
      HttpGetversion(new THttpCli(QStringLiteral("HttpGetversion"), this))
{
    m_ui->setupUi(this);
    SkinEngine::SetUp(this, global.SkinPath);
    FitToText(this, QSize(337, 92), WindowFrame::Fixed);
    m_ui->Image1->setPixmap(
        QPixmap::fromImage(Artwork::image(QStringLiteral("zentavo"), QSize(48, 48), devicePixelRatioF())));
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(10);
    connect(m_ui->btnCancel, &QPushButton::clicked, this, &TFrmUpdate::btnCancelClick);
    connect(Timer1, &QTimer::timeout, this, [this] { Guarded(this, [this] { Timer1Timer(); }); });
}

TFrmUpdate::~TFrmUpdate()
{
    delete m_ui;
}

void TFrmUpdate::btnCancelClick()
{
    m_cancelled = true;
    if (HttpGetversion->isBusy())
        HttpGetversion->Abort(); // the request unwinds, then the dialog closes
    else
        QDialog::reject();
}

void TFrmUpdate::reject()
{
    // Esc and the window's close box cancel like the button does.
    btnCancelClick();
}

void TFrmUpdate::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    Timer1->start();
}

void TFrmUpdate::Timer1Timer()
{
    Timer1->stop();
    m_openDownloadPage = false;
    // Whatever happens, the dialog closes, and the download page opens after a newer version.
    const auto cleanup = qScopeGuard([this] {
        if (m_cancelled) {
            QDialog::reject();
            return;
        }
        accept();
        if (m_openDownloadPage)
            ShellOpen(VendorSite() + QStringLiteral("download.htm"));
    });
    const QString local = FindPath(m_global.CacheDir, QStringLiteral("updateinfo.txt"));
    HttpGetversion->URL = VendorSite() + QStringLiteral("download/updateinfo.txt");
    HttpGetversion->MaxBodySize = kMaxVersionFileSize;
    ReceiveFile file(*HttpGetversion, local);
    try {
        HttpGetversion->Get();
        const QStringList lines = VersionLines(file.contents());
        const auto newest = VersionNumber(lines.value(0));
        if (lines.isEmpty() || !newest)
            throw ZError(QStringLiteral("The version file holds no version number"));
        if (*newest > m_global.Version) {
            if (lines.size() < 2)
                throw ZError(QStringLiteral("The version file does not name the new version"));
            ShowMessage(this, QStringLiteral("A newer version ") + lines[1] + QStringLiteral(" was found.download it?"),
                        MsgIcon::Information);
            m_openDownloadPage = true;
        } else {
            ShowMessage(this, QStringLiteral("Haven't found new version in server!"), MsgIcon::Information);
        }
    } catch (const EHttpException &) {
        file.discard();
        // Cancelled: the dialog is going, and says nothing more.
        if (!m_cancelled)
            ShowMessage(this, QStringLiteral("Downloaded unsuccessfully.Please try again!"), MsgIcon::Information);
    } catch (const std::exception &) {
        ShowMessage(this, QStringLiteral("Downloaded unsuccessfully.Please try again!"), MsgIcon::Information);
    }
}
