#pragma once

#include "Handles.h"

#include <QImage>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLTextureBlitter>
#include <QOpenGLWidget>
#include <QWidget>
#include <memory>

// Where the first engine draws its frames: mpv's render API into our own widget, never a
// window of mpv's own.
class MpvView
{
public:
    virtual ~MpvView() = default;
    virtual QWidget *widget() = 0;
    // Frees the render context (before the mpv handle goes).
    virtual void release() = 0;
    int framesShown() const { return m_shown; }
    // A new stream: a frame of the last one still waiting to be painted does not count.
    void forgetFrame() { m_fresh = false; }

protected:
    // Called when painting: counts a frame once, the first time it is painted.
    void painted(bool haveFrame)
    {
        if (haveFrame && m_fresh) {
            ++m_shown;
            m_fresh = false;
        }
    }
    void frameArrived() { m_fresh = true; }

private:
    int m_shown = 0;
    bool m_fresh = false;
};

// OpenGL rendering, for a display with GL (X11, Wayland). mpv renders on a context of our own
// (shared with Qt's) into a framebuffer object, so it has somewhere to draw from the start,
// whether or not the widget is shown yet; the widget draws the frame's texture.
class MpvGlView : public QOpenGLWidget, public MpvView
{
    Q_OBJECT

public:
    MpvGlView(mpv_handle *mpv, QWidget *parent);
    ~MpvGlView() override;
    QWidget *widget() override { return this; }
    void release() override;
    bool isReady() const { return bool(m_render); }

protected:
    void initializeGL() override;
    void paintGL() override;
    void resizeGL(int w, int h) override;

private:
    static void onUpdate(void *self);
    void renderFrame(bool force);

    QOpenGLContext m_context;
    QOffscreenSurface m_surface;
    std::unique_ptr<QOpenGLFramebufferObject> m_fbo;
    std::unique_ptr<QOpenGLTextureBlitter> m_blitter; // lives in the widget's context
    MpvRenderContext m_render;
};

// Software rendering into a QImage, where no GL context can be had (offscreen, no GL driver).
class MpvSwView : public QWidget, public MpvView
{
    Q_OBJECT

public:
    MpvSwView(mpv_handle *mpv, QWidget *parent);
    ~MpvSwView() override;
    QWidget *widget() override { return this; }
    void release() override;
    bool isReady() const { return bool(m_render); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    static void onUpdate(void *self);
    void renderFrame(bool force);
    MpvRenderContext m_render;
    QImage m_frame;
};

// Whether GL views can be used here (a display with OpenGL, and Qt sharing its contexts).
bool OpenGlAvailable();
