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

// The application ID: the desktop entry's name and the program's name on the session bus.
inline QString AppId()
{
    return QStringLiteral("example.zentavo.Zentavo");
}
