#include "GuideImport.h"

#include "GuideMatch.h"
#include "GuideSchedule.h"
#include "GuideStore.h"
#include "UnpackingReader.h"
#include "XmltvReader.h"

#include <QHash>
#include <QIODevice>
#include <QSet>

namespace {

constexpr qint64 kPiece = 256 * 1024;

// Unpacks `file` into `xml` a piece at a time; empty on success, else why not.
QString pump(QIODevice &file, XmltvReader &xml, const GuideImportOptions &options)
{
    UnpackingReader unpack(file, options.limit > 0 ? options.limit : UnpackingReader::kDefaultLimit);
    if (!unpack.error().isEmpty())
        return unpack.error();
    QByteArray buffer(kPiece, Qt::Uninitialized);
    const qint64 total = file.size();
    for (;;) {
        const qint64 n = unpack.read(buffer.data(), kPiece);
        if (n < 0)
            return unpack.error();
        if (!xml.feed(buffer.constData(), n, n == 0))
            return xml.error();
        if (n == 0)
            return {};
        if (options.progress && !options.progress(unpack.packedRead(), total))
            return QStringLiteral("the import was stopped");
    }
}

} // namespace

QString ReadGuide(QIODevice &file, const GuideImportOptions &options,
                  const std::function<void(XmltvChannel &&)> &channel,
                  const std::function<void(XmltvProgramme &&)> &programme)
{
    XmltvReader xml({channel, nullptr, programme}, options.language);
    if (options.to > options.from)
        xml.setWindow(options.from, options.to);
    return pump(file, xml, options);
}

GuideImportResult ImportGuide(QIODevice &file, GuideStore &store, qint64 source, const ListIndex &lists,
                              const GuideImportOptions &options)
{
    GuideImportResult result;
    if (!store.beginImport(source)) {
        result.message = QStringLiteral("the guide could not be written: %1").arg(store.notice());
        return result;
    }
    QHash<QByteArray, qint64> rows;     // XMLTV id -> channel row, for the list's channels
    QSet<QByteArray> declared;          // channels the guide declared, wanted or not
    QHash<qint64, XmltvProgramme> open; // per channel, a programme waiting for its end
    bool storeFailed = false;
    const auto store1 = [&](qint64 row, const XmltvProgramme &p) {
        if (store.addProgramme(row, p))
            ++result.programmes;
        else
            ++result.duplicates;
    };
    const auto onChannel = [&](XmltvChannel &&c) {
        const QByteArray id = c.id.toUtf8();
        if (declared.contains(id))
            return; // the first of the same id counts
        declared.insert(id);
        ++result.channels;
        if (!lists.matches(c.id, c.names))
            return;
        const qint64 row = store.addChannel(c);
        if (row == 0)
            storeFailed = true;
        rows.insert(id, row);
        ++result.matched;
    };
    const auto wants = [&](const QByteArray &id) {
        if (rows.contains(id))
            return true;
        if (declared.contains(id) || !lists.matches(QString::fromUtf8(id), {}))
            return false;
        // A channel the guide did not declare, known by its id alone.
        declared.insert(id);
        XmltvChannel c;
        c.id = QString::fromUtf8(id);
        rows.insert(id, store.addChannel(c));
        ++result.matched;
        return true;
    };
    const auto onProgramme = [&](XmltvProgramme &&p) {
        const qint64 row = rows.value(p.channel.toUtf8());
        if (auto it = open.find(row); it != open.end()) {
            if (p.start > it->start) {
                it->stop = p.start;
                store1(row, *it);
            }
            open.erase(it);
        }
        if (p.stop == 0)
            open.insert(row, std::move(p));
        else
            store1(row, p);
    };
    XmltvReader xml({onChannel, wants, onProgramme}, options.language);
    if (options.to > options.from)
        xml.setWindow(options.from, options.to);
    QString failure = pump(file, xml, options);
    if (failure.isEmpty() && storeFailed)
        failure = QStringLiteral("the guide could not be written");
    if (!failure.isEmpty()) {
        store.abandonImport();
        result.message = failure;
        return result;
    }
    for (auto it = open.begin(); it != open.end(); ++it) {
        it->stop = it->start + GuideSchedule::kUnknownLength;
        store1(it.key(), *it);
    }
    result.badTimes = xml.counts().badTimes;
    if (options.from > 0)
        store.prune(options.from);
    if (!store.commitImport(result.matched)) {
        result.message = QStringLiteral("the guide could not be written");
        return result;
    }
    result.ok = true;
    result.message = QStringLiteral("%1 of %2 channels, %3 programmes")
                         .arg(result.matched)
                         .arg(result.channels)
                         .arg(result.programmes);
    if (result.badTimes + result.duplicates > 0)
        result.message += QStringLiteral(" (%1 passed over)").arg(result.badTimes + result.duplicates);
    return result;
}
