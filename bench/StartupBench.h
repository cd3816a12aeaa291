#pragma once

#include <QString>

// Process start to main window shown, against a bare Qt window started the same way.
// installedProgram: an installed copy (<prefix>/bin/zentavo) to measure against the portable one.
int RunStartupBench(const QString &program, const QString &floorProgram, int runs,
                    const QString &installedProgram = {});
