#pragma once

#include <QDBusConnection>
#include <QObject>
#include <memory>

class NowPlaying;

// Keeps the screen saver away while a picture plays (org.freedesktop.ScreenSaver), never for
// sound alone. Calls go out without waiting; a desktop without the service is left alone.
class ScreenSaver : public QObject
{
    Q_OBJECT

public:
    ScreenSaver(NowPlaying &now, const QDBusConnection &bus, QObject *parent = nullptr);
    ~ScreenSaver() override;

    bool isInhibited() const { return m_held->wanted; }

private:
    // Shared with a reply still on its way, which may come after this object has gone.
    struct Held
    {
        bool wanted = false;
        bool pending = false; // an Inhibit call is on its way
        uint cookie = 0;      // 0: not inhibited
    };
    void follow();
    void inhibit();
    static void release(Held &held, QDBusConnection &bus);

    NowPlaying &m_now;
    QDBusConnection m_bus;
    std::shared_ptr<Held> m_held = std::make_shared<Held>();
};
