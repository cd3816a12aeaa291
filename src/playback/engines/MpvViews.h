#pragma once

#include "Handles.h"

#include <QImage>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QWidget>
#include <memory>

// Where the first engine draws its frames: mpv's render API renders each frame into an image,
// which a plain widget paints. Never a window of mpv's own, and no OpenGL surface in our
// windows: the main window keeps the one native window it was created with.
class MpvView : public QWidget
{
    Q_OBJECT

public:
    ~MpvView() override;
    // Frees the render context (before the mpv handle goes).
    void release();
    bool isReady() const { return bool(m_render); }
    int framesShown() const { return m_shown; }
    // A new stream: a frame of the last one still waiting to be painted does not count.
    void forgetFrame() { m_fresh = false; }
    // The last frame rendered, at the widget's size in device pixels.
    const QImage &frame() const { return m_frame; }

protected:
    explicit MpvView(QWidget *parent);
    // Takes over a render context made for this view and starts listening to it.
    void adopt(mpv_render_context *render);
    // Renders mpv's current frame into m_frame at `size` (device pixels, not empty).
    virtual void renderInto(const QSize &size) = 0;
    // Frees what the render context uses, the context itself included.
    virtual void freeRender() { m_render.reset(); }

    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

    MpvRenderContext m_render;
    QImage m_frame;

private:
    static void onUpdate(void *self);
    void renderFrame(bool force);

    int m_shown = 0;
    bool m_fresh = false;
};

// OpenGL rendering where the display has it (X11, Wayland): mpv renders on a context of our own
// into a framebuffer object that is read back into the image.
class MpvGlView final : public MpvView
{
    Q_OBJECT

public:
    MpvGlView(mpv_handle *mpv, QWidget *parent);
    ~MpvGlView() override;

protected:
    void renderInto(const QSize &size) override;
    void freeRender() override;

private:
    QOpenGLContext m_context;
    QOffscreenSurface m_surface;
    std::unique_ptr<QOpenGLFramebufferObject> m_fbo;
};

// Software rendering, where no GL context can be had (offscreen, no GL driver).
class MpvSwView final : public MpvView
{
    Q_OBJECT

public:
    MpvSwView(mpv_handle *mpv, QWidget *parent);

protected:
    void renderInto(const QSize &size) override;

private:
    std::unique_ptr<uchar[]> m_pixels; // the image's rows, padded for mpv and for Qt
};

// Whether OpenGL rendering is to be used here: a display with OpenGL drawn by a GPU.
bool OpenGlAvailable();
