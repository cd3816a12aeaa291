#include "uAbout.h"
#include "ui_uAbout.h"

#include "appearance/Artwork.h"
#include "appearance/FitToText.h"
#include "appearance/SkinEngine.h"
#include "base/ShellOpen.h"
#include "base/pGloba.h"
#include "online/VendorSite.h"

#include <QMouseEvent>

namespace {

void setLinkLook(QLabel *link, const QColor &color, const QString &family)
{
    QFont f = link->font();
    f.setFamily(family);
    f.setUnderline(true);
    link->setFont(f);
    QPalette p = link->palette();
    p.setColor(QPalette::WindowText, color);
    link->setPalette(p);
    // The link keeps its own colour whatever the skin says of labels.
    link->setStyleSheet(QStringLiteral("color: %1;").arg(color.name()));
}

} // namespace

TFrmAbout::TFrmAbout(TGlobal &global, QWidget *parent) : QDialog(parent), m_ui(new Ui::TFrmAbout)
{
    m_ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    SkinEngine::SetUp(this, global.SkinPath);

    m_ui->Image1->setPixmap(
        QPixmap::fromImage(Artwork::image(QStringLiteral("zentavo"), QSize(32, 32), devicePixelRatioF())));
    QFont title = m_ui->lab->font();
    title.setBold(true);
    title.setPointSizeF(title.pointSizeF() * 1.3);
    m_ui->lab->setFont(title);

    m_ui->Label4->setText(siteAddress());
    m_ui->Label5->setText(QString::fromUtf16(SupportMail));
    m_ui->Label8->setText(QString::fromUtf16(SalesMail));
    for (QLabel *link : {m_ui->Label4, m_ui->Label5, m_ui->Label8}) {
        link->setTextFormat(Qt::PlainText); // the site's address may come from the environment
        setLinkLook(link, QColor(0, 0, 255), QStringLiteral("MS Sans Serif"));
        link->setMouseTracking(true);
        link->installEventFilter(this);
    }
    FitToText(this, QSize(370, 184), WindowFrame::Fixed);
}

TFrmAbout::~TFrmAbout()
{
    delete m_ui;
}

QString TFrmAbout::siteAddress() const
{
    QString site = VendorSite();
    site.chop(1);
    return site;
}

void TFrmAbout::Label4Click()
{
    ShellOpen(siteAddress());
}

void TFrmAbout::Label5Click()
{
    ShellOpen(QStringLiteral("mailto:") + QString::fromUtf16(SupportMail));
}

void TFrmAbout::Label8Click()
{
    ShellOpen(QStringLiteral("mailto:") + QString::fromUtf16(SalesMail));
}

void TFrmAbout::Label5MouseMove(QLabel *link)
{
    setCursor(Qt::PointingHandCursor);
    setLinkLook(link, QColor(0, 0, 128), QStringLiteral("MS Sans Serif"));
}

void TFrmAbout::Label5MouseLeave(QLabel *link)
{
    unsetCursor();
    setLinkLook(link, QColor(0, 0, 255), QStringLiteral("Tahoma"));
}

bool TFrmAbout::eventFilter(QObject *watched, QEvent *event)
{
    auto *link = qobject_cast<QLabel *>(watched);
    if (link && (link == m_ui->Label4 || link == m_ui->Label5 || link == m_ui->Label8)) {
        switch (event->type()) {
        case QEvent::MouseMove:
            Label5MouseMove(link);
            break;
        case QEvent::Leave:
            Label5MouseLeave(link);
            break;
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton &&
                link->rect().contains(static_cast<QMouseEvent *>(event)->position().toPoint())) {
                if (link == m_ui->Label4)
                    Label4Click();
                else if (link == m_ui->Label5)
                    Label5Click();
                else
                    Label8Click();
            }
            break;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}
