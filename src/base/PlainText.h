#pragma once

#include <QString>

class QLabel;
class QWidget;

// Text from outside is shown as what it is. Labels, tooltips and message boxes take text that
// looks like HTML as markup by default, and markup can make Qt read any file an <img> names
// (`/dev/zero` reads until the process dies): every place that may show outside text goes
// through these.

// The label shows `text` as plain text, whatever it looks like.
void SetPlainText(QLabel *label, const QString &text);
// A tooltip that shows `text` as written: unchanged where Qt would take it as plain text
// anyway, escaped markup where it would not.
QString PlainToolTip(const QString &text);
void SetPlainToolTip(QWidget *widget, const QString &text);
