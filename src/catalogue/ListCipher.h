#pragma once

#include <QByteArray>
#include <QString>

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

// Deciphers list file P into its working copy P + "~temp" (replacing an old one) and returns
// the working copy's path; empty text on any failure, with no file left open.
QString DecipherListFile(const QString &listFile);

// Replaces D by the enciphered text of plain file S and returns D; empty text on failure.
// D is replaced whole or not at all: a failure part-way leaves its old content.
QString EncipherListFile(const QString &plainFile, const QString &target);

// The working copy of list file P.
inline QString WorkingCopyOf(const QString &listFile)
{
    return listFile + QStringLiteral("~temp");
}
