#include "NetworkScope.h"

#include <QHostInfo>
#include <QMutex>

#include <algorithm>

namespace netscope {
namespace {

QMutex &publicLock()
{
    static QMutex lock;
    return lock;
}

QList<QHostAddress> &treatedAsPublic()
{
    static QList<QHostAddress> addresses;
    return addresses;
}

} // namespace

bool IsPrivate(const QHostAddress &given)
{
    {
        const QMutexLocker lock(&publicLock());
        if (treatedAsPublic().contains(given))
            return false;
    }
    // An IPv4 address written as IPv6 (::ffff:127.0.0.1) is judged as what it is.
    bool v4 = false;
    const QHostAddress address(given.toIPv4Address(&v4));
    const QHostAddress &a = v4 ? address : given;
    if (a.isNull() || a.isLoopback() || a.isLinkLocal() || a.isSiteLocal() || a.isUniqueLocalUnicast() ||
        a.isMulticast() || a == QHostAddress::AnyIPv4 || a == QHostAddress::AnyIPv6)
        return true;
    if (a.protocol() == QAbstractSocket::IPv4Protocol) {
        for (const auto &[net, bits] :
             {std::pair{"10.0.0.0", 8}, {"172.16.0.0", 12}, {"192.168.0.0", 16}, {"100.64.0.0", 10}, {"0.0.0.0", 8}}) {
            if (a.isInSubnet(QHostAddress(QString::fromLatin1(net)), bits))
                return true;
        }
    }
    return false;
}

std::optional<bool> IsPrivateHost(const QString &host)
{
    QString h = host.trimmed().toLower();
    if (h.startsWith(u'[') && h.endsWith(u']'))
        h = h.mid(1, h.size() - 2);
    while (h.endsWith(u'.'))
        h.chop(1);
    if (h.isEmpty() || h == u"localhost" || h.endsWith(QLatin1StringView(".localhost")))
        return true;
    const QHostAddress literal(h);
    if (!literal.isNull())
        return IsPrivate(literal);
    return std::nullopt;
}

void WhenLookedUp(const QString &host, QObject *context, std::function<void(bool isPrivate)> done)
{
    QHostInfo::lookupHost(host, context, [done = std::move(done)](const QHostInfo &info) {
        const QList<QHostAddress> addresses = info.addresses();
        done(std::any_of(addresses.cbegin(), addresses.cend(), IsPrivate));
    });
}

QString WebListRefusal(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    if (scheme.isEmpty() || scheme == u"file")
        return QString::fromLatin1(kLocalFile);
    if (IsPrivateHost(url.host()).value_or(false))
        return QString::fromLatin1(kPrivateAddress);
    return {};
}

void WhenJudged(const QUrl &url, QObject *context, std::function<void(const QString &why)> done)
{
    if (const QString why = WebListRefusal(url); !why.isEmpty()) {
        done(why);
        return;
    }
    if (IsPrivateHost(url.host()).has_value()) {
        done({});
        return;
    }
    WhenLookedUp(url.host(), context, [done = std::move(done)](bool isPrivate) {
        done(isPrivate ? QString::fromLatin1(kPrivateAddress) : QString());
    });
}

void TreatAsPublic(const QList<QHostAddress> &addresses)
{
    const QMutexLocker lock(&publicLock());
    treatedAsPublic() = addresses;
}

} // namespace netscope
