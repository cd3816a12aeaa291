#pragma once

#include <QString>

// A user's playlist at scale: parse against a line count of the same file (wc -l), store, show
// in the tree, Search All, the GUI thread's event latency throughout, resident memory.
// `m3u`: a playlist to measure instead of the made one (100,000 entries from the shipped lists).
int RunPlaylistBench(const QString &m3u, int runs);

// The memory figures of a stored playlist shown in a fresh process (run by RunPlaylistBench):
// prints the show time, the growth with it shown, the time to open every group, the growth
// then, the rows and the worst event latency.
int RunShownMemory(const QString &listFile);
