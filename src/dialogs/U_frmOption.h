#pragma once

#include <QDialog>

class TGlobal;
namespace Ui {
class TFrmOption;
}

// Preferences: the list shown at start-up, the start-up list check, tree icons, stay on top.
// OK stores the four settings and writes them at once; each takes effect where it is next read.
class TFrmOption : public QDialog
{
    Q_OBJECT

public:
    TFrmOption(TGlobal &global, QWidget *parent = nullptr);
    ~TFrmOption() override;

    void btnOkClick();
    void btnCancelClick();

private:
    TGlobal &m_global;
    Ui::TFrmOption *m_ui;
};
