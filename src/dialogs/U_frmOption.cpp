#include "U_frmOption.h"
#include "ui_U_frmOption.h"

#include "appearance/FitToText.h"
#include "appearance/SkinEngine.h"
#include "base/Guard.h"
#include "base/pGloba.h"

namespace {
// The guide refresh choices, in the order of their box.
const QList<int> kGuideHours{6, 12, 24, 0};
} // namespace

TFrmOption::TFrmOption(TGlobal &global, QWidget *parent) : QDialog(parent), m_global(global), m_ui(new Ui::TFrmOption)
{
    m_ui->setupUi(this);
    SkinEngine::SetUp(this, m_global.SkinPath);
    FitToText(this, QSize(352, 217), WindowFrame::Fixed);
    m_ui->comDisplayList->setCurrentIndex(m_global.DiplayList);
    m_ui->chkDown->setChecked(m_global.Download);
    m_ui->cheOntop->setChecked(m_global.Ontop);
    m_ui->cheShowIcon->setChecked(m_global.ShowIcon);
    m_ui->chePlayLast->setChecked(m_global.PlayLastChannel);
    m_ui->cheKeepInTray->setChecked(m_global.KeepInTray);
    m_ui->cheCheckAtStart->setChecked(m_global.CheckAtStart);
    m_ui->cheNotify->setChecked(m_global.TitleNotifications);
    m_ui->comGuideRefresh->setCurrentIndex(std::max<qsizetype>(0, kGuideHours.indexOf(m_global.GuideRefreshHours)));
    connect(m_ui->btnOk, &QPushButton::clicked, this, [this] { Guarded(this, [this] { btnOkClick(); }); });
    connect(m_ui->btnCancel, &QPushButton::clicked, this, &TFrmOption::btnCancelClick);
}

TFrmOption::~TFrmOption()
{
    delete m_ui;
}

void TFrmOption::btnOkClick()
{
    m_global.DiplayList = m_ui->comDisplayList->currentIndex();
    m_global.Download = m_ui->chkDown->isChecked();
    m_global.Ontop = m_ui->cheOntop->isChecked();
    m_global.ShowIcon = m_ui->cheShowIcon->isChecked();
    m_global.PlayLastChannel = m_ui->chePlayLast->isChecked();
    m_global.KeepInTray = m_ui->cheKeepInTray->isChecked();
    m_global.CheckAtStart = m_ui->cheCheckAtStart->isChecked();
    m_global.TitleNotifications = m_ui->cheNotify->isChecked();
    m_global.GuideRefreshHours = kGuideHours.value(m_ui->comGuideRefresh->currentIndex(), 24);
    m_global.SaveSettings();
    accept();
}

void TFrmOption::btnCancelClick()
{
    reject();
}
