#pragma once

#include <QDialog>

class QLabel;
class TGlobal;
namespace Ui {
class TFrmAbout;
}

// The about box: product name and version, the vendor's site and mailboxes as links.
class TFrmAbout : public QDialog
{
    Q_OBJECT

public:
    TFrmAbout(TGlobal &global, QWidget *parent = nullptr);
    ~TFrmAbout() override;

    void Label4Click();
    void Label5Click();
    void Label8Click();
    void Label5MouseMove(QLabel *link);
    void Label5MouseLeave(QLabel *link);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QString siteAddress() const;

    Ui::TFrmAbout *m_ui;
};
