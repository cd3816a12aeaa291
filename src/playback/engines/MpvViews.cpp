#include "MpvViews.h"

#include <QGuiApplication>
#include <QOpenGLFunctions>
#include <QPainter>

#ifndef GL_BGRA
#define GL_BGRA 0x80E1
#endif

namespace {

void *procAddress(void *, const char *name)
{
    QOpenGLContext *ctx = QOpenGLContext::currentContext();
    return ctx ? reinterpret_cast<void *>(ctx->getProcAddress(QByteArray(name))) : nullptr;
}

} // namespace

bool OpenGlAvailable()
{
    // ZENTAVO_VIDEO_OUTPUT=sw or gl overrides the choice.
    const QString choice = qEnvironmentVariable("ZENTAVO_VIDEO_OUTPUT");
    if (choice == u"sw")
        return false;
    const QString platform = QGuiApplication::platformName();
    if (platform == u"offscreen" || platform == u"minimal" || platform == u"vnc" || platform == u"linuxfb")
        return false;
    static const struct
    {
        bool works;
        bool software;
    } gl = [] {
        QOpenGLContext ctx;
        QOffscreenSurface surface;
        surface.create();
        if (!ctx.create() || !ctx.makeCurrent(&surface))
            return decltype(gl){false, false};
        const QByteArray renderer = QByteArray(reinterpret_cast<const char *>(
                                                   ctx.functions()->glGetString(GL_RENDERER)))
                                        .toLower();
        ctx.doneCurrent();
        // OpenGL drawn by the CPU (Mesa's llvmpipe and softpipe) costs more than mpv's own
        // software renderer, which scales with SIMD code: twice the CPU time for 720p, with
        // frames dropped, on a 2-core machine.
        const bool software =
            renderer.contains("llvmpipe") || renderer.contains("softpipe") || renderer.contains("software");
        return decltype(gl){true, software};
    }();
    return gl.works && (!gl.software || choice == u"gl");
}

MpvView::MpvView(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

MpvView::~MpvView()
{
    // A subclass whose render context needs more than this has released it already.
    release();
}

void MpvView::adopt(mpv_render_context *render)
{
    m_render.reset(render);
    mpv_render_context_set_update_callback(render, &MpvView::onUpdate, this);
}

void MpvView::release()
{
    if (!m_render)
        return;
    mpv_render_context_set_update_callback(m_render.get(), nullptr, nullptr);
    freeRender();
}

void MpvView::onUpdate(void *self)
{
    // mpv's thread: only hand over to the GUI thread.
    auto *view = static_cast<MpvView *>(self);
    QMetaObject::invokeMethod(
        view, [view] { view->renderFrame(false); }, Qt::QueuedConnection);
}

void MpvView::renderFrame(bool force)
{
    if (!m_render)
        return;
    const uint64_t flags = mpv_render_context_update(m_render.get());
    if (!(flags & MPV_RENDER_UPDATE_FRAME) && !force)
        return;
    // Frames are consumed even while the widget is hidden or tiny, or playback would wait.
    const QSize size = (this->size() * devicePixelRatioF()).expandedTo(QSize(1, 1));
    renderInto(size);
    if (flags & MPV_RENDER_UPDATE_FRAME)
        m_fresh = true;
    update();
}

void MpvView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    renderFrame(true);
}

void MpvView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const bool whole = !m_frame.isNull() && m_frame.size() == (size() * devicePixelRatioF()).expandedTo(QSize(1, 1));
    if (!whole)
        p.fillRect(rect(), Qt::black);
    if (!m_frame.isNull())
        p.drawImage(rect(), m_frame);
    if (!m_frame.isNull() && m_fresh) {
        ++m_shown;
        m_fresh = false;
    }
}

MpvGlView::MpvGlView(mpv_handle *mpv, QWidget *parent) : MpvView(parent)
{
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
    if (mpv_render_context_create(&ctx, mpv, params) >= 0)
        adopt(ctx);
    m_context.doneCurrent();
}

MpvGlView::~MpvGlView()
{
    release();
}

