#include "ShellOpen.h"

#include <QDesktopServices>
#include <QUrl>

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

void SetShellOpener(ShellOpener o)
{
    opener() = std::move(o);
}
