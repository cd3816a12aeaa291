#pragma once

#include <QString>
#include <QTemporaryDir>

// A session bus of the test's own (dbus-daemon), so that nothing reaches the desktop the
// tests run on and CI, which has none, has one. It outlives the test process by a moment:
// GLib's shared session connection (used by libraries below the engines) ends its process
// with SIGTERM when the bus goes away first.
class PrivateBus
{
public:
    PrivateBus();
    bool isRunning() const { return !m_address.isEmpty(); }
    QString address() const { return m_address; }
    // Points DBUS_SESSION_BUS_ADDRESS at it (before anything asks for the session bus).
    void makeSessionBus() const;

private:
    QTemporaryDir m_dir;
    QString m_address;
};
