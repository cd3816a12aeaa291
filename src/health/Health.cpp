#include "Health.h"

QString Health::StateText(State state)
{
    switch (state) {
    case State::OnAir:
        return QStringLiteral("on the air");
    case State::OffAir:
        return QStringLiteral("off the air");
    case State::Unknown:
        break;
    }
    return QStringLiteral("unknown");
}
