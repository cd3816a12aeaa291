#pragma once

// Returns memory the program freed to the system, where the C library keeps it otherwise (after
// a large document was read on a worker thread, whose heap keeps what it no longer uses).
void ReleaseFreedMemory();
