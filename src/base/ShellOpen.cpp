#include "ShellOpen.h"

#include <QDesktopServices>
#include <QUrl>

#include <utility>

namespace {
ShellOpener &opener()
{
    static ShellOpener current;
    return current;
}
} // namespace

void ShellOpen(const QString &address)
{
    if (opener()) {
        opener()(address);
        return;
    }
    QDesktopServices::openUrl(QUrl(address, QUrl::TolerantMode));
}

ShellOpener SetShellOpener(ShellOpener o)
{
    return std::exchange(opener(), std::move(o));
}
