#include "Health.h"

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
