#pragma once

// Live streams: how soon a new ICY title reaches the status field and MPRIS after its metadata
// block left the server (against the mpv player printing it), and how long a dropped live
// stream takes from its retry to playing again (against a fresh play of the same stream).
int RunLiveBench(int runs);
