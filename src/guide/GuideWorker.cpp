#include "GuideWorker.h"

#include "GuideImport.h"
#include "UnpackingReader.h"
#include "base/AppInfo.h"
#include "base/Errors.h"
#include "catalogue/ListDocuments.h"
#include "online/HttpReader.h"
#include "playlists/PlaylistReader.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocale>
#include <QUrl>

namespace {

// Every channel element of a list (one with an address), however deep its groups go.
void collect(const XmlNode &node, QList<ListChannel> &out)
{
    for (const XmlNode &child : node.childNodes()) {
        if (child.hasAttribute("URL")) {
            out.append({TvgIdOfListId(child.attribute("ID").value_or(QString())),
                        child.attribute("TvgName").value_or(QString()),
                        child.attribute("ChannelName").value_or(QString())});
        } else {
            collect(child, out);
        }
    }
}

} // namespace

GuideWorker::GuideWorker(const QString &databasePath, const QString &spoolFolder, Reports reports)
    : m_path(databasePath), m_spoolFolder(spoolFolder), m_reports(std::move(reports)),
      m_maxDownload(UnpackingReader::kDefaultLimit)
{
    m_stall.setSingleShot(true);
    m_stall.setInterval(kStallMs);
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(kDeadlineMs);
    connect(&m_stall, &QTimer::timeout, this,
            [this] { downloaded(QStringLiteral("nothing came for %1 s").arg(m_stall.interval() / 1000.0)); });
    connect(&m_deadline, &QTimer::timeout, this, [this] { downloaded(QStringLiteral("it took too long")); });
}

GuideWorker::~GuideWorker()
{
    if (m_reader)
        m_reader->stop();
}

void GuideWorker::setLimits(int stallMs, qint64 maxDownload)
{
    m_stall.setInterval(stallMs);
    m_maxDownload = maxDownload;
}

void GuideWorker::open()
{
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    m_store = std::make_unique<GuideStore>(m_path);
    if (!m_store->notice().isEmpty())
        m_reports.notice(m_store->notice());
    postSources();
    rebuildSchedule();
}

void GuideWorker::postSources()
{
    if (m_store && m_store->isOpen())
        m_reports.sources(m_store->sources());
}

const ListIndex &GuideWorker::lists()
{
    if (!m_lists) {
        QList<ListChannel> channels;
        for (const QString &file : std::as_const(m_listFiles)) {
            try {
                collect(OpenListDocument(file)->documentElement(), channels);
            } catch (const ZError &) {
                // A list that cannot be read has no channels to match.
            }
        }
        m_lists = std::make_unique<ListIndex>(channels);
    }
    return *m_lists;
}

void GuideWorker::setLists(const QStringList &listFiles)
{
    m_listFiles = listFiles;
    m_lists.reset();
}

void GuideWorker::setPlaylistGuides(const QStringList &addresses)
{
    if (!m_store || !m_store->isOpen())
        return;
    bool changed = false;
    for (const GuideSourceRow &s : m_store->sources()) {
        if (!s.fromUser && !addresses.contains(s.address) && !(m_busy && s.row == m_current.row)) {
            m_store->removeSource(s.row);
            changed = true;
        }
    }
    for (const QString &a : addresses) {
        const auto known = m_store->sources();
        if (std::none_of(known.cbegin(), known.cend(), [&a](const GuideSourceRow &s) { return s.address == a; })) {
            m_store->addSource(a, false);
            changed = true;
        }
    }
    if (changed) {
        postSources();
        rebuildSchedule();
    }
}

void GuideWorker::addSource(const QString &address)
{
    if (!m_store || !m_store->isOpen())
        return;
    const qint64 row = m_store->addSource(address, true);
    postSources();
    if (row > 0 && !m_queue.contains(row)) {
        m_queue.append(row);
        next();
    }
}

void GuideWorker::removeSource(qint64 row)
{
    if (!m_store || !m_store->isOpen())
        return;
    m_queue.removeAll(row);
    if (m_busy && m_current.row == row && m_reader)
        downloaded(QStringLiteral("the source was removed"));
    m_store->removeSource(row);
    postSources();
    rebuildSchedule();
}

void GuideWorker::refresh(bool all, int hours)
{
    if (!m_store || !m_store->isOpen())
        return;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    for (const GuideSourceRow &s : m_store->sources()) {
        const bool due = all || s.refreshed == 0 || (hours > 0 && now - s.refreshed >= qint64(hours) * 3600);
        if (due && !m_queue.contains(s.row) && !(m_busy && m_current.row == s.row))
            m_queue.append(s.row);
    }
    next();
}

void GuideWorker::next()
{
    if (m_busy)
        return;
    while (!m_queue.isEmpty()) {
        const qint64 row = m_queue.takeFirst();
        const auto sources = m_store->sources();
        const auto it =
            std::find_if(sources.cbegin(), sources.cend(), [row](const GuideSourceRow &s) { return s.row == row; });
        if (it == sources.cend())
            continue;
        m_busy = true;
        m_current = *it;
        if (IsWebAddress(it->address))
            download(*it);
        else
            import(*it, it->address, false);
        return;
    }
    m_reports.progress({});
}