void MpvGlView::freeRender()
{
    // The render context and the framebuffer hold GL objects of our context.
    const bool current = m_context.makeCurrent(&m_surface);
    m_render.reset();
    m_fbo.reset();
    if (current)
        m_context.doneCurrent();
}

void MpvGlView::renderInto(const QSize &size)
{
    if (!m_context.makeCurrent(&m_surface))
        return;
    QOpenGLFunctions *f = m_context.functions();
    if (!m_fbo || m_fbo->size() != size)
        m_fbo = std::make_unique<QOpenGLFramebufferObject>(size);
    mpv_opengl_fbo fbo{int(m_fbo->handle()), size.width(), size.height(), 0};
    int flip = 0; // into a framebuffer object: mpv writes the top row first, as an image has it
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_OPENGL_FBO, &fbo},
        {MPV_RENDER_PARAM_FLIP_Y, &flip},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    const bool drawn = mpv_render_context_render(m_render.get(), params) >= 0;
    m_fbo->bind();
    if (!drawn) {
        // A frame mpv refused to draw is black, never what the framebuffer held before.
        f->glClearColor(0, 0, 0, 1);
        f->glClear(GL_COLOR_BUFFER_BIT);
    }
    // Opaque whatever mpv left in the alpha channel: Qt's RGB formats take the fourth byte as is.
    f->glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_TRUE);
    f->glClearColor(0, 0, 0, 1);
    f->glClear(GL_COLOR_BUFFER_BIT);
    f->glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);

    // Read back in the layout the widget paints fastest: BGRA bytes are Qt's RGB32 on a
    // little-endian machine; OpenGL ES only promises RGBA.
    const bool bgra = !m_context.isOpenGLES() && QSysInfo::ByteOrder == QSysInfo::LittleEndian;
    const QImage::Format format = bgra ? QImage::Format_RGB32 : QImage::Format_RGBX8888;
    if (m_frame.size() != size || m_frame.format() != format)
        m_frame = QImage(size, format);
    f->glPixelStorei(GL_PACK_ALIGNMENT, 4);
    f->glReadPixels(0, 0, size.width(), size.height(), bgra ? GL_BGRA : GL_RGBA, GL_UNSIGNED_BYTE, m_frame.bits());
    m_fbo->release();
    m_context.doneCurrent();
}

MpvSwView::MpvSwView(mpv_handle *mpv, QWidget *parent) : MpvView(parent)
{
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char *>(MPV_RENDER_API_TYPE_SW)},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    mpv_render_context *ctx = nullptr;
    if (mpv_render_context_create(&ctx, mpv, params) >= 0)
        adopt(ctx);
}

void MpvSwView::renderInto(const QSize &size)
{
    // Three bytes a pixel: mpv's four-byte formats leave the fourth byte undefined, which
    // Qt's 32-bit RGB image would take as transparency. mpv takes only rows whose length is a
    // multiple of the pixel's three bytes, and Qt only rows of whole 32-bit words: the rows are
    // padded to a multiple of twelve bytes.
    const qsizetype stride = (qsizetype(size.width()) * 3 + 11) / 12 * 12;
    if (m_frame.size() != size || m_frame.bytesPerLine() != stride) {
        m_pixels = std::make_unique<uchar[]>(size_t(stride) * size_t(size.height()));
        m_frame = QImage(m_pixels.get(), size.width(), size.height(), stride, QImage::Format_RGB888);
    }
    int sz[2] = {size.width(), size.height()};
    size_t rowBytes = size_t(stride);
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_SW_SIZE, sz},          {MPV_RENDER_PARAM_SW_FORMAT, const_cast<char *>("rgb24")},
        {MPV_RENDER_PARAM_SW_STRIDE, &rowBytes}, {MPV_RENDER_PARAM_SW_POINTER, m_pixels.get()},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    // A frame mpv refused to draw is black, never what the buffer held before.
    if (mpv_render_context_render(m_render.get(), params) < 0)
        m_frame.fill(Qt::black);
}
