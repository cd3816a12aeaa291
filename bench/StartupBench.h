#pragma once

#include <QString>

// Process start to main window shown, against a bare Qt window started the same way.
int RunStartupBench(const QString &program, const QString &floorProgram, int runs);
