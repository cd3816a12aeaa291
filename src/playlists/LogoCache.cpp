#include "LogoCache.h"

#include "PlaylistReader.h"
#include "base/AppInfo.h"
#include "base/SafeFile.h"
#include "online/HttpReader.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QJsonDocument>
#include <QJsonObject>
#include <QXmlStreamReader>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

namespace {

constexpr qint64 kRetrySeconds = 24 * 60 * 60;
constexpr int kTransferTimeoutMs = 20000;

QString failuresFile(const QString &folder)
{
    return folder + QStringLiteral("failures.json");
}

// An SVG that names nothing outside itself. Drawing one that does would read whatever local
// file its <image> names into the cached logo, for anyone the list came from.
bool refersOutside(QStringView text)
{
    if (text.contains(QLatin1StringView("@import"), Qt::CaseInsensitive))
        return true;
    for (qsizetype at = text.indexOf(QLatin1StringView("url(")); at >= 0;
         at = text.indexOf(QLatin1StringView("url("), at + 4)) {
        QStringView target = text.sliced(at + 4).trimmed();
        if (target.startsWith(u'"') || target.startsWith(u'\''))
            target = target.sliced(1);
        if (!target.startsWith(u'#'))
            return true;
    }
    return false;
}

bool svgIsSelfContained(const QByteArray &bytes)
{
    QXmlStreamReader xml(bytes);
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::DTD && !xml.entityDeclarations().isEmpty())
            return false;
        if (token == QXmlStreamReader::Characters && refersOutside(xml.text()))
            return false;
        if (token != QXmlStreamReader::StartElement)
            continue;
        for (const QXmlStreamAttribute &a : xml.attributes()) {
            const QStringView value = a.value().trimmed();
            if (a.name() == u"href" && !value.startsWith(u'#') && !value.startsWith(QLatin1StringView("data:")))
                return false;
            if (refersOutside(value))
                return false;
        }
    }
    return !xml.hasError();
}

// Decodes, scales and stores one logo; keeps the folder under `limit`. Runs on the worker.
bool store(const QByteArray &bytes, const QString &file, const QString &folder, qint64 limit,
           const std::shared_ptr<std::atomic<qint64>> &total)
{
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    const QByteArray format = reader.format();
    if (format == "svgz" || (format == "svg" && !svgIsSelfContained(bytes)))
        return false;
    // A picture claiming to be huge is refused before it is decoded.
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > 64LL * 1024 * 1024)
        return false;
    QImage image = reader.read();
    if (image.isNull())
        return false;
    if (image.width() > LogoCache::kLargestSide || image.height() > LogoCache::kLargestSide)
        image = image.scaled(LogoCache::kLargestSide, LogoCache::kLargestSide, Qt::KeepAspectRatio,
                             Qt::SmoothTransformation);
    QByteArray png;
    QBuffer out(&png);
    out.open(QIODevice::WriteOnly);
    if (!image.save(&out, "PNG"))
        return false;
    QDir().mkpath(folder);
    if (!WriteFileAtomically(file, png))
        return false;

    QList<QFileInfo> files;
    const auto list = [&] {
        files = QDir(folder).entryInfoList({QStringLiteral("*.png")}, QDir::Files, QDir::Time | QDir::Reversed);
        qint64 sum = 0;
        for (const QFileInfo &f : std::as_const(files))
            sum += f.size();
        return sum;
    };
    if (total->load() < 0)
        total->store(list());
    else
        total->fetch_add(png.size());
    if (total->load() > limit) {
        qint64 sum = list(); // oldest first
        for (const QFileInfo &f : std::as_const(files)) {
            if (sum <= limit * 9 / 10)
                break;
            if (f.absoluteFilePath() == QFileInfo(file).absoluteFilePath())
                continue;
            if (QFile::remove(f.absoluteFilePath()))
                sum -= f.size();
        }
        total->store(sum);
    }
    return true;
}

} // namespace

LogoCache::LogoCache(const QString &folder, QObject *parent)
    : QObject(parent), m_folder(folder.endsWith(u'/') ? folder : folder + u'/'),
      m_total(std::make_shared<std::atomic<qint64>>(-1))
{
    m_worker.setMaxThreadCount(1);
    m_saveFailures.setSingleShot(true);
    m_saveFailures.setInterval(2000);
    connect(&m_saveFailures, &QTimer::timeout, this, &LogoCache::saveFailures);
}

