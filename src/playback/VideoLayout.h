#pragma once

#include <QObject>
#include <QSize>

#include <functional>
#include <optional>

class FullScreen;
class QAction;
class QWidget;

// Places the video of the current stream in the player area at one of three sizes (fitted,
// natural, double) and grows the window when the video needs more room; also keeps the player
// area's width when the channel list is shown or hidden.
//
// The picture's place follows from the chosen size, the video's natural size and the area
// alone, whatever came before: it is placed again whenever the area changes size (a window
// manager may apply a resize later, a window may be maximised or leave full screen). The window
// never grows past the screen's available area, and a size command starts from the size the
// user gave the window, so 100% after 200% gives the window back.
class VideoLayout : public QObject
{
    Q_OBJECT

public:
    struct Widgets
    {
        QWidget *window;
        QWidget *panLeft;
        QWidget *panControl;
        QWidget *imgWmplay;
        QWidget *panFlash;
        QAction *act50;
        QAction *act100;
        QAction *act200;
    };
    // The control showing the current stream's video and its natural size.
    struct Video
    {
        QWidget *control;
        QSize natural;
    };
    // Empty while no player exists yet.
    using VideoSource = std::function<std::optional<Video>()>;

    VideoLayout(const Widgets &widgets, const FullScreen &fullScreen, QObject *parent = nullptr);

    void setVideoSource(VideoSource source) { m_source = std::move(source); }

    int VideoScale = 1;
    static constexpr int kMargin = 10;
    static constexpr int kStatusBarHeight = 19; // counted although its panel is never shown
    static constexpr int kFrameAllowance = 45;  // caption, menu and frame of the window
    static constexpr int kListAllowance = 15;

    // scale: 0 fit, 1 natural, 2 double; listToggled: the list panel was just shown or hidden.
    void SetVideoSize(int scale, bool listToggled);
    void act50Execute();
    void act100Execute();
    void act200Execute();
    void ClearSizeChecks();

    // Where the current control goes in the area now (full screen and fitted: all of it).
    void placeVideo();

signals:
    // The window's resize handling is due (the players re-take focus and size).
    void resizeHandling();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void widthStep();
    // Resizes the window to `size`, kept within the screen's available area.
    void resizeWindow(QSize size);
    QSize userSize() const;

    Widgets m_w;
    const FullScreen &m_fullScreen;
    VideoSource m_source;
    QSize m_userSize; // the window's size as the user left it (invalid: its current size)
    QSize m_ownSize;  // the size we last asked for, to tell our resizes from the user's
};
