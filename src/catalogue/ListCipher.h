#pragma once

class AtomicWriter;

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>

#include <array>
#include <cstdint>

// The cipher of channel list files: RC4 keyed with the SHA-1 digest of "kz", run over the file
// in blocks of 8192 bytes counted from its start. At the start of every block i and j go back
// to 0 while the state S carries over, so files past 8192 bytes differ from plain RC4. The block
// rule is part of the file format. Enciphering and deciphering are the same operation.
class ListCipher
{
public:
    static constexpr qsizetype kBlockSize = 8192;

    ListCipher();
    ~ListCipher(); // wipes the state
    ListCipher(const ListCipher &) = delete;
    ListCipher &operator=(const ListCipher &) = delete;

    // Processes the next `size` bytes of the file in place.
    void process(char *data, qsizetype size);

private:
    std::array<std::uint8_t, 256> m_s{};
    std::uint8_t m_i = 0;
    std::uint8_t m_j = 0;
    qint64 m_position = 0;
};

// The whole of `bytes` run through the cipher from the start of a file.
QByteArray CipherBytes(QByteArray bytes);

// The largest list file the program reads or writes (larger ones are refused whole).
inline constexpr qint64 kMaxListFileSize = qint64(256) << 20;

// The plain text of list file `path`, deciphered in memory (no plain copy is ever written).
// Raises ZError when it cannot be read or is larger than kMaxListFileSize.
QByteArray ReadListFile(const QString &path);

// Writes `plain` enciphered to `path`, replacing it whole or not at all. Raises ZError "Unable
// to write to <path>" when it cannot, and refuses a list larger than kMaxListFileSize before
// anything is written.
void WriteListFile(const QString &path, const QByteArray &plain);

// Writes a list file whose plain text comes in pieces, enciphered as it comes, so that no copy
// of a large list is held; the file is replaced whole at commit, or not at all. Raises ZError
// "Unable to write to <path>" when it cannot, and refuses a list larger than kMaxListFileSize.
class ListFileWriter
{
public:
    explicit ListFileWriter(const QString &path);
    ~ListFileWriter();
    void write(QByteArrayView plain);
    void commit();

private:
    QString m_path;
    std::unique_ptr<AtomicWriter> m_file;
    ListCipher m_cipher;
    QByteArray m_buffer;
    qint64 m_written = 0;
};
