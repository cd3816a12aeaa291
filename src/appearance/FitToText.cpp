#include "FitToText.h"

#include <QLayout>
#include <QWidget>

void FitToText(QWidget *window, const QSize &designed, WindowFrame frame)
{
    // The skin's style sheet changes paddings and fonts: measure what the window will show.
    window->ensurePolished();
    if (QLayout *layout = window->layout())
        layout->activate();
    const QSize need = window->sizeHint().expandedTo(window->minimumSizeHint()).expandedTo(designed);
    if (frame == WindowFrame::Fixed) {
        window->setFixedSize(need);
    } else {
        window->setMinimumSize(window->minimumSizeHint());
        window->resize(need);
    }
}
