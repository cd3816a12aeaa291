#include "NowPlaying.h"

NowPlaying::Title NowPlaying::Split(const QString &text)
{
    const QString t = text.trimmed();
    const QLatin1StringView dash(" - ");
    const qsizetype at = t.indexOf(dash);
    if (at <= 0 || t.indexOf(dash, at + 1) >= 0 || at + dash.size() >= t.size())
        return {QString(), t};
    return {t.left(at).trimmed(), t.mid(at + dash.size()).trimmed()};
}

QString NowPlaying::Join(const QString &artist, const QString &title)
{
    const QString a = artist.trimmed();
    const QString t = title.trimmed();
    if (t.isEmpty())
        return {};
    if (a.isEmpty())
        return t;
    return a + QStringLiteral(" - ") + t;
}

void NowPlaying::startChannel(const QString &name, const QString &address)
{
    ++m_number;
    m_channel = name;
    m_address = address;
    m_title.clear();
    m_programme.clear();
    m_programmeStop = 0;
    m_logo.clear();
    m_video = false;
    emit trackChanged();
}

void NowPlaying::setStreamTitle(const QString &text)
{
    const QString t = text.simplified();
    if (t == m_title)
        return;
    m_title = t;
    emit trackChanged();
    if (!t.isEmpty())
        emit newTitle(m_channel, t);
}

void NowPlaying::setState(State state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged(state);
}

void NowPlaying::setLogoFile(const QString &file)
{
    if (file == m_logo)
        return;
    m_logo = file;
    emit trackChanged();
}

void NowPlaying::setVideo(bool video)
{
    if (video == m_video)
        return;
    m_video = video;
    emit trackChanged();
}

void NowPlaying::setProgramme(const QString &title, qint64 stop)
{
    if (title == m_programme && stop == m_programmeStop)
        return;
    m_programme = title;
    m_programmeStop = stop;
    emit trackChanged();
}
