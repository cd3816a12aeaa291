#pragma once

#include <QStringList>

// zentavo-chl guide GUIDE [--playlist FILE.m3u] [--at YYYY-MM-DDTHH:MM:SSZ] [--json]
int RunGuide(const QStringList &args);
