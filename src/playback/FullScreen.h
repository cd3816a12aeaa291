#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>

class QWidget;

// Shows an engine's video over the whole screen: the window goes full screen with only the
// video in it (the video layout makes it fill the area). Esc or a double-click on the video
// returns, as does the end of the stream.
class FullScreen : public QObject
{
    Q_OBJECT

public:
    // chrome: the parts of the window hidden while the video fills the screen.
    FullScreen(QWidget *window, QList<QWidget *> chrome, QObject *parent);

    // `left` runs when the video returns to the window.
    void enter(QWidget *control, std::function<void()> left);
    void leave();
    bool isActive() const { return m_control != nullptr; }

signals:
    void activeChanged(bool active);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_window;
    QList<QWidget *> m_chrome;
    QPointer<QWidget> m_control;
    std::function<void()> m_left;
    QList<bool> m_chromeVisible;
    Qt::WindowStates m_windowState;
};
