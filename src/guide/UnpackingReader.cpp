#include "UnpackingReader.h"

#include <QIODevice>
#include <QLocale>

#include <lzma.h>
#include <zlib.h>

struct UnpackingReader::Codec
{
    z_stream zs{};
    lzma_stream xz = LZMA_STREAM_INIT;
    bool zlibOpen = false;
    bool xzOpen = false;
    ~Codec()
    {
        if (zlibOpen)
            inflateEnd(&zs);
        if (xzOpen)
            lzma_end(&xz);
    }
};

namespace {

constexpr qint64 kPiece = 256 * 1024;

} // namespace

UnpackingReader::UnpackingReader(QIODevice &source, qint64 limit)
    : m_source(source), m_limit(limit), m_codec(std::make_unique<Codec>())
{
    const QByteArray head = m_source.peek(6);
    if (head.startsWith("\x1f\x8b")) {
        m_packing = Packing::Gzip;
        // 16 + MAX_WBITS: gzip framing only.
        m_codec->zlibOpen = inflateInit2(&m_codec->zs, 16 + MAX_WBITS) == Z_OK;
    } else if (head == QByteArrayView("\xfd"
                                      "7zXZ\x00",
                                      6)) {
        m_packing = Packing::Xz;
        m_codec->xzOpen = lzma_stream_decoder(&m_codec->xz, UINT64_MAX, LZMA_CONCATENATED) == LZMA_OK;
    }
    if (m_packing != Packing::Plain && !m_codec->zlibOpen && !m_codec->xzOpen)
        fail(QStringLiteral("the decompressor could not be started"));
}

UnpackingReader::~UnpackingReader() = default;

qint64 UnpackingReader::fail(const QString &why)
{
    if (m_error.isEmpty())
        m_error = why;
    return -1;
}

bool UnpackingReader::refill()
{
    if (m_inAt < m_in.size() || m_sourceEnded)
        return m_inAt < m_in.size();
    m_in.resize(kPiece);
    const qint64 n = m_source.read(m_in.data(), kPiece);
    m_in.resize(qMax<qint64>(n, 0));
    m_inAt = 0;
    if (n <= 0)
        m_sourceEnded = true;
    else
        m_packedRead += n;
    return n > 0;
}

qint64 UnpackingReader::read(char *out, qint64 max)
{
    if (!m_error.isEmpty())
        return -1;
    if (m_ended || max <= 0)
        return 0;
    qint64 made = 0;
    if (m_packing == Packing::Plain) {
        made = m_source.read(out, max);
        if (made < 0)
            return fail(m_source.errorString());
        m_packedRead += made;
        if (made == 0)
            m_ended = true;
    } else if (m_packing == Packing::Gzip) {
        z_stream &zs = m_codec->zs;
        while (made == 0) {
            if (!refill()) // the input ended inside a member
                return fail(QStringLiteral("the packed guide ends early"));
            zs.next_in = reinterpret_cast<Bytef *>(m_in.data() + m_inAt);
            zs.avail_in = uInt(m_in.size() - m_inAt);
            zs.next_out = reinterpret_cast<Bytef *>(out);
            zs.avail_out = uInt(qMin<qint64>(max, 1 << 30));
            const int r = inflate(&zs, Z_NO_FLUSH);
            m_inAt = m_in.size() - zs.avail_in;
            made = reinterpret_cast<char *>(zs.next_out) - out;
            if (r == Z_STREAM_END) {
                // Another member may follow (concatenated gzip files are one file).
                inflateReset(&zs);
                if (!refill()) {
                    m_ended = true;
                    break;
                }
            } else if (r != Z_OK && r != Z_BUF_ERROR) {
                return fail(QStringLiteral("the packed guide is damaged"));
            }
        }
    } else {
        lzma_stream &xz = m_codec->xz;
        while (made == 0) {
            const bool more = refill();
            xz.next_in = reinterpret_cast<const uint8_t *>(m_in.constData() + m_inAt);
            xz.avail_in = size_t(m_in.size() - m_inAt);
            xz.next_out = reinterpret_cast<uint8_t *>(out);
            xz.avail_out = size_t(max);
            const lzma_ret r = lzma_code(&xz, more ? LZMA_RUN : LZMA_FINISH);
            m_inAt = m_in.size() - qsizetype(xz.avail_in);
            made = reinterpret_cast<char *>(xz.next_out) - out;
            if (r == LZMA_STREAM_END) {
                m_ended = true;
                break;
            }
            if (r != LZMA_OK)
                return fail(r == LZMA_BUF_ERROR ? QStringLiteral("the packed guide ends early")
                                                : QStringLiteral("the packed guide is damaged"));
            if (!more && made == 0)
                return fail(QStringLiteral("the packed guide ends early"));
        }
    }
    m_unpacked += made;
    if (m_unpacked > m_limit)
        return fail(
            QStringLiteral("the guide is larger than %1 unpacked").arg(QLocale::c().formattedDataSize(m_limit)));
    return made;
}