void GuideWorker::download(const GuideSourceRow &source)
{
    QDir().mkpath(m_spoolFolder);
    m_spool.setFileName(QDir(m_spoolFolder).filePath(QStringLiteral("guide-%1.part").arg(source.row)));
    if (!m_spool.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        finish(source, false, QStringLiteral("it cannot be saved: %1").arg(m_spool.errorString()));
        return;
    }
    HttpReader::Request request;
    request.url = QUrl(source.address);
    request.userAgent = AppUserAgent();
    request.maxRedirects = 5;
    request.compressed = true;
    request.ifNoneMatch = source.etag;
    request.ifModifiedSince = source.modified;
    m_reader = std::make_unique<HttpReader>(request, m_maxDownload);
    m_tooLarge = false;
    m_reader->setSink([this](QByteArrayView data) {
        m_tooLarge = m_spool.size() + data.size() > m_maxDownload;
        return !m_tooLarge && m_spool.write(data.data(), data.size()) == data.size();
    });
    connect(m_reader.get(), &HttpReader::bodyRead, &m_stall, qOverload<>(&QTimer::start));
    connect(m_reader.get(), &HttpReader::headersRead, &m_stall, qOverload<>(&QTimer::start));
    connect(m_reader.get(), &HttpReader::bodyRead, this, [this] {
        m_reports.progress(
            QStringLiteral("Downloading the guide: %1").arg(QLocale().formattedDataSize(m_spool.size())));
    });
    connect(m_reader.get(), &HttpReader::finished, this, &GuideWorker::downloaded);
    m_reports.progress(QStringLiteral("Downloading the guide from %1...").arg(QUrl(source.address).host()));
    m_stall.start();
    m_deadline.start();
    m_reader->start();
}

void GuideWorker::downloaded(const QString &error)
{
    if (!m_reader)
        return;
    m_stall.stop();
    m_deadline.stop();
    const HttpReader::Reply reply = m_reader->reply();
    m_reader->stop();
    m_reader.release()->deleteLater(); // it may be the one reporting
    m_spool.close();
    const GuideSourceRow source = m_current;
    const auto failed = [&](const QString &why) {
        QFile::remove(m_spool.fileName());
        finish(source, false, why);
    };
    const QString tooLarge =
        QStringLiteral("the guide is larger than %1").arg(QLocale::c().formattedDataSize(m_maxDownload));
    if (m_tooLarge)
        return failed(tooLarge);
    if (!error.isEmpty())
        return failed(error);
    if (reply.status == 304) {
        QFile::remove(m_spool.fileName());
        finish(source, true, QStringLiteral("unchanged"));
        return;
    }
    if (reply.status != 200)
        return failed(QStringLiteral("the server answered %1 %2").arg(reply.status).arg(reply.reason));
    if (!reply.ended)
        return failed(tooLarge);
    m_current.etag = reply.etag;
    m_current.modified = reply.lastModified;
    import(m_current, m_spool.fileName(), true);
    QFile::remove(m_spool.fileName());
}

void GuideWorker::import(const GuideSourceRow &source, const QString &file, bool keepValidators)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        finish(source, false, QStringLiteral("it cannot be read: %1").arg(in.errorString()));
        return;
    }
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    GuideImportOptions options;
    options.from = now - 86400;
    options.to = now + kKeepDays * 86400;
    options.language = QLocale().name();
    QElapsedTimer told;
    told.start();
    options.progress = [this, &told](qint64 read, qint64 total) {
        if (told.elapsed() >= 250 && total > 0) {
            told.restart();
            m_reports.progress(QStringLiteral("Reading the guide: %1%").arg(read * 100 / total));
        }
        return true;
    };
    const GuideImportResult r = ImportGuide(in, *m_store, source.row, lists(), options);
    if (r.ok && keepValidators)
        m_store->setSourceValidators(source.row, source.etag, source.modified);
    finish(source, r.ok, r.message);
    if (r.ok)
        rebuildSchedule();
}

void GuideWorker::finish(const GuideSourceRow &source, bool ok, const QString &result)
{
    m_store->setSourceResult(source.row, QDateTime::currentSecsSinceEpoch(), ok, result);
    if (!ok)
        m_reports.notice(QStringLiteral("The guide %1 was not refreshed: %2").arg(source.address, result));
    m_busy = false;
    postSources();
    next();
}

void GuideWorker::rebuildSchedule()
{
    if (!m_store || !m_store->isOpen())
        return;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    // Today's and tomorrow's grid, whatever the local time, are in it.
    m_reports.schedule(scheduleFor(now - 28 * 3600, now + 52 * 3600));
}

std::shared_ptr<GuideSchedule> GuideWorker::scheduleFor(qint64 from, qint64 to)
{
    auto schedule = std::make_shared<GuideSchedule>();
    if (!m_store || !m_store->isOpen())
        return schedule;
    for (const GuideChannelRow &c : m_store->channels())
        schedule->addChannel(c.row, c.id, c.names);
    for (const GuideProgramme &p : m_store->schedule(from, to))
        schedule->addProgramme(p.channel, {p.start, p.stop, p.title});
    schedule->finish();
    schedule->setSpan(from, to);
    return schedule;
}

GuideProgramme GuideWorker::details(qint64 channel, qint64 start)
{
    if (!m_store || !m_store->isOpen())
        return {};
    const QList<GuideProgramme> found = m_store->programmes(channel, start, start + 1);
    for (const GuideProgramme &p : found) {
        if (p.start == start)
            return p;
    }
    return {};
}

QList<GuideProgramme> GuideWorker::search(const QString &text, int limit)
{
    return m_store && m_store->isOpen() ? m_store->search(text, limit) : QList<GuideProgramme>();
}
