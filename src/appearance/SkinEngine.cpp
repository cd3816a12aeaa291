#include "SkinEngine.h"

#include "SkinFile.h"
#include "base/Paths.h"

#include <QFileInfo>
#include <QWidget>

SkinEngine::SkinEngine(QWidget *window) : QObject(window), m_window(window)
{
    setObjectName(QStringLiteral("skinmain"));
}

void SkinEngine::setSkinFile(const QString &path)
{
    const QFileInfo info(path);
    const QString found = FindPath(info.absolutePath(), info.fileName());
    auto skin = LoadSkinFile(found);
    if (!skin)
        return;
    m_skinFile = found;
    m_styleSheet = skin->styleSheet;
    if (m_active)
        apply();
}

void SkinEngine::setActive(bool active)
{
    if (m_active == active)
        return;
    m_active = active;
    apply();
}

QString SkinEngine::appliedStyleSheet() const
{
    return m_active ? m_styleSheet : QString();
}

void SkinEngine::apply()
{
    if (!m_window)
        return;
    m_window->setStyleSheet(appliedStyleSheet());
    emit skinChanged();
}

SkinEngine *SkinEngine::SetUp(QWidget *window, const QString &skinPath)
{
    auto *engine = new SkinEngine(window);
    engine->setSkinFile(skinPath);
    engine->setActive(true);
    return engine;
}
