#include "PlayerComponents.h"

#include "base/OutsideText.h"
#include "base/Paths.h"

#include <QFileInfo>
#include <QLibrary>
#include <QMutex>

TWmPlayer::TWmPlayer(QWidget *parent, std::function<std::unique_ptr<engine::Engine>(QWidget *, engine::Events &)> make)
    : QWidget(parent)
{
    m_engine = make(this, *this);
}

TWmPlayer::~TWmPlayer()
{
    // The engine goes first: its callbacks and render context need the view still alive.
    m_engine.reset();
}

void TWmPlayer::Settings::setVolume(int v)
{
    m_volume = qBound(0, v, 100);
    m_p->m_engine->setVolume(m_volume);
}

void TWmPlayer::Settings::setMute(bool m)
{
    m_mute = m;
    m_p->m_engine->setMute(m);
}

void TWmPlayer::setFullScreen(bool on)
{
    if (on == m_fullScreen)
        return;
    m_fullScreen = on;
    emit fullScreenChanged(on);
}

void TWmPlayer::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (QWidget *v = m_engine ? m_engine->view() : nullptr)
        v->setGeometry(rect());
}

void TWmPlayer::playStateChanged(int state)
{
    emit OnPlayStateChange(state);
}

void TWmPlayer::errorOccurred(const QString &description)
{
    m_error = outside::Clean(description, outside::kReason);
    emit OnError();
}

void TRePlayer::statusChanged(const QString &status)
{
    // The engine's status may quote what a server said when it failed.
    emit OnShowStatus(outside::Clean(status, outside::kReason));
}

TRePlayer::TRePlayer(QWidget *parent, std::function<std::unique_ptr<engine::Engine>(QWidget *, engine::Events &)> make)
    : QWidget(parent)
{
    m_engine = make(this, *this);
}

TRePlayer::~TRePlayer()
{
    m_engine.reset();
}

void TRePlayer::SetVolume(int volume)
{
    m_volume = qBound(0, volume, 100);
    m_engine->setVolume(m_volume);
}

void TRePlayer::SetMute(bool mute)
{
    m_mute = mute;
    m_engine->setMute(mute);
}

void TRePlayer::SetFullScreen()
{
    if (m_fullScreen)
        return;
    m_fullScreen = true;
    emit fullScreenChanged(true);
}

void TRePlayer::leaveFullScreen()
{
    if (!m_fullScreen)
        return;
    m_fullScreen = false;
    emit fullScreenChanged(false);
}

void TRePlayer::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (QWidget *v = m_engine ? m_engine->view() : nullptr)
        v->setGeometry(rect());
}

namespace {
engine::Factory *g_injected = nullptr;
QMutex g_loading;
} // namespace

void SetPlayerEngines(engine::Factory *factory)
{
    g_injected = factory;
}

engine::Factory *LoadPlayerEngines(QString *why)
{
    QMutexLocker lock(&g_loading);
    if (g_injected)
        return g_injected;
    static engine::Factory *loaded = nullptr;
    if (loaded)
        return loaded;
    // Beside the program (portable), in ../lib/zentavo (installed), or where ZENTAVO_ENGINES_DIR
    // says (a module built elsewhere, as the tests have it).
    const QString name = QStringLiteral("libzentavo-engines.so");
    QStringList folders = {ExecutableDir(), ExecutableDir() + QStringLiteral("../lib/zentavo/")};
    if (const QString asked = qEnvironmentVariable("ZENTAVO_ENGINES_DIR"); !asked.isEmpty())
        folders.prepend(asked.endsWith(u'/') ? asked : asked + u'/');
    QString path = folders.first() + name;
    for (const QString &folder : std::as_const(folders)) {
        if (QFileInfo::exists(folder + name)) {
            path = folder + name;
            break;
        }
    }
    QLibrary module(path);
    module.setLoadHints(QLibrary::ResolveAllSymbolsHint);
    using Entry = engine::Factory *(*)();
    auto entry = reinterpret_cast<Entry>(module.resolve("zentavo_player_engines"));
    if (!entry) {
        if (why)
            *why = module.errorString();
        return nullptr;
    }
    engine::Factory *f = entry();
    if (!f || f->apiVersion() != engine::kApiVersion) {
        if (why)
            *why = QStringLiteral("the engines module does not match this program");
        return nullptr;
    }
    loaded = f; // the module stays loaded for the life of the process
    return loaded;
}

void PreloadPlayerEngines()
{
    QString why;
    if (engine::Factory *f = LoadPlayerEngines(&why))
        f->preload();
}
