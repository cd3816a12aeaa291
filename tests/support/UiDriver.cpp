#include "UiDriver.h"

#include "shell/ShellOpen.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

RecordingPrompter::RecordingPrompter()
{
    Prompter::install(this);
}

RecordingPrompter::~RecordingPrompter()
{
    Prompter::install(nullptr);
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

ShellRecorder::ShellRecorder()
{
    SetShellOpener([this](const QString &address) { opened.append(address); });
}

ShellRecorder::~ShellRecorder()
{
    SetShellOpener({});
}

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
