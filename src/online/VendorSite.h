#pragma once

#include <QString>

// Base address of the vendor web site, ending in "/". ZENTAVO_VENDOR_SITE overrides the
// default (tests point it at a server on 127.0.0.1).
QString VendorSite();

inline constexpr char16_t SupportMail[] = u"support@zentavo.example";
inline constexpr char16_t SalesMail[] = u"sales@zentavo.example";
