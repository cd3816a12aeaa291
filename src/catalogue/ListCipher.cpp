#include "ListCipher.h"

#include "base/Errors.h"
#include "base/SafeFile.h"

#include <QCryptographicHash>
#include <QFile>

#include <algorithm>

ListCipher::ListCipher()
{
    const QByteArray key = QCryptographicHash::hash(QByteArrayLiteral("kz"), QCryptographicHash::Sha1);
    for (int n = 0; n < 256; ++n)
        m_s[n] = std::uint8_t(n);
    std::uint8_t j = 0;
    for (int n = 0; n < 256; ++n) {
        j = std::uint8_t(j + m_s[n] + std::uint8_t(key[n % key.size()]));
        std::swap(m_s[n], m_s[j]);
    }
}

ListCipher::~ListCipher()
{
    // Volatile writes so the wipe is not optimised away.
    volatile std::uint8_t *p = m_s.data();
    for (std::size_t n = 0; n < m_s.size(); ++n)
        p[n] = 0;
    m_i = m_j = 0;
    m_position = 0;
}

void ListCipher::process(char *data, qsizetype size)
{
    std::uint8_t i = m_i, j = m_j;
    std::uint8_t *s = m_s.data();
    auto *p = reinterpret_cast<std::uint8_t *>(data);
    while (size > 0) {
        const qsizetype offset = qsizetype(m_position % kBlockSize);
        if (offset == 0)
            i = j = 0;
        const qsizetype run = std::min(size, kBlockSize - offset);
        for (qsizetype n = 0; n < run; ++n) {
            i = std::uint8_t(i + 1);
            j = std::uint8_t(j + s[i]);
            const std::uint8_t t = s[i];
            s[i] = s[j];
            s[j] = t;
            p[n] ^= s[std::uint8_t(s[i] + s[j])];
        }
        p += run;
        size -= run;
        m_position += run;
    }
    m_i = i;
    m_j = j;
}

QByteArray CipherBytes(QByteArray bytes)
{
    ListCipher cipher;
    cipher.process(bytes.data(), bytes.size());
    return bytes;
}

QByteArray ReadListFile(const QString &path)
{
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        throw ZError(QStringLiteral("Cannot read %1: %2").arg(path, in.errorString()));
    if (in.size() > kMaxListFileSize)
        throw ZError(QStringLiteral("%1 is too large to be a channel list.").arg(path));
    QByteArray bytes = in.read(kMaxListFileSize + 1);
    if (in.error() != QFileDevice::NoError)
        throw ZError(QStringLiteral("Cannot read %1: %2").arg(path, in.errorString()));
    if (bytes.size() > kMaxListFileSize) // a file that grew while it was read
        throw ZError(QStringLiteral("%1 is too large to be a channel list.").arg(path));
    ListCipher cipher;
    cipher.process(bytes.data(), bytes.size());
    return bytes;
}

void WriteListFile(const QString &path, const QByteArray &plain)
{
    if (plain.size() > kMaxListFileSize)
        throw ZError(QStringLiteral("The channel list is too large to be written to %1.").arg(path));
    if (!WriteFileAtomically(path, CipherBytes(plain)))
        throw ZError(QStringLiteral("Unable to write to %1").arg(path));
}

ListFileWriter::ListFileWriter(const QString &path) : m_path(path), m_file(std::make_unique<AtomicWriter>(path))
{
    if (!m_file->open())
        throw ZError(QStringLiteral("Unable to write to %1").arg(path));
}

ListFileWriter::~ListFileWriter() = default;

void ListFileWriter::write(QByteArrayView plain)
{
    m_written += plain.size();
    if (m_written > kMaxListFileSize)
        throw ZError(QStringLiteral("The channel list is too large to be written to %1.").arg(m_path));
    // Enciphered a block at a time: a small buffer whatever the list's size.
    while (!plain.isEmpty()) {
        const qsizetype take = std::min<qsizetype>(plain.size(), 64 * 1024 - m_buffer.size());
        m_buffer.append(plain.first(take));
        plain = plain.sliced(take);
        if (m_buffer.size() == 64 * 1024) {
            m_cipher.process(m_buffer.data(), m_buffer.size());
            if (!m_file->write(m_buffer))
                throw ZError(QStringLiteral("Unable to write to %1").arg(m_path));
            m_buffer.clear();
        }
    }
}

void ListFileWriter::commit()
{
    m_cipher.process(m_buffer.data(), m_buffer.size());
    if (!m_file->write(m_buffer) || !m_file->commit())
        throw ZError(QStringLiteral("Unable to write to %1").arg(m_path));
    m_buffer.clear();
}
