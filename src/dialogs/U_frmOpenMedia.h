#pragma once

#include <QDialog>

class TGlobal;
namespace Ui {
class TFrmOpenMedia;
}

// Lets the user type a stream address or a media file's path, or pick a file, to play it.
class TFrmOpenMedia : public QDialog
{
    Q_OBJECT

public:
    TFrmOpenMedia(TGlobal &global, QWidget *parent = nullptr);
    ~TFrmOpenMedia() override;

    // The text of the edit box at the moment OK was pressed, exactly as typed.
    QString MediaName() const { return m_mediaName; }

    void btnOkClick();
    void btnCancelClick();
    void btnBrowseClick();

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Ui::TFrmOpenMedia *m_ui;
    QString m_mediaName;
};
