#include "Health.h"

#include "base/OutsideText.h"
#include "catalogue/ChannelText.h"
#include "catalogue/XmlDocument.h"

QString Health::Word(State state)
{
    switch (state) {
    case State::OnAir:
        return QStringLiteral("on");
    case State::OffAir:
        return QStringLiteral("off");
    case State::Unknown:
        break;
    }
    return QStringLiteral("unknown");
}

Health::State Health::FromWord(const QString &word)
{
    if (word == u"on")
        return State::OnAir;
    if (word == u"off")
        return State::OffAir;
    return State::Unknown;
}

HealthTarget HealthTarget::Of(const XmlNode &channel)
{
    const auto a = [&channel](const char *name) {
        return channel.attribute(name).value_or(QString());
    };
    return {a("ChannelName"),
            a("URL").trimmed(),
            outside::HeaderValue(a("UserAgent")),
            outside::HeaderValue(a("Referrer")),
            outside::HeaderValue(a("Cookie")),
            a(kOriginAttribute) == QLatin1StringView(kOriginWeb)};
}
