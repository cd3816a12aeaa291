#include "VideoLayout.h"

#include <QAction>
#include <QLayout>
#include <QWidget>

VideoLayout::VideoLayout(const Widgets &widgets, QObject *parent) : QObject(parent), m_w(widgets)
{
}

void VideoLayout::widthStep()
{
    const int listWidth = m_w.panLeft->width();
    QWidget *win = m_w.window;
    if (m_w.panLeft->isHidden())
        win->resize(win->width() - listWidth, win->height());
    else
        win->resize(win->width() + listWidth, win->height());
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
    if (!video) {
        if (listToggled)
            widthStep();
        emit resizeHandling();
        return;
    }

    int w = video->natural.width();
    int h = video->natural.height();
    if (scale == 0) {
        if (listToggled)
            widthStep();
        else
            video->control->setGeometry(0, 0, m_w.imgWmplay->width(), m_w.imgWmplay->height());
    } else {
        w *= scale;
        h *= scale;
        if (listToggled) {
            widthStep();
        } else {
            int needW = w + 2 * kMargin;
            if (m_w.panLeft->isVisible())
                needW += m_w.panLeft->width() + kListAllowance;
            const int needH = h + 2 * kMargin + m_w.panControl->height() + kStatusBarHeight + kFrameAllowance;
            if (needW > m_w.window->width() || needH > m_w.window->height())
                m_w.window->resize(needW, needH);
        }
        // The window's new size reaches the player area through the layout first.
        if (QWidget *area = m_w.imgWmplay->parentWidget(); area && area->layout())
            area->layout()->activate();
        m_w.window->layout()->activate();
        video->control->setGeometry((m_w.imgWmplay->width() - w) / 2, (m_w.imgWmplay->height() - h) / 2, w, h);
    }
    emit resizeHandling();
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
