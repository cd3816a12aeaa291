#include "VendorSite.h"

#include <QtGlobal>

QString VendorSite()
{
    QString site = qEnvironmentVariable("ZENTAVO_VENDOR_SITE").trimmed();
    if (site.isEmpty())
        site = QStringLiteral("http://www.zentavo.example/");
    if (!site.endsWith(u'/'))
        site += u'/';
    return site;
}
