#include "StatusLine.h"

#include <QEvent>
#include <QFontMetrics>
#include <QLabel>

StatusLine::StatusLine(QLabel *label, QObject *parent) : QObject(parent), m_label(label)
{
    m_label->installEventFilter(this);
}

void StatusLine::setText(const QString &text)
{
    m_text = text;
    m_label->setToolTip(text);
    show();
}

QString StatusLine::fitted(const QString &text, const QFont &font, int width)
{
    const QFontMetrics fm(font);
    if (fm.horizontalAdvance(text) <= width)
        return text;
    const QString ellipsis(QChar(0x2026));
    // The longest run of whole words that fits with the ellipsis.
    for (qsizetype end = text.lastIndexOf(u' '); end > 0; end = text.lastIndexOf(u' ', end - 1)) {
        const QString head = text.left(end).trimmed();
        if (!head.isEmpty() && fm.horizontalAdvance(head + ellipsis) <= width)
            return head + ellipsis;
    }
    // Not even the first word fits: cut it.
    return fm.elidedText(text, Qt::ElideRight, width);
}

void StatusLine::show()
{
    m_label->setText(fitted(m_text, m_label->font(), m_label->contentsRect().width()));
}

bool StatusLine::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_label && (event->type() == QEvent::Resize || event->type() == QEvent::FontChange))
        show();
    return QObject::eventFilter(watched, event);
}
