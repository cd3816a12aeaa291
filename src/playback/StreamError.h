#pragma once

#include <QString>
#include <QStringList>

// Why a stream failed, told from what the engines report, and said in words a user
// understands ("The server refused the connection.") rather than in the engines' own
// ("loading failed", "Internal data stream error.").
struct StreamFailure
{
    enum Fault {
        Unknown,       // the engine's own text is all there is
        Refused,       // nothing listens at the server's port
        UnknownHost,   // the server's name is not known
        TimedOut,      // the server did not answer in time
        HttpStatus,    // the server answered with an HTTP error
        NotMedia,      // the reply is no audio or video (an HTML page, an empty reply, noise)
        NoSuchFile,    // a local file that is not there
        MissingCodec,  // a format no installed decoder plays
        NoConnection,  // the server could not be reached, for a reason the engine keeps to itself
        EmptyPlaylist, // a playlist without any entry to play
    };

    Fault fault = Unknown;
    int httpStatus = 0;
    QString detail; // the engine's text, or the HTTP reason phrase

    // The text for the status line (without "Error: ").
    QString describe() const;
    // Whether a connection test would tell more (the engine gave no reason).
    bool needsProbe() const { return fault == NoConnection; }
};

// From the first engine: its warning and error log lines since the stream was opened
// ("prefix: text"), its end-of-file error and whether the network timeout had passed.
StreamFailure MpvFailure(const QStringList &log, const QString &error, bool timeoutPassed);

// From the second engine: a GStreamer error's domain ("gst-resource-error-quark"), code,
// message, debug text and the name of the element that posted it ("source" for the source).
StreamFailure GstFailure(const QString &domain, int code, const QString &message, const QString &debug,
                         const QString &origin);
