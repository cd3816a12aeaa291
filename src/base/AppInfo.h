#pragma once

#include <QString>

// The application title: window caption at start and caption of every message box.
inline QString AppTitle()
{
    return QStringLiteral("Zentavo");
}

inline QString AppVersionText()
{
    return QStringLiteral("5.2");
}
