#include "Prompter.h"

#include "AppInfo.h"

#include <QFileDialog>
#include <QMessageBox>

#include <utility>

namespace {

class StandardPrompter final : public Prompter
{
public:
    bool message(QWidget *parent, const QString &text, MsgIcon icon, MsgButtons buttons) override
    {
        QMessageBox box(parent);
        box.setWindowTitle(AppTitle());
        box.setTextFormat(Qt::PlainText); // messages quote addresses and servers' replies
        box.setText(text);
        switch (icon) {
        case MsgIcon::None:
            box.setIcon(QMessageBox::NoIcon);
            break;
        case MsgIcon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case MsgIcon::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case MsgIcon::Exclamation:
            box.setIcon(QMessageBox::Warning);
            break;
        case MsgIcon::Critical:
            box.setIcon(QMessageBox::Critical);
            break;
        }
        if (buttons == MsgButtons::OkCancel) {
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            box.setDefaultButton(QMessageBox::Ok);
        } else {
            box.setStandardButtons(QMessageBox::Ok);
        }
        return box.exec() == QMessageBox::Ok;
    }

    QString openFileName(QWidget *parent, const QString &filter) override
    {
        return QFileDialog::getOpenFileName(parent, QString(), QString(), filter);
    }

    QString saveFileName(QWidget *parent, const QString &filter, const QString &defaultSuffix) override
    {
        QFileDialog dlg(parent, QString(), QString(), filter);
        dlg.setAcceptMode(QFileDialog::AcceptSave);
        dlg.setDefaultSuffix(defaultSuffix);
        dlg.setOption(QFileDialog::DontConfirmOverwrite);
        if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
            return {};
        return dlg.selectedFiles().constFirst();
    }
};

StandardPrompter g_standard;
Prompter *g_current = nullptr;

} // namespace

Prompter &Prompter::instance()
{
    return g_current ? *g_current : static_cast<Prompter &>(g_standard);
}

Prompter *Prompter::install(Prompter *prompter)
{
    return std::exchange(g_current, prompter);
}

void ShowMessage(QWidget *parent, const QString &text, MsgIcon icon)
{
    Prompter::instance().message(parent, text, icon, MsgButtons::Ok);
}

bool AskOkCancel(QWidget *parent, const QString &text, MsgIcon icon)
{
    return Prompter::instance().message(parent, text, icon, MsgButtons::OkCancel);
}
