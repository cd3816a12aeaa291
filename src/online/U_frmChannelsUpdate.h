#pragma once

#include <QDialog>

class QTimer;
class TGlobal;
class THttpCli;
namespace Ui {
class TFrmChannelsUpdate;
}

// Downloads the new TV list with a progress bar and puts it in place of data/TV.CHL. Closes
// with OK once the new list is in place; Cancel aborts the download.
class TFrmChannelsUpdate : public QDialog
{
    Q_OBJECT

public:
    TFrmChannelsUpdate(TGlobal &global, QWidget *parent = nullptr);
    ~TFrmChannelsUpdate() override;

    void Timer1Timer();
    void HttpGetfileDocBegin();
    void HttpGetfileDocData();
    void btnCancelClick();

    bool Cancelled = false;
    qint64 ExpectedSize = 0;

protected:
    void showEvent(QShowEvent *event) override;
    void reject() override;

private:
    Ui::TFrmChannelsUpdate *m_ui;
    TGlobal &m_global;
    QTimer *Timer1;
    THttpCli *HttpGetfile;
};
