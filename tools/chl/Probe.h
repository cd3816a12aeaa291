#pragma once

#include <QStringList>

// zentavo-chl probe FILE.CHL|FILE.m3u [--jobs N] [--timeout S] [--json] [--prune OUT.CHL]
// Returns the tool's exit code.
int RunProbe(const QStringList &arguments);
