#pragma once

#include <QObject>
#include <QSize>

#include <functional>
#include <optional>

class QAction;
class QWidget;

// Places the video of the current stream in the player area at one of three sizes (fitted,
// natural, double) and grows the window when the video needs more room; also keeps the player
// area's width when the channel list is shown or hidden.
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

    explicit VideoLayout(const Widgets &widgets, QObject *parent = nullptr);

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

signals:
    // The window's resize handling is due (the players re-take focus and size).
    void resizeHandling();

private:
    void widthStep();

    Widgets m_w;
    VideoSource m_source;
};
