#pragma once

// Time from PlayStream to the first frame shown on each engine, for a loopback HTTP clip and a
// loopback RTSP stream, against mpv and gst-launch-1.0 playbin; resident memory while playing.
int RunPlaybackBench(int runs);
