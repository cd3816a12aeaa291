#include "MpvViews.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QPainter>

// QtGui's own hook for the context every GL widget shares with (what Qt::AA_ShareOpenGLContexts
// sets up at start-up, where it costs a GL initialisation before the window can show).
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext *context);

namespace {

// The context mpv draws on and the widget showing its frames must share: installed at the
// first play, before the first GL widget of the window exists.
bool ensureShareContext()
{
    if (QOpenGLContext::globalShareContext())
        return true;
    auto *shared = new QOpenGLContext(qApp);
    if (!shared->create()) {
        delete shared;
        return false;
    }
    qt_gl_set_global_share_context(shared);
    return true;
}

void *procAddress(void *, const char *name)
{
    QOpenGLContext *ctx = QOpenGLContext::currentContext();
    return ctx ? reinterpret_cast<void *>(ctx->getProcAddress(QByteArray(name))) : nullptr;
}

} // namespace

bool OpenGlAvailable()
{
    const QString choice = qEnvironmentVariable("ZENTAVO_VIDEO_OUTPUT");
    if (choice == u"sw")
        return false;
    const QString platform = QGuiApplication::platformName();
    if (platform == u"offscreen" || platform == u"minimal" || platform == u"vnc" || platform == u"linuxfb")
        return false;
    static const bool available = [] {
        if (!ensureShareContext())
            return false;
        QOpenGLContext ctx;
        if (!ctx.create())
            return false;
        QOffscreenSurface surface;
        surface.create();
        return ctx.makeCurrent(&surface);
    }();
    return available;
}

MpvGlView::MpvGlView(mpv_handle *mpv, QWidget *parent) : QOpenGLWidget(parent)
{
    m_context.setShareContext(QOpenGLContext::globalShareContext());
    m_surface.setFormat(m_context.format());
    m_surface.create();
    if (!m_context.create() || !m_context.makeCurrent(&m_surface))
        return;
    mpv_opengl_init_params gl{&procAddress, nullptr};
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char *>(MPV_RENDER_API_TYPE_OPENGL)},
        {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &gl},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    mpv_render_context *ctx = nullptr;
    if (mpv_render_context_create(&ctx, mpv, params) >= 0) {
        m_render.reset(ctx);
        mpv_render_context_set_update_callback(ctx, &MpvGlView::onUpdate, this);
    }
    m_context.doneCurrent();
}

MpvGlView::~MpvGlView()
{
    release();
    if (m_blitter && context()) {
        makeCurrent();
        m_blitter.reset();
        doneCurrent();
    }
}

void MpvGlView::release()
{
    if (!m_render && !m_fbo)
        return;
    // The render context and the frame hold GL objects of our context.
    m_context.makeCurrent(&m_surface);
    if (m_render)
        mpv_render_context_set_update_callback(m_render.get(), nullptr, nullptr);
    m_render.reset();
    m_fbo.reset();
    m_context.doneCurrent();
}

void MpvGlView::onUpdate(void *self)
{
    // mpv's thread: only hand over to the GUI thread.
    auto *view = static_cast<MpvGlView *>(self);
    QMetaObject::invokeMethod(
        view, [view] { view->renderFrame(false); }, Qt::QueuedConnection);
}

void MpvGlView::renderFrame(bool force)
{
    if (!m_render)
        return;
    const uint64_t flags = mpv_render_context_update(m_render.get());
    if (!(flags & MPV_RENDER_UPDATE_FRAME) && !force)
        return;
    if (!m_context.makeCurrent(&m_surface))
        return;
    // Frames are consumed even while the widget is hidden or tiny, or playback would wait.
    const QSize size = (this->size() * devicePixelRatioF()).expandedTo(QSize(1, 1));
    if (!m_fbo || m_fbo->size() != size)
        m_fbo = std::make_unique<QOpenGLFramebufferObject>(size);
    mpv_opengl_fbo fbo{int(m_fbo->handle()), size.width(), size.height(), 0};
    int flip = 0; // mpv writes the first row first; the blit below takes it as the top
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_OPENGL_FBO, &fbo},
        {MPV_RENDER_PARAM_FLIP_Y, &flip},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    mpv_render_context_render(m_render.get(), params);
    if (flags & MPV_RENDER_UPDATE_FRAME)
        frameArrived();
    // The widget's context samples the texture next: the frame must be complete.
    m_context.functions()->glFinish();
    m_context.doneCurrent();
    update();
}

void MpvGlView::initializeGL()
{
    m_blitter = std::make_unique<QOpenGLTextureBlitter>();
    m_blitter->create();
}

void MpvGlView::resizeGL(int, int)
{
    renderFrame(true);
}

void MpvGlView::paintGL()
{
    QOpenGLFunctions *f = context()->functions();
    f->glClearColor(0, 0, 0, 1);
    f->glClear(GL_COLOR_BUFFER_BIT);
    if (!m_fbo || !m_blitter || !m_blitter->isCreated())
        return;
    painted(true);
    m_blitter->bind();
    m_blitter->blit(m_fbo->texture(), QOpenGLTextureBlitter::targetTransform(QRectF(rect()), QRect(QPoint(), size())),
                    QOpenGLTextureBlitter::OriginTopLeft);
    m_blitter->release();
}

MpvSwView::MpvSwView(mpv_handle *mpv, QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char *>(MPV_RENDER_API_TYPE_SW)},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    mpv_render_context *ctx = nullptr;
    if (mpv_render_context_create(&ctx, mpv, params) < 0)
        return;
    m_render.reset(ctx);
    mpv_render_context_set_update_callback(ctx, &MpvSwView::onUpdate, this);
}

MpvSwView::~MpvSwView()
{
    release();
}

void MpvSwView::release()
{
    if (!m_render)
        return;
    mpv_render_context_set_update_callback(m_render.get(), nullptr, nullptr);
    m_render.reset();
}

void MpvSwView::onUpdate(void *self)
{
    auto *view = static_cast<MpvSwView *>(self);
    QMetaObject::invokeMethod(
        view, [view] { view->renderFrame(false); }, Qt::QueuedConnection);
}

void MpvSwView::renderFrame(bool force)
{
    if (!m_render)
        return;
    const uint64_t flags = mpv_render_context_update(m_render.get());
    if (!(flags & MPV_RENDER_UPDATE_FRAME) && !force)
        return;
    const QSize size = this->size() * devicePixelRatioF();
    if (size.isEmpty())
        return;
    // Three bytes a pixel: mpv's four-byte formats leave the fourth byte undefined, which
    // Qt's 32-bit RGB image would take as transparency.
    if (m_frame.size() != size)
        m_frame = QImage(size, QImage::Format_RGB888);
    int sz[2] = {size.width(), size.height()};
    size_t stride = size_t(m_frame.bytesPerLine());
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_SW_SIZE, sz},        {MPV_RENDER_PARAM_SW_FORMAT, const_cast<char *>("rgb24")},
        {MPV_RENDER_PARAM_SW_STRIDE, &stride}, {MPV_RENDER_PARAM_SW_POINTER, m_frame.bits()},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    mpv_render_context_render(m_render.get(), params);
    if (flags & MPV_RENDER_UPDATE_FRAME)
        frameArrived();
    update();
}

void MpvSwView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    renderFrame(true);
}

void MpvSwView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    if (m_frame.isNull() || m_frame.size() != size() * devicePixelRatioF())
        p.fillRect(rect(), Qt::black);
    if (!m_frame.isNull())
        p.drawImage(rect(), m_frame);
    painted(!m_frame.isNull());
}
