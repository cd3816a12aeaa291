#pragma once

// Channel checks: 2,000 loopback channels on 20 hosts (a third dead in the ways the checker
// tells apart, two per host a second slow, one on every other host never answering) checked with 24 jobs; the GUI
// thread's event latency and resident memory meanwhile; against curl fetching the same addresses' first bytes with 24
// at a time.
int RunHealthBench(int runs);
