#pragma once

#include "base/Prompter.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <QWidget>
#include <functional>

// Records every message box and file dialog and answers them from queues.
class RecordingPrompter : public Prompter
{
public:
    struct Message
    {
        QString text;
        MsgIcon icon;
        MsgButtons buttons;
    };

    RecordingPrompter();
    ~RecordingPrompter() override;

    bool message(QWidget *parent, const QString &text, MsgIcon icon, MsgButtons buttons) override;
    QString openFileName(QWidget *parent, const QString &filter) override;
    QString saveFileName(QWidget *parent, const QString &filter, const QString &defaultSuffix) override;

    QList<Message> messages;
    QList<bool> answers;             // OK (true) or Cancel; OK when the queue is empty
    QStringList fileAnswers;         // chosen paths; empty text = cancelled; cancelled when empty
    QStringList fileFilters;         // the filters the file dialogs were shown with
    std::function<void()> onMessage; // runs while a message box is "open"

    QStringList texts() const;

private:
    Prompter *m_previous;
};

// Records the addresses handed to the desktop shell.
class ShellRecorder
{
public:
    ShellRecorder();
    ~ShellRecorder();
    QStringList opened;

private:
    std::function<void(const QString &)> m_previous;
};

class Tfrm_Main;
// Shows the main window and waits until the list it starts with is in the tree.
void ShowWithFirstList(Tfrm_Main &window);

// Runs `action` on the next modal dialog once it is shown (from inside its event loop).
void WhenModal(std::function<void(QWidget *)> action, int timeoutMs = 5000);

// The child of `parent` named `name`; a test cannot go on without it.
template<class T = QWidget> T *child(QObject &parent, const char *name)
{
    T *c = parent.findChild<T *>(QString::fromLatin1(name));
    if (!c)
        qFatal("no child %s", name);
    return c;
}
