#pragma once

#include <QByteArray>
#include <QString>

// Upper-casing in the stored formats raises a-z only; other letters keep their case.
QString AsciiUpper(const QString &text);

// Whole decimal number with an optional sign, surrounding blanks allowed; nothing else.
bool ParseDecimal(const QString &text, int *value);
