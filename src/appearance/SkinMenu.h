#pragma once

#include <QObject>
#include <QStringList>

class QAction;
class QLabel;
class QMenu;
class QWidget;
class SkinEngine;
class TGlobal;

// The Skins menu of the main window: one entry per skin file, built once at start-up; choosing
// an entry re-skins the window at once and stores the choice.
class SkinMenu : public QObject
{
    Q_OBJECT

public:
    // owner: the window that owns the entries (they are found by name "createmen" + N).
    SkinMenu(QWidget *owner, QMenu *menSkin, SkinEngine *engine, QLabel *labCap, TGlobal &global);

    // The window's engine exists only after the menu is built; entries need it when clicked.
    void setEngine(SkinEngine *engine) { m_engine = engine; }

    // The skins of these folders; where two have a skin of the same name, the later one's.
    void LoadSkinMenu(const QStringList &folders);
    void createmenClick(QAction *entry);

    static constexpr int kClearedEntries = 20;

private:
    QWidget *m_owner;
    QMenu *m_menu;
    SkinEngine *m_engine;
    QLabel *m_labCap;
    TGlobal &m_global;
};

// The product caption on the idle panel keeps its own look (bold, red) whatever the skin.
void SetCaptionColor(QLabel *labCap, const QColor &color);
