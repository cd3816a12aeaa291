#include "PlainText.h"

#include <QTextDocument>
#include <QWidget>

QString PlainToolTip(const QString &text)
{
    if (!Qt::mightBeRichText(text))
        return text;
    return Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal);
}

void SetPlainToolTip(QWidget *widget, const QString &text)
{
    widget->setToolTip(PlainToolTip(text));
}
