#include "ListCipher.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSaveFile>

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

namespace {

// Runs all of `in` through a fresh cipher into `out`.
bool cipherStream(QFile &in, QIODevice &out)
{
    ListCipher cipher;
    QByteArray buffer(64 * 1024, Qt::Uninitialized);
    for (;;) {
        const qint64 got = in.read(buffer.data(), buffer.size());
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        cipher.process(buffer.data(), got);
        if (out.write(buffer.constData(), got) != got)
            return false;
    }
}

} // namespace

QString DecipherListFile(const QString &listFile)
{
    QFile in(listFile);
    if (!in.open(QIODevice::ReadOnly))
        return {};
    const QString work = WorkingCopyOf(listFile);
    if (QFile::exists(work) && !QFile::remove(work))
        return {};
    QFile out(work);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return {};
    const bool ok = cipherStream(in, out);
    out.close();
    if (!ok || out.error() != QFileDevice::NoError) {
        QFile::remove(work);
        return {};
    }
    return work;
}

QString EncipherListFile(const QString &plainFile, const QString &target)
{
    QFile in(plainFile);
    if (!in.open(QIODevice::ReadOnly))
        return {};
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        return {};
    if (!cipherStream(in, out)) {
        out.cancelWriting();
        return {};
    }
    return out.commit() ? target : QString();
}
