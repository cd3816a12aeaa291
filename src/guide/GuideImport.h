#pragma once

#include <QString>

#include <functional>

class GuideStore;
class ListIndex;
class QIODevice;

struct GuideImportResult
{
    bool ok = false;
    QString message;     // why it failed, or what it came to
    qint64 channels = 0; // guide channels read
    int matched = 0;     // of them, the list's
    qint64 programmes = 0;
    qint64 duplicates = 0;
    qint64 badTimes = 0;
};

struct GuideImportOptions
{
    qint64 from = 0; // programmes that end before it are passed over
    qint64 to = 0;   // programmes that start after it are passed over
    QString language;
    qint64 limit = 0; // unpacked bytes; 0: the reader's default
    // Told how far the import is, in bytes of the file read; false stops it.
    std::function<bool(qint64 read, qint64 total)> progress;
};

// Reads a guide file (XMLTV, plain, gzip or xz) into the store as source `source`: only the
// channels that `lists` matches, only programmes in the window. All or nothing: a failure leaves
// what the store had. The length of a programme without a stop is up to the next one.
GuideImportResult ImportGuide(QIODevice &file, GuideStore &store, qint64 source, const ListIndex &lists,
                              const GuideImportOptions &options);

// Reads a guide file without storing it: each channel and programme to the handlers. The
// same unpacking, limits and reader as ImportGuide. Empty on success, else why not.
struct XmltvChannel;
struct XmltvProgramme;
QString ReadGuide(QIODevice &file, const GuideImportOptions &options,
                  const std::function<void(XmltvChannel &&)> &channel,
                  const std::function<void(XmltvProgramme &&)> &programme);
