#include "Health.h"

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
    return {a("ChannelName"), a("URL").trimmed(), a("UserAgent"), a("Referrer"), a("Cookie")};
}
