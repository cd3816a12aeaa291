#include "FullScreen.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

FullScreen::FullScreen(QWidget *window, QList<QWidget *> chrome, QObject *parent)
    : QObject(parent), m_window(window), m_chrome(std::move(chrome))
{
}

void FullScreen::enter(QWidget *control, std::function<void()> left)
{
    if (isActive())
        return;
    m_control = control;
    m_left = std::move(left);
    m_windowState = m_window->windowState();
    m_chromeVisible.clear();
    for (QWidget *w : std::as_const(m_chrome)) {
        m_chromeVisible.append(w->isVisible());
        w->hide();
    }
    // Watch keys and clicks from the next event on: the double-click that asked for full
    // screen is still being delivered and must not end it.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (isActive())
                qApp->installEventFilter(this);
        },
        Qt::QueuedConnection);
    m_window->setWindowState(m_windowState | Qt::WindowFullScreen);
    m_window->show();
    // The player's keys work on the picture, wherever the keyboard was.
    control->setFocus();
    emit activeChanged(true);
}

void FullScreen::leave()
{
    if (!isActive())
        return;
    qApp->removeEventFilter(this);
    m_window->setWindowState(m_windowState & ~Qt::WindowFullScreen);
    for (qsizetype n = 0; n < m_chrome.size(); ++n)
        m_chrome[n]->setVisible(m_chromeVisible.value(n));
    m_control = nullptr;
    if (auto left = std::exchange(m_left, {}))
        left();
    emit activeChanged(false);
}

bool FullScreen::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        leave();
        return true;
    }
    if (event->type() == QEvent::MouseButtonDblClick) {
        auto *w = qobject_cast<QWidget *>(watched);
        if (w && m_control && (w == m_control || m_control->isAncestorOf(w))) {
            leave();
            return true;
        }
    }
    return false;
}
