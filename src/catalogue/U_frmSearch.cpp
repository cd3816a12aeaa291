#include "U_frmSearch.h"
#include "ui_U_frmSearch.h"

#include "ChannelSearch.h"
#include "ChannelText.h"
#include "ListDocuments.h"
#include "appearance/SkinEngine.h"
#include "base/Guard.h"
#include "base/Prompter.h"
#include "base/ShellOpen.h"
#include "base/pGloba.h"
#include "playback/PlayTarget.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QMenu>

TFrmSearch::TFrmSearch(TGlobal &global, PlayTarget &player, QWidget *parent)
    : QDialog(parent), m_ui(new Ui::TFrmSearch), m_global(global), m_player(player)
{
    m_ui->setupUi(this);
    SkinEngine::SetUp(this, global.SkinPath);
    m_ui->cobChannel->setCurrentIndex(0);
    QTreeWidget *list = m_ui->listChannel;
    list->setColumnWidth(0, 80);
    list->setColumnWidth(1, 130);
    list->setColumnWidth(2, 85);
    list->setColumnWidth(3, 115);

    popContorl = new QMenu(this);
    popContorl->setObjectName(QStringLiteral("popContorl"));
    popContorl->addActions({m_ui->Play1, m_ui->Vis1});

    m_ui->edtName->installEventFilter(this);
    connect(m_ui->Button1, &QPushButton::clicked, this, [this] { Guarded(this, [this] { Button1Click(); }); });
    connect(m_ui->btnCancel, &QPushButton::clicked, this, &TFrmSearch::btnCancelClick);
    connect(list, &QTreeWidget::itemDoubleClicked, this, [this] { Guarded(this, [this] { listChannelDblClick(); }); });
    connect(m_ui->Play1, &QAction::triggered, this, [this] { Guarded(this, [this] { Play1Click(); }); });
    connect(m_ui->Vis1, &QAction::triggered, this, [this] { Guarded(this, [this] { Vis1Click(); }); });
    connect(list, &QWidget::customContextMenuRequested, this,
            [this, list](const QPoint &pos) { popContorl->popup(list->viewport()->mapToGlobal(pos)); });
}

TFrmSearch::~TFrmSearch()
{
    delete m_ui;
}

bool TFrmSearch::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_ui->edtName && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            Guarded(this, [this] { Button1Click(); });
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFrmSearch::setPlaylists(const QList<QPair<QString, QString>> &playlists)
{
    m_playlists = playlists;
    const bool offered = m_ui->cobChannel->count() > 4;
    if (!playlists.isEmpty() && !offered)
        m_ui->cobChannel->addItem(QStringLiteral("Search in Playlists"));
    else if (playlists.isEmpty() && offered)
        m_ui->cobChannel->removeItem(4);
}

void TFrmSearch::Button1Click()
{
    const QString key = SearchKey(m_ui->edtName->text());
    if (key.isEmpty())
        return;
    if (m_scanning) {
        // The scan under way stops and this search takes its place once it has unwound.
        m_stop = Stop::Restart;
        return;
    }
    m_ui->listChannel->clear();
    m_searchUrls.clear();
    m_searchTypes.clear();

    struct Scope
    {
        QString file;
        QString label;
    };
    const Scope tv{m_global.TVListFile, QStringLiteral("TV Channels")};
    const Scope radio{m_global.RadioListFile, QStringLiteral("Radio Stations")};
    const Scope fav{m_global.FavListFile, QStringLiteral("My Favorites")};
    QList<Scope> playlists;
    for (const auto &[name, file] : std::as_const(m_playlists))
        playlists.append({file, name});
    QList<Scope> scopes;
    switch (m_ui->cobChannel->currentIndex()) {
    case 0:
        scopes = {tv};
        break;
    case 1:
        scopes = {radio};
        break;
    case 2:
        scopes = {fav};
        break;
    case 4:
        scopes = playlists;
        break;
    default:
        scopes = QList<Scope>{tv, radio, fav} + playlists;
        break;
    }
    m_scanning = true;
    m_stop = Stop::None;
    for (const Scope &s : std::as_const(scopes)) {
        if (!scan(s.file, s.label, key))
            break;
    }
    m_scanning = false;
    const Stop stop = std::exchange(m_stop, Stop::None);
    if (stop == Stop::Restart)
        QMetaObject::invokeMethod(
            this, [this] { Guarded(this, [this] { Button1Click(); }); }, Qt::QueuedConnection);
    else if (stop == Stop::Close)
        QDialog::reject();
}

bool TFrmSearch::scan(const QString &listFile, const QString &label, const QString &key)
{
    m_ui->btnCancel->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QElapsedTimer slice;
    slice.start();
    bool stopped = false;
    try {
        xmlChannle.reset();
        xmlChannle = OpenListDocumentRunningEvents(listFile);
        stopped = m_stop != Stop::None; // asked while the list was read
        if (!stopped)
            ScanChannels(
                *xmlChannle, key, label,
                [this](const SearchRow &row) {
                    new QTreeWidgetItem(m_ui->listChannel, {row.label, row.name, row.country, row.website});
                    m_searchUrls.append(row.url);
                    m_searchTypes.append(row.type);
                },
                [&] {
                    if (slice.elapsed() >= kEventSliceMs) {
                        QCoreApplication::processEvents();
                        slice.restart();
                    }
                    stopped = m_stop != Stop::None;
                    return !stopped;
                });
    } catch (const std::exception &) {
        QApplication::restoreOverrideCursor();
        ShowMessage(this, QStringLiteral("Search failed.Please download the new version!"), MsgIcon::None);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        stopped = m_stop != Stop::None;
    }
    m_ui->btnCancel->setEnabled(true);
    QApplication::restoreOverrideCursor();
    return !stopped;
}

int TFrmSearch::selectedRow() const
{
    const QTreeWidgetItem *item = m_ui->listChannel->currentItem();
    if (!item || !item->isSelected())
        return -1;
    return m_ui->listChannel->indexOfTopLevelItem(const_cast<QTreeWidgetItem *>(item));
}

void TFrmSearch::listChannelDblClick()
{
    const int r = selectedRow();
    if (r < 0 || r >= m_searchUrls.size())
        return;
    const QString url = m_searchUrls[r];
    // An empty address would replay whatever played last: such a row plays nothing.
    if (url.trimmed().isEmpty())
        return;
    const QString name = m_ui->listChannel->topLevelItem(r)->text(1);
    m_player.SetCurrentChannelType(ChannelNumber(m_searchTypes[r]));
    m_player.PlayStream(url, name);
}

void TFrmSearch::Vis1Click()
{
    const int r = selectedRow();
    if (r < 0)
        return;
    const QString site = m_ui->listChannel->topLevelItem(r)->text(3).trimmed();
    if (site.size() > 5)
        ShellOpen(site);
}

void TFrmSearch::btnCancelClick()
{
    reject();
}

void TFrmSearch::reject()
{
    // Closing while a scan runs ends the scan first; the dialog closes once it has unwound.
    if (m_scanning) {
        m_stop = Stop::Close;
        return;
    }
    QDialog::reject();
}
