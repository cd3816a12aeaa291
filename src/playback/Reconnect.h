#pragma once

#include <QList>
#include <QObject>
#include <QTimer>

// Keeps a live stream on the air: once it has played, an end or a failure is tried again after
// 1, 2, 4, 8 and 16 seconds; a stream that plays again starts the count anew. A stream with a
// length (a file) that ends stays ended. The user's Stop or another stream ends the tries.
class Reconnect : public QObject
{
    Q_OBJECT

public:
    explicit Reconnect(QObject *parent = nullptr);

    // The stream plays; `live`: it has no length.
    void playing(bool live);
    // The stream ended or failed. True when a try is due (the caller shows "Reconnecting"), false
    // when there is nothing to try, or the tries are used up (the failure stands).
    bool dropped();
    // Tries now (the network came back); nothing when none is due.
    void tryNow();
    // No more tries for this stream.
    void cancel();

    bool isWaiting() const { return m_timer.isActive(); }
    bool isTrying() const { return m_trying; }
    int attempt() const { return m_attempt; }
    int attempts() const { return int(m_delays.size()); }
    QString statusText() const;

    void setDelays(const QList<int> &ms) { m_delays = ms; }

signals:
    void retry();

private:
    QTimer m_timer;
    QList<int> m_delays{1000, 2000, 4000, 8000, 16000};
    bool m_live = false;   // the stream played, and had no length
    bool m_trying = false; // a try started and has not played yet
    int m_attempt = 0;
};
