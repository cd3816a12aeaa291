#pragma once

#include <QDBusConnection>
#include <QObject>

class NowPlaying;

// A desktop notification (org.freedesktop.Notifications) for each new title the stream
// reports, while switched on; each replaces the one before.
class TitleNotifier : public QObject
{
    Q_OBJECT

public:
    TitleNotifier(NowPlaying &now, const QDBusConnection &bus, QObject *parent = nullptr);

    void setEnabled(bool on) { m_enabled = on; }
    bool isEnabled() const { return m_enabled; }

private:
    void notify(const QString &channel, const QString &title);

    NowPlaying &m_now;
    QDBusConnection m_bus;
    bool m_enabled = false;
    uint m_lastId = 0;
};
