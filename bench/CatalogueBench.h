#pragma once

#include <QString>

// Decipher throughput, tree loads, filtered load, search and an add to favourites.
// `list`: an extra list file to decipher and load (empty: none).
int RunCatalogueBench(const QString &list, int runs);
