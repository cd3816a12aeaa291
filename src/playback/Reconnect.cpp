#include "Reconnect.h"

Reconnect::Reconnect(QObject *parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_trying = true;
        emit retry();
    });
}

void Reconnect::playing(bool live)
{
    m_timer.stop();
    m_live = live;
    m_trying = false;
    m_attempt = 0;
}

bool Reconnect::dropped()
{
    if (m_timer.isActive())
        return true; // one drop reported twice (an end, then a stop)
    if (!m_live)
        return false;
    m_trying = false;
    if (m_attempt >= m_delays.size()) {
        m_live = false;
        m_attempt = 0;
        return false;
    }
    m_timer.start(m_delays[m_attempt++]);
    return true;
}

void Reconnect::tryNow()
{
    if (m_timer.isActive()) {
        m_timer.stop();
        m_trying = true;
        emit retry();
    }
}

void Reconnect::cancel()
{
    m_timer.stop();
    m_live = false;
    m_trying = false;
    m_attempt = 0;
}

QString Reconnect::statusText() const
{
    return QStringLiteral("Reconnecting (%1/%2)...").arg(m_attempt).arg(m_delays.size());
}
