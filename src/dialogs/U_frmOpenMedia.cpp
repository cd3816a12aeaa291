#include "U_frmOpenMedia.h"
#include "ui_U_frmOpenMedia.h"

#include "appearance/FitToText.h"
#include "appearance/SkinEngine.h"
#include "base/Prompter.h"
#include "base/pGloba.h"

#include <QKeyEvent>

TFrmOpenMedia::TFrmOpenMedia(TGlobal &global, QWidget *parent) : QDialog(parent), m_ui(new Ui::TFrmOpenMedia)
{
    m_ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    SkinEngine::SetUp(this, global.SkinPath);
    FitToText(this, QSize(396, 198), WindowFrame::Resizable);
    m_ui->edtMediaName->installEventFilter(this);
    connect(m_ui->btnOk, &QPushButton::clicked, this, &TFrmOpenMedia::btnOkClick);
    connect(m_ui->btnCancel, &QPushButton::clicked, this, &TFrmOpenMedia::btnCancelClick);
    connect(m_ui->btnBrowse, &QPushButton::clicked, this, &TFrmOpenMedia::btnBrowseClick);
}

TFrmOpenMedia::~TFrmOpenMedia()
{
    delete m_ui;
}

void TFrmOpenMedia::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_ui->edtMediaName->setFocus();
}

bool TFrmOpenMedia::eventFilter(QObject *watched, QEvent *event)
{
    // Enter in the address box plays at once, as the Ok button would.
    if (watched == m_ui->edtMediaName && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            m_ui->btnOk->click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFrmOpenMedia::btnOkClick()
{
    m_mediaName = m_ui->edtMediaName->text();
    accept();
}

void TFrmOpenMedia::btnCancelClick()
{
    reject();
}

void TFrmOpenMedia::btnBrowseClick()
{
    const QString path = Prompter::instance().openFileName(this, QString());
    if (!path.isEmpty())
        m_ui->edtMediaName->setText(path);
}
