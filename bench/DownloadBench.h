#pragma once

// 100 MB from a loopback server into a file with progress events, against curl fetching the same
// URL; and how late the GUI thread's timer events run meanwhile.
int RunDownloadBench(int runs);
