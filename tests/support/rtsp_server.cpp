// A loopback RTSP server for the tests: serves /test (H.264 video of one colour and an AAC tone)
// on 127.0.0.1 and prints "port N" once it listens.
#include <gst/gst.h>
#include <gst/rtsp-server/rtsp-server.h>

#include <cstdio>

int main(int argc, char *argv[])
{
    gst_init(&argc, &argv);
    GMainLoop *loop = g_main_loop_new(nullptr, FALSE);
    GstRTSPServer *server = gst_rtsp_server_new();
    gst_rtsp_server_set_address(server, "127.0.0.1");
    gst_rtsp_server_set_service(server, "0");
    GstRTSPMountPoints *mounts = gst_rtsp_server_get_mount_points(server);
    GstRTSPMediaFactory *factory = gst_rtsp_media_factory_new();
    gst_rtsp_media_factory_set_launch(
        factory,
        "( videotestsrc is-live=true pattern=solid-color foreground-color=0xff3060c0 ! "
        "video/x-raw,width=320,height=240,framerate=25/1 ! x264enc tune=zerolatency speed-preset=ultrafast "
        "key-int-max=25 ! rtph264pay name=pay0 pt=96 "
        "audiotestsrc is-live=true wave=sine freq=440 ! audioconvert ! avenc_aac ! rtpmp4apay name=pay1 pt=97 )");
    gst_rtsp_media_factory_set_shared(factory, TRUE);
    gst_rtsp_mount_points_add_factory(mounts, "/test", factory);
    g_object_unref(mounts);
    if (gst_rtsp_server_attach(server, nullptr) == 0) {
        std::fprintf(stderr, "cannot attach the RTSP server\n");
        return 1;
    }
    std::printf("port %d\n", gst_rtsp_server_get_bound_port(server));
    std::fflush(stdout);
    g_main_loop_run(loop);
    return 0;
}
