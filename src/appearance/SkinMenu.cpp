#include "SkinMenu.h"

#include <algorithm>

#include "SkinEngine.h"
#include "base/Guard.h"
#include "base/Paths.h"
#include "base/pGloba.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QMenu>

SkinMenu::SkinMenu(QWidget *owner, QMenu *menSkin, SkinEngine *engine, QLabel *labCap, TGlobal &global)
    : QObject(owner), m_owner(owner), m_menu(menSkin), m_engine(engine), m_labCap(labCap), m_global(global)
{
}

void SkinMenu::LoadSkinMenu(const QStringList &folders)
{
    // One entry per skin name: a later folder's skin (the user's own) takes the place of one of
    // the same name from an earlier folder (the shipped ones).
    QStringList names;
    for (const QString &folder : folders) {
        const QDir dir(FindPath(QDir::rootPath(), QDir(folder).absolutePath()));
        // Listed as the file system returns them; hidden and system files too, folders skipped.
        const QFileInfoList entries =
            dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
        for (const QFileInfo &info : entries) {
            if (info.isDir() || !info.fileName().endsWith(u".ssk", Qt::CaseInsensitive))
                continue;
            const bool known = std::any_of(names.cbegin(), names.cend(), [&](const QString &n) {
                return n.compare(info.fileName(), Qt::CaseInsensitive) == 0;
            });
            if (!known)
                names.append(info.fileName());
        }
    }
    int n = 0;
    for (const QString &name : std::as_const(names)) {
        auto *entry = new QAction(m_owner);
        entry->setObjectName(QStringLiteral("createmen%1").arg(++n));
        entry->setCheckable(true);
        entry->setChecked(name.compare(m_global.SkinFile, Qt::CaseInsensitive) == 0);
        entry->setText(name.left(name.indexOf(u'.')));
        connect(entry, &QAction::triggered, this, [this, entry] { Guarded(m_owner, [&] { createmenClick(entry); }); });
        m_menu->addAction(entry);
    }
}

void SkinMenu::createmenClick(QAction *entry)
{
    for (int n = 1; n <= kClearedEntries; ++n) {
        if (auto *other =
                m_owner->findChild<QAction *>(QStringLiteral("createmen%1").arg(n), Qt::FindDirectChildrenOnly))
            other->setChecked(false);
    }
    entry->setChecked(true);
    const QString fileName = entry->text().remove(u'&') + QStringLiteral(".ssk");
    const QString path = m_global.SkinPathFor(fileName);
    m_engine->setSkinFile(path);
    if (!m_engine->Active())
        m_engine->setActive(true);
    m_global.SkinFile = fileName;
    m_global.SkinPath = path;
    if (fileName.contains(u"Vis"))
        SetCaptionColor(m_labCap, QColor(255, 0, 0));
    m_global.SaveSettings();
}

void SetCaptionColor(QLabel *labCap, const QColor &color)
{
    labCap->setStyleSheet(QStringLiteral("QLabel { color: rgb(%1, %2, %3); background: transparent; "
                                         "font-family: Verdana, \"DejaVu Sans\", sans-serif; font-weight: bold; "
                                         "font-size: 20px; }")
                              .arg(color.red())
                              .arg(color.green())
                              .arg(color.blue()));
}
