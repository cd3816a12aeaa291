#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>

#include <cstdio>
#include <ctime>

// Start-up measurement: when ZENTAVO_REPORT_SHOWN is set, the program prints the monotonic
// clock (ns) at the moment its main window is first exposed, then quits. The benchmark reads it.
// With ZENTAVO_REPORT_SHOWN=list it goes on until the program reports its first list.
class StartupProbe : public QObject
{
public:
    static void Attach(QWidget *window)
    {
        if (!qEnvironmentVariableIsSet("ZENTAVO_REPORT_SHOWN"))
            return;
        window->winId(); // the native window must exist to watch it
        window->windowHandle()->installEventFilter(new StartupProbe(window));
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *win = qobject_cast<QWindow *>(watched);
        if (event->type() == QEvent::Expose && win && win->isExposed() && !m_done) {
            m_done = true;
            timespec ts{};
            clock_gettime(CLOCK_MONOTONIC, &ts);
            std::printf("shown %lld\n", static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec);
            std::fflush(stdout);
            if (qgetenv("ZENTAVO_REPORT_SHOWN") != "list")
                QMetaObject::invokeMethod(
                    qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
        }
        return false;
    }

private:
    using QObject::QObject;
    bool m_done = false;
};
