#include "Guard.h"

#include "Errors.h"
#include "Prompter.h"

void ReportError(QWidget *owner, const std::exception &error)
{
    QString text = QString::fromUtf8(error.what());
    if (text.isEmpty() || text == QLatin1String("std::exception"))
        text = QStringLiteral("An unexpected error occurred.");
    ShowMessage(owner, text, MsgIcon::Critical);
}
