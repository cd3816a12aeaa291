#pragma once

#include <QtGlobal>

// How long contacting a server may take before an engine gives up (a server that accepts and
// never answers would otherwise keep it waiting for a long time). ZENTAVO_CONTACT_TIMEOUT_MS
// shortens it for tests.
inline int ContactTimeoutMs()
{
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("ZENTAVO_CONTACT_TIMEOUT_MS", &ok);
    return ok && ms > 0 ? ms : 15000;
}
