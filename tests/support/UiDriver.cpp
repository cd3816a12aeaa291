#include "UiDriver.h"

#include "shell/U_frm_Main.h"

#include "base/ShellOpen.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <QWidget>

RecordingPrompter::RecordingPrompter() : m_previous(Prompter::install(this))
{
}

RecordingPrompter::~RecordingPrompter()
{
    Prompter::install(m_previous);
}

bool RecordingPrompter::message(QWidget *, const QString &text, MsgIcon icon, MsgButtons buttons)
{
    messages.append({text, icon, buttons});
    if (onMessage)
        onMessage();
    return answers.isEmpty() ? true : answers.takeFirst();
}

QString RecordingPrompter::openFileName(QWidget *, const QString &filter)
{
    fileFilters.append(filter);
    return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
}

QString RecordingPrompter::saveFileName(QWidget *, const QString &filter, const QString &)
{
    fileFilters.append(filter);
    return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
}

QStringList RecordingPrompter::texts() const
{
    QStringList out;
    for (const Message &m : messages)
        out.append(m.text);
    return out;
}

ShellRecorder::ShellRecorder() : m_previous(SetShellOpener([this](const QString &address) { opened.append(address); }))
{
}

ShellRecorder::~ShellRecorder()
{
    SetShellOpener(m_previous);
}

namespace {

// Tests never block on a real message box nor start a browser: unless a test installs its own
// recorder, boxes are answered OK and links dropped, both logged.
class QuietPrompter final : public Prompter
{
public:
    bool message(QWidget *, const QString &text, MsgIcon, MsgButtons) override
    {
        qWarning("message box: %s", qPrintable(text));
        return true;
    }
    QString openFileName(QWidget *, const QString &) override { return {}; }
    QString saveFileName(QWidget *, const QString &, const QString &) override { return {}; }
};

struct QuietDesktop
{
    QuietPrompter prompter;
    QuietDesktop()
    {
        Prompter::install(&prompter);
        SetShellOpener([](const QString &address) { qWarning("shell open: %s", qPrintable(address)); });
    }
} quietDesktop;

} // namespace

void WhenModal(std::function<void(QWidget *)> action, int timeoutMs)
{
    auto *timer = new QTimer;
    auto *clock = new QElapsedTimer;
    clock->start();
    QObject::connect(timer, &QTimer::timeout, [timer, clock, action, timeoutMs] {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible()) {
            timer->stop();
            timer->deleteLater();
            delete clock;
            action(modal);
        } else if (clock->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
            delete clock;
            qWarning("WhenModal: no modal dialog appeared");
        }
    });
    timer->start(10);
}

void ShowWithFirstList(Tfrm_Main &window)
{
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        qFatal("window not shown");
    if (!QTest::qWaitFor([&] { return window.firstListLoaded(); }, 10000))
        qFatal("the first list did not load");
}
