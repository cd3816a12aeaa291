#pragma once

#include "XmlDocument.h"

#include <QDialog>
#include <QList>
#include <QPair>
#include <QStringList>
#include <memory>

class PlayTarget;
class QMenu;
class TGlobal;
namespace Ui {
class TFrmSearch;
}

// Finds channels by name in the TV list, the radio list, the favourites or all three, and plays
// a found channel or opens its web site. A scan lets pending events run; a search started
// while one runs replaces it.
class TFrmSearch : public QDialog
{
    Q_OBJECT

public:
    TFrmSearch(TGlobal &global, PlayTarget &player, QWidget *parent = nullptr);
    ~TFrmSearch() override;

    // The user's playlists (name, list file): a scope of their own, and part of Search All.
    void setPlaylists(const QList<QPair<QString, QString>> &playlists);

    void Button1Click();
    void listChannelDblClick();
    void Play1Click() { listChannelDblClick(); }
    void Vis1Click();
    void btnCancelClick();

    bool isScanning() const { return m_scanning; }
    // Parallel to the rows: each row's stream address and Ty.
    const QStringList &SearchUrls() const { return m_searchUrls; }
    const QStringList &SearchTypes() const { return m_searchTypes; }

    static constexpr int kEventSliceMs = 8;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void reject() override;

private:
    enum class Stop { None, Restart, Close };
    // Scans one list; returns false when the scan was stopped.
    bool scan(const QString &listFile, const QString &label, const QString &key);
    int selectedRow() const;

    Ui::TFrmSearch *m_ui;
    TGlobal &m_global;
    PlayTarget &m_player;
    QMenu *popContorl;
    std::shared_ptr<const XmlDocument> xmlChannle; // the list being scanned
    QList<QPair<QString, QString>> m_playlists;
    QStringList m_searchUrls;
    QStringList m_searchTypes;
    bool m_scanning = false;
    Stop m_stop = Stop::None;
};
