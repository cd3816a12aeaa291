#pragma once

#include <QSize>

class QWidget;

// Windows size themselves from the fonts they are given: the designed size is the smallest
// they take, and they grow until every text fits.
enum class WindowFrame { Fixed, Resizable };
void FitToText(QWidget *window, const QSize &designed, WindowFrame frame);
