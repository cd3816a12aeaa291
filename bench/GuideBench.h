#pragma once

#include <QStringList>

// What a large guide costs: its import (time against zcat of the same file in the same run,
// peak memory above the process before it, the GUI thread's worst lateness meanwhile) and the
// answer to "what is on" for 10,000 listed channels. Without a file, a 2,000-channel, 14-day
// guide is made (and kept in the temporary folder for the next run). Also the Guide window on a
// 10,000-channel list: opening it with what is on, and a frame of scrolling by a screen.
int RunGuideBench(const QString &xmltv);
// The import in a fresh process: prints "peak-MiB<TAB>ms<TAB>worst-late-ms<TAB>now-next-ms<TAB>outcome".
int RunGuideCase(const QStringList &args);
