#pragma once

#include <QDBusConnection>
#include <QObject>

class NowPlaying;

// Keeps the screen saver away while a picture plays (org.freedesktop.ScreenSaver), never for
// sound alone. Calls go out without waiting; a desktop without the service is left alone.
class ScreenSaver : public QObject
{
    Q_OBJECT

public:
    ScreenSaver(NowPlaying &now, const QDBusConnection &bus, QObject *parent = nullptr);
    ~ScreenSaver() override;

    bool isInhibited() const { return m_wanted; }

private:
    void follow();
    void inhibit();
    void release();

    NowPlaying &m_now;
    QDBusConnection m_bus;
    bool m_wanted = false;
    bool m_pending = false; // an Inhibit call is on its way
    uint m_cookie = 0;      // 0: not inhibited
};
