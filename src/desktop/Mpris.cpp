#include "Mpris.h"

#include "MprisAdaptors.h"
#include "base/AppInfo.h"
#include "playback/NowPlaying.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QUrl>

namespace {

const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");

} // namespace

QString MprisRootAdaptor::identity() const
{
    return AppTitle();
}

QString MprisRootAdaptor::desktopEntry() const
{
    return AppId();
}

QStringList MprisRootAdaptor::schemes() const
{
    return {QStringLiteral("http"), QStringLiteral("https"), QStringLiteral("rtsp"), QStringLiteral("rtsps"),
            QStringLiteral("rtmp"), QStringLiteral("mms"),   QStringLiteral("mmsh"), QStringLiteral("icy"),
            QStringLiteral("pnm"),  QStringLiteral("file")};
}

QStringList MprisRootAdaptor::mimeTypes() const
{
    return {QStringLiteral("audio/mpeg"),
            QStringLiteral("audio/aac"),
            QStringLiteral("audio/ogg"),
            QStringLiteral("video/mp4"),
            QStringLiteral("video/mp2t"),
            QStringLiteral("application/vnd.apple.mpegurl"),
            QStringLiteral("audio/x-mpegurl"),
            QStringLiteral("audio/mpegurl"),
            QStringLiteral("application/x-mpegurl"),
            QStringLiteral("audio/x-scpls"),
            QStringLiteral("application/vnd.rn-realmedia")};
}

Mpris::Mpris(NowPlaying &now, QObject *parent)
    : QObject(parent), m_now(now), m_bus(QString()) // not connected until start()
{
    new MprisRootAdaptor(this);
    new MprisPlayerAdaptor(this);
    connect(&m_now, &NowPlaying::stateChanged, this, [this] {
        propertiesChanged({{QStringLiteral("PlaybackStatus"), playbackStatus()}});
    });
    connect(&m_now, &NowPlaying::trackChanged, this, [this] {
        // The whole map every time: clients replace theirs with it (a merged map would keep
        // the last station's fields).
        QVariantMap changed{{QStringLiteral("Metadata"), metadata()}};
        if (hasTrack() != m_hadTrack) {
            m_hadTrack = hasTrack();
            changed.insert(QStringLiteral("CanPlay"), m_hadTrack);
            changed.insert(QStringLiteral("CanPause"), m_hadTrack);
        }
        propertiesChanged(changed);
    });
}

Mpris::~Mpris()
{
    if (!m_service.isEmpty()) {
        m_bus.unregisterObject(QLatin1StringView(kPath));
        m_bus.unregisterService(m_service);
    }
}

bool Mpris::start(const QDBusConnection &bus)
{
    if (!bus.isConnected())
        return false;
    m_bus = bus;
    if (!m_bus.registerObject(QLatin1StringView(kPath), this, QDBusConnection::ExportAdaptors))
        return false;
    // A second program folder's copy runs beside this one under a name of its own.
    QString name = QStringLiteral("org.mpris.MediaPlayer2.zentavo");
    if (!m_bus.registerService(name)) {
        name += QStringLiteral(".instance%1").arg(QCoreApplication::applicationPid());
        if (!m_bus.registerService(name)) {
            m_bus.unregisterObject(QLatin1StringView(kPath));
            return false;
        }
    }
    m_service = name;
    return true;
}

void Mpris::setVolume(double volume)
{
    if (qFuzzyCompare(volume + 1, m_volume + 1))
        return;
    m_volume = volume;
    propertiesChanged({{QStringLiteral("Volume"), m_volume}});
}

QString Mpris::playbackStatus() const
{
    switch (m_now.state()) {
    case NowPlaying::State::Playing:
        return QStringLiteral("Playing");
    case NowPlaying::State::Paused:
        return QStringLiteral("Paused");
    case NowPlaying::State::Stopped:
        break;
    }
    return QStringLiteral("Stopped");
}

bool Mpris::hasTrack() const
{
    return !m_now.isIdle();
}

QVariantMap Mpris::metadata() const
{
    if (!hasTrack())
        return {{QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(QLatin1StringView(kNoTrack)))}};
    // The stream's own title, else what the guide says is on.
    const NowPlaying::Title title = NowPlaying::Split(m_now.shownTitle());
    QVariantMap map{
        {QStringLiteral("mpris:trackid"),
         QVariant::fromValue(QDBusObjectPath(QStringLiteral("/example/zentavo/Track/%1").arg(m_now.streamNumber())))},
        {QStringLiteral("xesam:title"), title.title.isEmpty() ? m_now.channel() : title.title},
        {QStringLiteral("xesam:album"), m_now.channel()},
        {QStringLiteral("xesam:url"), m_now.address()},
    };
    if (!title.artist.isEmpty())
        map.insert(QStringLiteral("xesam:artist"), QStringList{title.artist});
    if (!m_now.logoFile().isEmpty())
        map.insert(QStringLiteral("mpris:artUrl"), QUrl::fromLocalFile(m_now.logoFile()).toString());
    return map;
}

void Mpris::propertiesChanged(const QVariantMap &changed)
{
    if (m_service.isEmpty())
        return;
    QDBusMessage signal =
        QDBusMessage::createSignal(QLatin1StringView(kPath), QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    signal << kPlayerInterface << changed << QStringList();
    m_bus.send(signal);
}