LogoCache::~LogoCache()
{
    for (HttpReader *reader : m_running.keys())
        reader->stop();
    if (m_saveFailures.isActive())
        saveFailures();
    m_worker.waitForDone();
}

QString LogoCache::key(const QString &address) const
{
    return QString::fromLatin1(QCryptographicHash::hash(address.toUtf8(), QCryptographicHash::Sha1).toHex());
}

QString LogoCache::fileFor(const QString &address) const
{
    return m_folder + key(address) + QStringLiteral(".png");
}

bool LogoCache::has(const QString &address) const
{
    return QFileInfo::exists(fileFor(address));
}

void LogoCache::request(const QString &address)
{
    if (!IsWebAddress(address) || m_pending.contains(address) || has(address))
        return;
    if (!m_failuresLoaded) {
        // Read at the first logo asked for, not while the window starts.
        m_failuresLoaded = true;
        loadFailures();
    }
    const auto failedAt = m_failures.constFind(key(address));
    if (failedAt != m_failures.cend() && failedAt->secsTo(QDateTime::currentDateTimeUtc()) < kRetrySeconds)
        return;
    m_pending.insert(address);
    m_waiting.append(address);
    pump();
}

void LogoCache::dropWaiting()
{
    for (const QString &address : std::as_const(m_waiting))
        m_pending.remove(address);
    m_waiting.clear();
}

void LogoCache::pump()
{
    while (m_running.size() < kMaxConcurrent && !m_waiting.isEmpty()) {
        // The rows asked for last are the ones on screen now.
        const QString address = m_waiting.takeLast();
        auto *reader = new HttpReader({QUrl(address), AppUserAgent(), {}, {}, m_extraCertificates, true, 5},
                                      kMaxDownload + 1, this);
        m_running.insert(reader, address);
        m_highestRunning = std::max(m_highestRunning, int(m_running.size()));
        connect(reader, &HttpReader::finished, this,
                [this, reader, address](const QString &error) { finished(reader, address, error); });
        // However slowly it comes, a logo gets this long.
        QTimer::singleShot(kTransferTimeoutMs, reader, [this, reader, address] {
            reader->stop();
            finished(reader, address, QStringLiteral("timed out"));
        });
        reader->start();
    }
}

void LogoCache::finished(HttpReader *reader, const QString &address, const QString &error)
{
    if (!m_running.remove(reader))
        return;
    reader->deleteLater();
    const HttpReader::Reply &r = reader->reply();
    const QByteArray bytes = error.isEmpty() && r.status >= 200 && r.status < 300 ? r.body : QByteArray();
    if (bytes.isEmpty() || bytes.size() > kMaxDownload) {
        fail(address);
    } else {
        const QString file = fileFor(address);
        const QString folder = m_folder;
        const qint64 limit = m_limit;
        const auto total = m_total;
        QtConcurrent::run(&m_worker, [bytes, file, folder, limit, total] {
            return store(bytes, file, folder, limit, total);
        }).then(this, [this, address](bool ok) {
            if (ok) {
                m_pending.remove(address);
                emit ready(address);
            } else {
                fail(address);
            }
        });
    }
    pump();
}

void LogoCache::fail(const QString &address)
{
    m_pending.remove(address);
    m_failures.insert(key(address), QDateTime::currentDateTimeUtc());
    m_saveFailures.start();
    emit failed(address);
}

void LogoCache::loadFailures()
{
    QFile file(failuresFile(m_folder));
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QJsonObject o = QJsonDocument::fromJson(file.read(8 << 20)).object();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (auto it = o.begin(); it != o.end(); ++it) {
        const QDateTime when = QDateTime::fromSecsSinceEpoch(qint64(it.value().toDouble()), Qt::UTC);
        if (when.isValid() && when.secsTo(now) < kRetrySeconds)
            m_failures.insert(it.key(), when);
    }
}

void LogoCache::saveFailures()
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QJsonObject o;
    for (auto it = m_failures.begin(); it != m_failures.end();) {
        if (it->secsTo(now) >= kRetrySeconds) {
            it = m_failures.erase(it);
            continue;
        }
        o.insert(it.key(), double(it->toSecsSinceEpoch()));
        ++it;
    }
    QDir().mkpath(m_folder);
    WriteFileAtomically(failuresFile(m_folder), QJsonDocument(o).toJson(QJsonDocument::Compact));
}
