#pragma once

#include <QStringList>

// Process start to main window shown, against a bare Qt window started the same way.
// installedProgram: an installed copy (<prefix>/bin/zentavo) to measure against the portable one.
// Milliseconds from starting the process to its window being exposed; -1 on failure.
double StartOnce(const QString &program, const QStringList &args = {});

int RunStartupBench(const QString &program, const QString &floorProgram, int runs,
                    const QString &installedProgram = {});
