#pragma once

#include <QColor>
#include <QString>

#include "TestHttpServer.h"

// Test media made with ffmpeg when first asked for, once per test process.
namespace Media {

// The colour of every frame of the video clips; their bottom quarter is BottomColor(), so
// a picture shown upside down is caught.
QColor ClipColor();
QColor BottomColor();

QString Folder();
QString VideoMp4();   // clip.mp4: 320 x 240, H.264 + AAC, 3 s
QString ShortMp4();   // short.mp4: the same, 1 s
QString AudioOnly();  // tone.mp3: a sine tone, 3 s
QString LiveAudio();  // live.mp3: a tone of 2 s without a length header (served as a live stream)
QString RadioAudio(); // radio.mp3: the same, 40 s at 64 kbit/s
// LiveAudio() as a live station sends it: in ten pieces 150 ms apart, then the connection
// closes (the station drops).
TestHttpServer::Reply LiveAudioReply();
QString LongMp4(); // long.mp4, long.rm, long.mp3: as above, 120 s
QString LongRealMedia();
QString LongAudio();
QString ResizingTs();
QString Hd720Mp4();    // hd720.mp4: a moving test picture, 1280 x 720 at 30 fps, 8 s    // resize.ts: 2 s at 320 x 240,
                       // then 60 s at 480 x 360
QString RealMedia();   // clip.rm: RealVideo 1 + AC-3, 320 x 240, 3 s
QString RandomBytes(); // noise.mp4: bytes that are no media

// Whether two colours are alike after video coding (each channel within `tolerance`).
bool Alike(const QColor &a, const QColor &b, int tolerance = 24);

} // namespace Media
