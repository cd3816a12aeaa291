#include "U_frmChannelsUpdate.h"
#include "ui_U_frmChannelsUpdate.h"

#include "HttpCli.h"
#include "VendorSite.h"
#include "appearance/FitToText.h"
#include "appearance/SkinEngine.h"
#include "catalogue/ListCheck.h"
#include "catalogue/ListCipher.h"
#include "base/Errors.h"
#include "base/Guard.h"
#include "base/Paths.h"
#include "base/Prompter.h"
#include "base/pGloba.h"

#include <QFile>
#include <QTimer>
#include <optional>

TFrmChannelsUpdate::TFrmChannelsUpdate(TGlobal &global, QWidget *parent)
    : QDialog(parent), m_ui(new Ui::TFrmChannelsUpdate), m_global(global), Timer1(new QTimer(this)),
      HttpGetfile(new THttpCli(QStringLiteral("HttpGetfile"), this))
{
    m_ui->setupUi(this);
    SkinEngine::SetUp(this, global.SkinPath);
    FitToText(this, QSize(421, 177), WindowFrame::Fixed);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, [this] { Guarded(this, [this] { Timer1Timer(); }); });
    connect(HttpGetfile, &THttpCli::OnDocBegin, this, &TFrmChannelsUpdate::HttpGetfileDocBegin);
    connect(HttpGetfile, &THttpCli::OnDocData, this, &TFrmChannelsUpdate::HttpGetfileDocData);
    connect(m_ui->btnCancel, &QPushButton::clicked, this, &TFrmChannelsUpdate::btnCancelClick);
}

TFrmChannelsUpdate::~TFrmChannelsUpdate()
{
    delete m_ui;
}

void TFrmChannelsUpdate::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    ExpectedSize = 0;
    Timer1->start();
}

void TFrmChannelsUpdate::Timer1Timer()
{
    Timer1->stop();
    const QString temporary = FindPath(m_global.CacheDir, QStringLiteral("TV.CHL"));
    HttpGetfile->URL = VendorSite() + QStringLiteral("download/tv4.chl");
    HttpGetfile->MaxBodySize = kMaxListFileSize;
    // A file that cannot be created is not a failed download: it goes to the error report.
    std::optional<ReceiveFile> file;
    file.emplace(*HttpGetfile, temporary);
    try {
        HttpGetfile->Get();
        file.reset(); // closed: everything received is on disk
        // Only a real channel list replaces the one in use, and it does so whole.
        const ListCheck check = CheckListFile(temporary);
        if (!check.isChannelList())
            throw ZError(QStringLiteral("The downloaded file is not a channel list: %1")
                             .arg(check.error.isEmpty() ? QStringLiteral("it holds no group of channels.")
                                                        : check.error));
        QString why;
        if (!CopyFileReplacing(temporary, m_global.TVListTarget, &why))
            throw ZError(QStringLiteral("Cannot replace %1: %2").arg(m_global.TVListTarget, why));
        // An installed program read the shipped list so far: the user's own is the one now.
        m_global.TVListFile = m_global.TVListTarget;
    } catch (const std::exception &e) {
        // Nothing of a failed download stays; the message says what failed, then the dialog goes.
        file.reset();
        QFile::remove(temporary);
        if (!Cancelled) {
            ShowMessage(this,
                        QStringLiteral("Downloaded unsuccessfully.Please try again!\n") + QString::fromUtf8(e.what()),
                        MsgIcon::Information);
            QDialog::reject();
        }
        return;
    }
    ShowMessage(this, QStringLiteral("Updated successfully!"), MsgIcon::Information);
    accept();
}

void TFrmChannelsUpdate::HttpGetfileDocBegin()
{
    // Without an announced length the bar just shows that something is happening.
    const qint64 length = HttpGetfile->ContentLength;
    m_ui->ProgressBar1->setMaximum(length > 0 ? int(qMin<qint64>(length, INT_MAX)) : 0);
    ExpectedSize = length;
}

void TFrmChannelsUpdate::HttpGetfileDocData()
{
    const qint64 received = HttpGetfile->ReceivedCount;
    if (m_ui->ProgressBar1->maximum() > 0)
        m_ui->ProgressBar1->setValue(int(qMin<qint64>(received, m_ui->ProgressBar1->maximum())));
    if (ExpectedSize > 0)
        m_ui->Label2->setText(QStringLiteral("Current file size:    %1 / %2 Byte").arg(received).arg(ExpectedSize));
}

void TFrmChannelsUpdate::btnCancelClick()
{
    Cancelled = true;
    HttpGetfile->Abort();
    QDialog::reject();
}

void TFrmChannelsUpdate::reject()
{
    // Esc and the window's close box cancel like the button does.
    btnCancelClick();
}
