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

// How the program names itself to servers where a channel gives no User-Agent of its own.
inline QString AppUserAgent()
{
    return AppTitle() + u'/' + AppVersionText();
}

// The application ID: the desktop entry's name and the program's name on the session bus.
inline QString AppId()
{
    return QStringLiteral("example.zentavo.Zentavo");
}
