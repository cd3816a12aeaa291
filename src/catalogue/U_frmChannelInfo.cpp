#include "U_frmChannelInfo.h"
#include "ui_U_frmChannelInfo.h"

#include "ChannelText.h"
#include "appearance/Artwork.h"
#include "appearance/SkinEngine.h"
#include "base/Prompter.h"
#include "base/ShellOpen.h"
#include "base/TextUtil.h"
#include "base/pGloba.h"

#include <QKeyEvent>

TFrmChannelInfo::TFrmChannelInfo(TGlobal &global, QWidget *parent) : QDialog(parent), m_ui(new Ui::TFrmChannelInfo)
{
    m_ui->setupUi(this);
    SkinEngine::SetUp(this, global.SkinPath);
    m_ui->SpeedButton1->setIcon(Artwork::icon(QStringLiteral("web")));
    m_ui->cobType->setCurrentIndex(-1);
    m_ui->edtSpeed->installEventFilter(this);
    m_ui->edtSpeed->setFocus();
    connect(m_ui->btnOk, &QPushButton::clicked, this, &TFrmChannelInfo::btnOkClick);
    connect(m_ui->btnCancel, &QPushButton::clicked, this, &TFrmChannelInfo::btnCancelClick);
    connect(m_ui->SpeedButton1, &QToolButton::clicked, this, &TFrmChannelInfo::SpeedButton1Click);
}

TFrmChannelInfo::~TFrmChannelInfo()
{
    delete m_ui;
}

void TFrmChannelInfo::fillFrom(const ChannelItem &favourite)
{
    m_ui->edtName->setText(favourite.text("ChannelName"));
    m_ui->edtURL->setText(UrlMask());
    m_ui->edtHome->setText(favourite.text("INFO"));
    m_ui->edtCountry->setText(favourite.text("Co"));
    m_ui->edtSpeed->setText(favourite.text("SP"));
    m_ui->editID->setText(favourite.text("ID"));
    int type = 0;
    const bool known = ParseDecimal(favourite.attribute("Ty").value_or(QString()), &type) && type >= 1 && type <= 3;
    m_ui->cobType->setCurrentIndex(known ? type - 1 : -1);
}

ChannelFields TFrmChannelInfo::fields(const QString &storedUrl) const
{
    const QString url = m_ui->edtURL->text();
    return ChannelFields{m_ui->edtName->text(),    url == UrlMask() ? storedUrl : url.trimmed(),
                         m_ui->edtHome->text(),    m_ui->cobType->currentIndex() + 1,
                         m_ui->edtCountry->text(), m_ui->edtSpeed->text(),
                         m_ui->editID->text()};
}

void TFrmChannelInfo::btnOkClick()
{
    if (m_ui->cobType->currentIndex() < 0) {
        ShowMessage(this, QStringLiteral("Please select Category in the List!"), MsgIcon::Information);
        m_ui->cobType->setFocus();
        return;
    }
    accept();
}

void TFrmChannelInfo::btnCancelClick()
{
    reject();
}

void TFrmChannelInfo::SpeedButton1Click()
{
    const QString site = m_ui->edtHome->text().trimmed();
    if (!site.isEmpty())
        ShellOpen(site);
}

bool TFrmChannelInfo::eventFilter(QObject *watched, QEvent *event)
{
    // The speed field takes digits, a full stop, backspace and Enter as typed; pasting is free.
    if (watched == m_ui->edtSpeed && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const QString t = key->text();
        const bool typing =
            !t.isEmpty() && t[0].isPrint() && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
        if (typing && !(t.size() == 1 && ((t[0] >= u'0' && t[0] <= u'9') || t[0] == u'.')))
            return true;
    }
    return QDialog::eventFilter(watched, event);
}
