#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

class QIODevice;

// Reads a guide file as it was written, whatever it was packed with: gzip (several members too),
// xz, or nothing, recognised by the first bytes rather than the name. Reads a piece at a time;
// what it unpacks is bounded, so a small bomb cannot become a large memory or time cost.
class UnpackingReader
{
public:
    enum class Packing { Plain, Gzip, Xz };

    // `source` stays the caller's and must outlive the reader.
    UnpackingReader(QIODevice &source, qint64 limit);
    ~UnpackingReader();

    // Up to `max` unpacked bytes into `out`; 0 at the end; -1 on a failure (see error()).
    qint64 read(char *out, qint64 max);
    Packing packing() const { return m_packing; }
    qint64 unpacked() const { return m_unpacked; }
    qint64 packedRead() const { return m_packedRead; }
    QString error() const { return m_error; }

    static constexpr qint64 kDefaultLimit = qint64(4) << 30;

private:
    bool refill();
    qint64 fail(const QString &why);

    struct Codec;
    QIODevice &m_source;
    qint64 m_limit;
    Packing m_packing = Packing::Plain;
    std::unique_ptr<Codec> m_codec;
    QByteArray m_in;
    qsizetype m_inAt = 0;
    bool m_sourceEnded = false;
    bool m_ended = false;
    qint64 m_unpacked = 0;
    qint64 m_packedRead = 0;
    QString m_error;
};
