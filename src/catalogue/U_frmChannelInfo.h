#pragma once

#include "FavoritesStore.h"

#include <QDialog>

class ChannelItem;
class TGlobal;
namespace Ui {
class TFrmChannelInfo;
}

// The channel dialog: edits a favourite, or describes a new channel for the favourites.
class TFrmChannelInfo : public QDialog
{
    Q_OBJECT

public:
    TFrmChannelInfo(TGlobal &global, QWidget *parent = nullptr);
    ~TFrmChannelInfo() override;

    // Stands in the stream field of a favourite: the stored address is never shown.
    static QString UrlMask() { return QStringLiteral("*******************************************"); }

    // Fills the fields from a favourite (the stream shows UrlMask). Raises ZError when the
    // favourite lacks ChannelName, INFO, Co, SP or ID.
    void fillFrom(const ChannelItem &favourite);
    // The fields as they go to the file. The stream is trimmed; left as UrlMask, it stays
    // `storedUrl`.
    ChannelFields fields(const QString &storedUrl = {}) const;

    void btnOkClick();
    void btnCancelClick();
    void SpeedButton1Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Ui::TFrmChannelInfo *m_ui;
};
