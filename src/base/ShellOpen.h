#pragma once

#include <QString>

#include <functional>

// Hands a web address or "mailto:" link to the desktop (the user's browser or mail program).
// The outcome is not reported: a page that fails to open goes unnoticed, as users expect of links.
void ShellOpen(const QString &address);

// Replaces what ShellOpen does (tests record the addresses); an empty function restores it.
using ShellOpener = std::function<void(const QString &)>;
ShellOpener SetShellOpener(ShellOpener opener); // returns the one set before
