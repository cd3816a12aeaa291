#include "U_frm_Main.h"
#include "ui_U_frm_Main.h"

#include "AppInfo.h"
#include "Guard.h"
#include "pGloba.h"
#include "appearance/SkinEngine.h"
#include "appearance/SkinMenu.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/FavoritesCommands.h"
#include "catalogue/U_frmSearch.h"
#include "dialogs/U_frmOpenMedia.h"
#include "dialogs/U_frmOption.h"
#include "dialogs/uAbout.h"
#include "playback/VideoLayout.h"

#include <QMenu>
#include <QMouseEvent>

Tfrm_Main::Tfrm_Main(TGlobal &global, QWidget *parent)
    : QMainWindow(parent), m_global(global), m_ui(new Ui::Tfrm_Main)
{
    m_ui->setupUi(this);
    setWindowTitle(AppTitle());
    m_ui->Splitter1->setPanel(m_ui->panLeft);
    m_ui->panFlash->raise();
    m_ui->ImagePanel1->raise();
    m_ui->ImagePanel3->raise();
    m_ui->imgMove->raise();
    SetCaptionColor(m_ui->labCap, QColor(234, 0, 0));
    m_ui->labState->setStyleSheet(
        QStringLiteral("QLabel { color: #bfe3ff; background: transparent; font-size: 11px; }"));

    QFont treeFont(QStringLiteral("Verdana"));
    treeFont.setPointSize(8);
    m_ui->treChannle->setFont(treeFont);

    buildPopups();

    m_video = new VideoLayout({this, m_ui->panLeft, m_ui->panControl, m_ui->imgWmplay, m_ui->panFlash, m_ui->act50,
                               m_ui->act100, m_ui->act200},
                              this);
    connect(m_video, &VideoLayout::resizeHandling, this, &Tfrm_Main::FormResize);

    const QList<QAction *> filterItems = m_ui->menFilter->actions();
    m_tree = new ChannelTree({m_ui->treChannle, m_ui->actFavorites, m_ui->actTV, m_ui->actRadio, filterItems, popLeft,
                              m_ui->actLeftPlay, m_ui->actAddNew, m_ui->actDelete, m_ui->actAddFav,
                              m_ui->actProperties, m_ui->actBroken, m_ui->actAddReview},
                             m_global, *this, this);
    m_favorites = new FavoritesCommands(*m_tree, m_ui->actFavorites, m_global, this);
    const auto run = [this](QAction *action, auto &&handler) {
        connect(action, &QAction::triggered, this, [this, handler] { Guarded(this, handler); });
    };
    run(m_ui->actFavorites, [this] { m_tree->actFavoritesExecute(); });
    run(m_ui->actTV, [this] { m_tree->actTVExecute(); });
    run(m_ui->actRadio, [this] { m_tree->actRadioExecute(); });
    run(m_ui->actLeftPlay, [this] { m_tree->actLeftPlayExecute(); });
    for (QAction *item : filterItems)
        run(item, [this, item] { m_tree->menNewsClick(item); });
    run(m_ui->actAddFav, [this] { m_favorites->actAddFavExecute(); });
    run(m_ui->actDelete, [this] { m_favorites->actDeleteExecute(); });
    run(m_ui->actBackup, [this] { m_favorites->actBackupExecute(); });
    run(m_ui->actRestoreFav, [this] { m_favorites->actRestoreFavExecute(); });
    run(m_ui->actProperties, [this] { m_favorites->actPropertiesExecute(); });
    run(m_ui->actAddNew, [this] { m_favorites->actAddNewExecute(); });
    run(m_ui->act50, [this] { m_video->act50Execute(); });
    run(m_ui->act100, [this] { m_video->act100Execute(); });
    run(m_ui->act200, [this] { m_video->act200Execute(); });

    wire(m_ui->actSearch, &Tfrm_Main::actSearchExecute);
    wire(m_ui->actExit, &Tfrm_Main::actExitExecute);
    wire(m_ui->actOpen, &Tfrm_Main::actOpenExecute);
    wire(m_ui->actOPtion, &Tfrm_Main::actOPtionExecute);
    wire(m_ui->actAbout, &Tfrm_Main::actAboutExecute);
    connect(m_ui->EzRgnBtn3, &QAbstractButton::clicked, this, [this] { Guarded(this, [this] { EzRgnBtn3Click(); }); });
    connect(m_ui->Splitter1, &PanelSplitter::moved, this, &Tfrm_Main::Splitter1Moved);

    FormCreate();
}

Tfrm_Main::~Tfrm_Main()
{
    delete m_ui;
}

void Tfrm_Main::wire(QAction *action, void (Tfrm_Main::*handler)())
{
    connect(action, &QAction::triggered, this, [this, handler] { Guarded(this, [&] { (this->*handler)(); }); });
}

void Tfrm_Main::buildPopups()
{
    popLeft = new QMenu(this);
    popLeft->setObjectName(QStringLiteral("popLeft"));
    popLeft->addActions({m_ui->actLeftPlay, m_ui->actAddFav, m_ui->actAddNew, m_ui->actDelete});
    popLeft->addSeparator();
    popLeft->addActions({m_ui->actBroken, m_ui->actAddReview, m_ui->actProperties});

    popControl = new QMenu(this);
    popControl->setObjectName(QStringLiteral("popControl"));
    popControl->addActions({m_ui->actPlay, m_ui->actPause, m_ui->actStop});
    popControl->addSeparator();
    popControl->addActions({m_ui->act50, m_ui->act100, m_ui->act200, m_ui->actFull});
}

void Tfrm_Main::FormCreate()
{
    setWindowFlag(Qt::WindowStaysOnTopHint, m_global.Ontop);
    m_skinMenu = new SkinMenu(this, m_ui->menSkin, nullptr, m_ui->labCap, m_global);
    m_skinMenu->LoadSkinMenu(m_global.AppDir + QStringLiteral("skins/"));
    skinmain = SkinEngine::SetUp(this, m_global.SkinPath);
    m_skinMenu->setEngine(skinmain);
    switch (m_global.DiplayList) {
    case 0: m_ui->actFavorites->trigger(); break;
    case 1: m_ui->actTV->trigger(); break;
    case 2: m_ui->actRadio->trigger(); break;
    default: break;
    }
    m_video->VideoScale = 1;
}

void Tfrm_Main::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void Tfrm_Main::FormShow() {}

void Tfrm_Main::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    FormResize();
}

void Tfrm_Main::FormResize() {}

void Tfrm_Main::PlayStream(const QString &address, const QString &name)
{
    Q_UNUSED(address);
    Q_UNUSED(name);
}

void Tfrm_Main::actExitExecute()
{
    close();
}

void Tfrm_Main::actOpenExecute()
{
    TFrmOpenMedia dlg(m_global, this);
    if (dlg.exec() == QDialog::Accepted)
        PlayStream(dlg.MediaName(), dlg.MediaName());
}

void Tfrm_Main::actOPtionExecute()
{
    TFrmOption dlg(m_global, this);
    dlg.exec();
}

void Tfrm_Main::actSearchExecute()
{
    TFrmSearch dlg(m_global, *this, this);
    dlg.exec();
}

void Tfrm_Main::actAboutExecute()
{
    TFrmAbout dlg(m_global, this);
    dlg.exec();
}

void Tfrm_Main::EzRgnBtn3Click()
{
    m_ui->panLeft->setVisible(m_ui->panLeft->isHidden());
    m_video->SetVideoSize(currentChannelType() == 2 ? 0 : m_video->VideoScale, true);
}

void Tfrm_Main::Splitter1Moved()
{
    m_ui->treChannle->viewport()->update();
}
