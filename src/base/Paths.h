#pragma once

#include <QString>

// Files and folders that the program names are found without regard to letter case, as on the
// file systems its lists and skins come from. Each component of `relative` is matched against
// `dir`: an exact match wins, else the first entry equal but for case; a component that matches
// nothing keeps the given spelling (so the result can also name a file still to be created).
QString FindPath(const QString &dir, const QString &relative);

// The folder of the running executable, ending in "/".
QString ExecutableDir();

// Replaces `target` by a byte copy of `source`: whole or not at all. Returns false with a reason.
bool CopyFileReplacing(const QString &source, const QString &target, QString *error = nullptr);

// Whether two paths name the same file: relative parts, links and letter case (for a path that
// names no file as given) are resolved first.
bool SameFile(const QString &a, const QString &b);
