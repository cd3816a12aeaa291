#pragma once

#include <QString>

class QWidget;

enum class MsgIcon { None, Information, Question, Exclamation, Critical };
enum class MsgButtons { Ok, OkCancel };

// Every message box and file dialog of the program goes through the installed Prompter, so
// tests can see what was asked and answer it. Message boxes carry the application title.
class Prompter
{
public:
    virtual ~Prompter() = default;

    // Returns true when the user chose OK.
    virtual bool message(QWidget *parent, const QString &text, MsgIcon icon, MsgButtons buttons) = 0;
    // Return the chosen path, or empty text when the user cancelled.
    virtual QString openFileName(QWidget *parent, const QString &filter) = 0;
    virtual QString saveFileName(QWidget *parent, const QString &filter, const QString &defaultSuffix) = 0;

    static Prompter &instance();
    // Installs a replacement (not owned); nullptr restores the standard dialogs. Returns the
    // one installed before.
    static Prompter *install(Prompter *prompter);
};

void ShowMessage(QWidget *parent, const QString &text, MsgIcon icon = MsgIcon::Information);
bool AskOkCancel(QWidget *parent, const QString &text, MsgIcon icon = MsgIcon::Question);
