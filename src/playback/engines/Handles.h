#pragma once

// Owning handles for the engines' C objects.

#include <gst/gst.h>
#include <mpv/client.h>
#include <mpv/render.h>
#include <mpv/render_gl.h>

#include <memory>

struct MpvDestroy
{
    void operator()(mpv_handle *h) const { mpv_terminate_destroy(h); }
};
using MpvHandle = std::unique_ptr<mpv_handle, MpvDestroy>;

struct MpvRenderFree
{
    void operator()(mpv_render_context *c) const { mpv_render_context_free(c); }
};
using MpvRenderContext = std::unique_ptr<mpv_render_context, MpvRenderFree>;

struct GstUnref
{
    void operator()(gpointer object) const { gst_object_unref(object); }
};
template<class T> using GstPtr = std::unique_ptr<T, GstUnref>;

struct GstMessageUnref
{
    void operator()(GstMessage *m) const { gst_message_unref(m); }
};
using GstMessagePtr = std::unique_ptr<GstMessage, GstMessageUnref>;

struct GstSampleUnref
{
    void operator()(GstSample *s) const { gst_sample_unref(s); }
};
using GstSamplePtr = std::unique_ptr<GstSample, GstSampleUnref>;

struct GErrorFree
{
    void operator()(GError *e) const { g_error_free(e); }
};
using GErrorPtr = std::unique_ptr<GError, GErrorFree>;

struct GFree
{
    void operator()(gpointer p) const { g_free(p); }
};
using GCharPtr = std::unique_ptr<gchar, GFree>;
