#pragma once

#include <QStringList>

// What hostile servers and files cost: peak memory for an endless playlist body, a 100 MiB
// playlist and an endless RTSP reply to the checker, each in a fresh process (its peak above
// what it held before), against the targets.
int RunHostileBench();
// One of those cases, in the child process: prints "peak-MiB<TAB>ms<TAB>outcome".
int RunHostileCase(const QStringList &args);
