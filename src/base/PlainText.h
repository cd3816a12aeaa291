#pragma once

#include <QString>

class QWidget;

// Text from outside is shown as what it is. Labels, tooltips and message boxes take text that
// looks like HTML as markup by default, and markup can make Qt read any file an <img> names
// (`/dev/zero` reads until the process dies): labels and message boxes that may show outside
// text are set to Qt::PlainText, and tooltips go through these.

// A tooltip that shows `text` as written: unchanged where Qt would take it as plain text
// anyway, escaped markup where it would not.
QString PlainToolTip(const QString &text);
void SetPlainToolTip(QWidget *widget, const QString &text);
