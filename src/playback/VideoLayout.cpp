#include "VideoLayout.h"

#include "FullScreen.h"

#include <QAction>
#include <QEvent>
#include <QLayout>
#include <QResizeEvent>
#include <QScreen>
#include <QWidget>

VideoLayout::VideoLayout(const Widgets &widgets, const FullScreen &fullScreen, QObject *parent)
    : QObject(parent), m_w(widgets), m_fullScreen(fullScreen)
{
    m_w.imgWmplay->installEventFilter(this);
    m_w.window->installEventFilter(this);
    connect(&fullScreen, &FullScreen::activeChanged, this, &VideoLayout::placeVideo);
}

QSize VideoLayout::userSize() const
{
    return m_userSize.isValid() ? m_userSize : m_w.window->size();
}

void VideoLayout::resizeWindow(QSize size)
{
    QWidget *win = m_w.window;
    if (win->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))
        return;
    QRect frame = win->frameGeometry();
    const QSize decoration = frame.size() - win->size();
    if (const QScreen *screen = win->screen()) {
        const QRect avail = screen->availableGeometry();
        size = size.boundedTo(avail.size() - decoration);
        // Keep the grown window on the screen, so its controls stay in reach.
        frame.setSize(size + decoration);
        QPoint to = frame.topLeft();
        if (frame.right() > avail.right())
            to.rx() -= frame.right() - avail.right();
        if (frame.bottom() > avail.bottom())
            to.ry() -= frame.bottom() - avail.bottom();
        to.rx() = qMax(to.x(), avail.left());
        to.ry() = qMax(to.y(), avail.top());
        if (to != frame.topLeft())
            win->move(to);
    }
    m_ownSize = size;
    win->resize(size);
}

void VideoLayout::widthStep()
{
    const int listWidth = m_w.panLeft->width();
    const int step = m_w.panLeft->isHidden() ? -listWidth : listWidth;
    const QSize user = userSize();
    QWidget *win = m_w.window;
    resizeWindow(QSize(win->width() + step, win->height()));
    // Showing or hiding the list is the user's own change of the window's width.
    m_userSize = QSize(user.width() + step, user.height());
}

void VideoLayout::SetVideoSize(int scale, bool listToggled)
{
    if (!listToggled) {
        m_w.panFlash->hide();
        m_w.imgWmplay->show();
    }
    if (!(scale == 0 && listToggled))
        VideoScale = scale;

    const std::optional<Video> video = m_source ? m_source() : std::nullopt;
    if (listToggled)
        widthStep();
    if (video && scale != 0 && !listToggled && !m_fullScreen.isActive()) {
        const QSize picture = video->natural * scale;
        int needW = picture.width() + 2 * kMargin;
        if (m_w.panLeft->isVisible())
            needW += m_w.panLeft->width() + kListAllowance;
        const int needH =
            picture.height() + 2 * kMargin + m_w.panControl->height() + kStatusBarHeight + kFrameAllowance;
        const QSize user = userSize();
        resizeWindow(needW > user.width() || needH > user.height() ? QSize(needW, needH) : user);
    }
    // The window's new size reaches the player area through the layout first.
    if (QWidget *area = m_w.imgWmplay->parentWidget(); area && area->layout())
        area->layout()->activate();
    if (m_w.window->layout())
        m_w.window->layout()->activate();
    placeVideo();
    emit resizeHandling();
}

void VideoLayout::placeVideo()
{
    const std::optional<Video> video = m_source ? m_source() : std::nullopt;
    if (!video || !video->control)
        return;
    const QRect area = m_w.imgWmplay->rect();
    if (VideoScale == 0 || m_fullScreen.isActive()) {
        video->control->setGeometry(area);
        return;
    }
    QSize picture = video->natural * VideoScale;
    // A window held back by the screen shows the picture as large as fits, never cut.
    if (picture.width() > area.width() || picture.height() > area.height())
        picture = picture.scaled(area.size(), Qt::KeepAspectRatio);
    video->control->setGeometry((area.width() - picture.width()) / 2, (area.height() - picture.height()) / 2,
                                picture.width(), picture.height());
}

bool VideoLayout::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize) {
        if (watched == m_w.imgWmplay) {
            placeVideo();
        } else if (watched == m_w.window) {
            const QSize now = static_cast<QResizeEvent *>(event)->size();
            const Qt::WindowStates state = m_w.window->windowState();
            if (now != m_ownSize && !(state & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized)))
                m_userSize = now;
            m_ownSize = QSize();
        }
    }
    return QObject::eventFilter(watched, event);
}

void VideoLayout::ClearSizeChecks()
{
    m_w.act50->setChecked(false);
    m_w.act100->setChecked(false);
    m_w.act200->setChecked(false);
}

void VideoLayout::act50Execute()
{
    ClearSizeChecks();
    m_w.act50->setChecked(true);
    SetVideoSize(0, false);
}

void VideoLayout::act100Execute()
{
    ClearSizeChecks();
    m_w.act100->setChecked(true);
    SetVideoSize(1, false);
}

void VideoLayout::act200Execute()
{
    ClearSizeChecks();
    m_w.act200->setChecked(true);
    SetVideoSize(2, false);
}
