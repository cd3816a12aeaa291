#pragma once

#include <QDialog>

class QTimer;
class TGlobal;
class THttpCli;
namespace Ui {
class TFrmUpdate;
}

// Asks the vendor site whether a newer program version exists, says so, and opens the download
// page when one does.
class TFrmUpdate : public QDialog
{
    Q_OBJECT

public:
    TFrmUpdate(TGlobal &global, QWidget *parent = nullptr);
    ~TFrmUpdate() override;

    void Timer1Timer();

protected:
    void showEvent(QShowEvent *event) override;

private:
    Ui::TFrmUpdate *m_ui;
    TGlobal &m_global;
    QTimer *Timer1;
    THttpCli *HttpGetversion;
    bool m_openDownloadPage = false;
};
