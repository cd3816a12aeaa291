#pragma once

#include <QDialog>

class QTimer;
class TGlobal;
class THttpCli;
namespace Ui {
class TFrmUpdate;
}

// Asks the vendor site whether a newer program version exists, says so, and opens the download
// page when one does. Cancel (Esc, the close box) aborts the request and closes without a word.
class TFrmUpdate : public QDialog
{
    Q_OBJECT

public:
    TFrmUpdate(TGlobal &global, QWidget *parent = nullptr);
    ~TFrmUpdate() override;

    void Timer1Timer();
    void btnCancelClick();

protected:
    void showEvent(QShowEvent *event) override;
    void reject() override;

private:
    Ui::TFrmUpdate *m_ui;
    TGlobal &m_global;
    QTimer *Timer1;
    THttpCli *HttpGetversion;
    bool m_openDownloadPage = false;
    bool m_cancelled = false;
};
