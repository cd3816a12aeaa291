// Fuzz target: the HTTP reply parser fed arbitrary replies, cut into pieces at arbitrary places.
#include "online/HttpReply.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2 || size > (1u << 20))
        return 0;
    // The first two bytes choose where the reply is cut; the rest is the reply.
    const std::size_t cutA = data[0] % (size - 1);
    const std::size_t cutB = cutA + data[1] % (size - 1 - cutA + 1);
    const QByteArrayView reply(reinterpret_cast<const char *>(data + 2), qsizetype(size - 2));
    HttpReplyParser parser;
    qint64 body = 0;
    const auto sink = [&](QByteArrayView piece) {
        body += piece.size();
    };
    const qsizetype a = qMin<qsizetype>(qsizetype(cutA), reply.size());
    const qsizetype b = qMin<qsizetype>(qsizetype(cutB), reply.size());
    if (parser.feed(reply.first(a), sink) && parser.feed(reply.sliced(a, b - a), sink))
        parser.feed(reply.sliced(b), sink);
    const bool complete = parser.closed();
    // What went out is what the parser counted, and never more than was announced.
    if (body != parser.received())
        std::abort();
    if (complete && parser.contentLength() >= 0 && !parser.header("Transfer-Encoding") &&
        body != parser.contentLength())
        std::abort();
    return 0;
}
