#include "PlainText.h"

#include <QLabel>
#include <QTextDocument>

void SetPlainText(QLabel *label, const QString &text)
{
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
}

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
