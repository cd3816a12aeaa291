#include "StreamError.h"

#include <QRegularExpression>

namespace {

bool has(const QString &text, const char *needle)
{
    return text.contains(QLatin1String(needle), Qt::CaseInsensitive);
}

// Common network failures, in the words of the C library and of the engines' sources.
StreamFailure::Fault networkFault(const QString &text)
{
    if (has(text, "Connection refused"))
        return StreamFailure::Refused;
    if (has(text, "resolve hostname") || has(text, "Name or service not known") ||
        has(text, "failure in name resolution") || has(text, "No address associated") ||
        has(text, "Could not resolve"))
        return StreamFailure::UnknownHost;
    if (has(text, "timed out") || has(text, "Timeout was reached"))
        return StreamFailure::TimedOut;
    return StreamFailure::Unknown;
}

QString sentence(QString text)
{
    text = text.trimmed();
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    if (!text.isEmpty() && !text.endsWith(u'.'))
        text += u'.';
    return text;
}

} // namespace

QString StreamFailure::describe() const
{
    switch (fault) {
    case Refused:
        return QStringLiteral("The server refused the connection.");
    case UnknownHost:
        return QStringLiteral("The server's name could not be found.");
    case TimedOut:
        return QStringLiteral("The server did not answer in time.");
    case HttpStatus: {
        const QString status = detail.isEmpty() ? QStringLiteral("HTTP %1").arg(httpStatus)
                                                : QStringLiteral("HTTP %1 %2").arg(httpStatus).arg(detail);
        if (httpStatus == 404 || httpStatus == 410)
            return QStringLiteral("The server has no stream at this address (%1).").arg(status);
        if (httpStatus == 401 || httpStatus == 403 || httpStatus == 407)
            return QStringLiteral("The server does not allow access to this stream (%1).").arg(status);
        if (httpStatus >= 500)
            return QStringLiteral("The server failed to deliver the stream (%1).").arg(status);
        return QStringLiteral("The server answered with an error (%1).").arg(status);
    }
    case NotMedia:
        return QStringLiteral("The address holds no audio or video that can be played.");
    case NoSuchFile:
        return QStringLiteral("The file does not exist.");
    case MissingCodec:
        return QStringLiteral("No decoder for this stream's format is installed.");
    case NoConnection:
        return QStringLiteral("The server could not be reached.");
    case EmptyPlaylist:
        return QStringLiteral("The playlist names no stream to play.");
    case Unknown:
        break;
    }
    return detail.isEmpty() ? QStringLiteral("The stream could not be played.") : sentence(detail);
}

StreamFailure MpvFailure(const QStringList &log, const QString &error, bool timeoutPassed)
{
    StreamFailure f;
    static const QRegularExpression http(QStringLiteral("HTTP error (\\d{3})\\s*(.*)$"));
    for (const QString &line : log) {
        if (const QRegularExpressionMatch m = http.match(line); m.hasMatch()) {
            f.fault = StreamFailure::HttpStatus;
            f.httpStatus = m.captured(1).toInt();
            f.detail = m.captured(2).trimmed();
            return f;
        }
        if (const StreamFailure::Fault net = networkFault(line); net != StreamFailure::Unknown) {
            f.fault = net;
            f.detail = line;
            return f;
        }
        if (has(line, "No such file or directory")) {
            f.fault = StreamFailure::NoSuchFile;
            f.detail = line;
            return f;
        }
    }
    if (has(error, "unrecognized file format") || has(error, "no audio or video")) {
        f.fault = StreamFailure::NotMedia;
    } else if (has(error, "loading failed") && timeoutPassed) {
        // A server that accepts and never answers: mpv only says the stream did not open.
        f.fault = StreamFailure::TimedOut;
    }
    f.detail = error;
    return f;
}

StreamFailure GstFailure(const QString &domain, int code, const QString &message, const QString &debug,
                         const QString &origin)
{
    StreamFailure f;
    f.detail = message;
    // GStreamer's error codes (gsterror.h).
    constexpr int kCoreMissingPlugin = 12;
    constexpr int kResourceNotFound = 3, kResourceOpenRead = 5, kResourceOpenReadWrite = 7, kResourceNotAuthorized = 15;
    constexpr int kStreamFailed = 1, kStreamTypeNotFound = 4, kStreamWrongType = 5, kStreamCodecNotFound = 6;
    static const QRegularExpression status(QStringLiteral("\\((\\d{3})\\)"));
    const bool resource = domain == u"gst-resource-error-quark";
    const bool stream = domain == u"gst-stream-error-quark";
    if (resource) {
        if (const QRegularExpressionMatch m = status.match(debug); m.hasMatch()) {
            f.fault = StreamFailure::HttpStatus;
            f.httpStatus = m.captured(1).toInt();
            return f;
        }
        if (const StreamFailure::Fault net = networkFault(debug + u' ' + message); net != StreamFailure::Unknown) {
            f.fault = net;
            return f;
        }
        if (code == kResourceNotFound && has(debug, "No such file")) {
            f.fault = StreamFailure::NoSuchFile;
            return f;
        }
        if (code == kResourceOpenReadWrite || code == kResourceOpenRead || code == kResourceNotFound) {
            f.fault = StreamFailure::NoConnection;
            return f;
        }
        if (code == kResourceNotAuthorized) {
            f.fault = StreamFailure::HttpStatus;
            f.httpStatus = 401;
            return f;
        }
        return f;
    }
    if (stream && (code == kStreamTypeNotFound || code == kStreamWrongType)) {
        f.fault = StreamFailure::NotMedia;
        return f;
    }
    if ((stream && code == kStreamCodecNotFound) || (domain == u"gst-core-error-quark" && code == kCoreMissingPlugin)) {
        // Only a decoder for text (an HTML page, a text file) means the reply is no media.
        static const QRegularExpression missingText(QStringLiteral("Missing decoder: text/"));
        f.fault = missingText.match(debug).hasMatch() || has(message, "'text/") ? StreamFailure::NotMedia
                                                                                 : StreamFailure::MissingCodec;
        return f;
    }
    if (stream && code == kStreamFailed && origin == u"source")
        f.fault = StreamFailure::NoConnection; // the source stopped without saying why
    return f;
}
