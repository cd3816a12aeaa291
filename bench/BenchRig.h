#pragma once

// What the benchmarks share: a player and prompter that do nothing, timing, resident memory, and
// the channel tree in a shown window as the main window has it.
#include "Measure.h"
#include "base/Prompter.h"
#include "base/pGloba.h"
#include "catalogue/ChannelTree.h"
#include "playback/PlayTarget.h"

#include <QAction>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <functional>

namespace bench {

struct NoPlayer : PlayTarget
{
    void PlayStream(const QString &, const QString &) override {}
    void SetCurrentChannelType(int) override {}
};

// Answers every question with OK and says what was asked, so a benchmark never waits on a box.
struct QuietPrompter : Prompter
{
    bool message(QWidget *, const QString &text, MsgIcon, MsgButtons) override
    {
        qWarning("%s", qPrintable(text));
        return true;
    }
    QString openFileName(QWidget *, const QString &) override { return {}; }
    QString saveFileName(QWidget *, const QString &, const QString &) override { return {}; }
};

inline long RssKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

inline long StatusKb(const char *field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qsizetype(qstrlen(field))).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

// The peak resident memory from now on, above what is resident now.
struct PeakProbe
{
    long start = 0;
    PeakProbe()
    {
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        if (clear.open(QIODevice::WriteOnly))
            clear.write("5"); // resets the peak to what is resident now
        start = StatusKb("VmRSS:");
    }
    double addedMiB() const { return (StatusKb("VmHWM:") - start) / 1024.0; }
};

inline double TimeMs(const std::function<void()> &work)
{
    QElapsedTimer t;
    t.start();
    work();
    return t.nsecsElapsed() / 1e6;
}

inline double MedianMs(int runs, const std::function<void()> &work)
{
    QList<double> times;
    for (int i = 0; i < runs; ++i)
        times.append(TimeMs(work));
    return Median(times);
}

// How late a 5 ms timer fires on the GUI thread: the longest the thread was kept from its events.
struct LatencyProbe
{
    QTimer timer;
    QElapsedTimer clock;
    qint64 last = 0;
    double worst = 0;

    LatencyProbe()
    {
        timer.setTimerType(Qt::PreciseTimer);
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            const qint64 now = clock.nsecsElapsed();
            worst = std::max(worst, (now - last) / 1e6 - 5);
            last = now;
        });
    }
    void start()
    {
        worst = 0;
        clock.start();
        last = 0;
        timer.start();
    }
    double stop()
    {
        timer.stop();
        return worst;
    }
};

// The channel tree in a shown window, as the main window has it.
struct Tree
{
    QWidget window;
    QTreeWidget *tree = new QTreeWidget(&window);
    QAction fav, tv, radio, a1, a2, a3, a4, a5, a6, a7;
    QList<QAction *> filters;
    QMenu *pop = new QMenu(&window);
    NoPlayer player;
    ChannelTree *channels;

    explicit Tree(TGlobal &global)
    {
        (new QVBoxLayout(&window))->addWidget(tree);
        window.resize(250, 600);
        for (int i = 0; i < 13; ++i)
            filters.append(new QAction(&window));
        channels = new ChannelTree({tree, &fav, &tv, &radio, filters, pop, &a1, &a2, &a3, &a4, &a5, &a6, &a7}, global,
                                   player, &window);
        window.show();
    }
};

} // namespace bench
