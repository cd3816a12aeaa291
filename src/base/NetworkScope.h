#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

class QObject;

// Whether an address is of this computer or its network. A list fetched from the internet must
// not make us reach either (as browsers guard private networks): it could scan ports behind the
// user's router, or learn whether a file exists, from what the checker reports.
namespace netscope {

// Loopback, private, carrier-grade NAT, link-local, unique local, unspecified, multicast.
bool IsPrivate(const QHostAddress &address);

// A URL's host as written: true or false where that tells (an address literal, "localhost"),
// nothing where only a lookup does.
std::optional<bool> IsPrivateHost(const QString &host);

// Looks `host` up and calls `done` on `context`'s thread with whether any of its addresses is
// private (false for a name that is not found: the connection will say so).
void WhenLookedUp(const QString &host, QObject *context, std::function<void(bool isPrivate)> done);

// Why a channel of a list from the internet may not open `url` without looking its host up:
// local files, and hosts that are private as written. Empty where nothing is known against it.
QString WebListRefusal(const QUrl &url);

// The same, with the host looked up where only that tells: `done` gets the refusal (empty where
// none), at once where the address tells, else on `context`'s thread after the look-up.
void WhenJudged(const QUrl &url, QObject *context, std::function<void(const QString &why)> done);

inline constexpr const char *kPrivateAddress = "private address";
inline constexpr const char *kLocalFile = "a playlist from the web cannot open local files";

// Tests serve "the internet" from loopback addresses: these count as public.
void TreatAsPublic(const QList<QHostAddress> &addresses);

} // namespace netscope
