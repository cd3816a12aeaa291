#include "StatusLine.h"

#include "base/PlainText.h"

#include <QEvent>
#include <QFontMetrics>
#include <QLabel>

StatusLine::StatusLine(QLabel *label, QObject *parent) : QObject(parent), m_label(label)
{
    m_label->setTextFormat(Qt::PlainText);
    m_label->installEventFilter(this);
}

void StatusLine::setText(const QString &text)
{
    m_text = text;
    SetPlainToolTip(m_label, text);
    show();
}

QString StatusLine::fitted(const QString &text, const QFont &font, int width)
{
    const QFontMetrics fm(font);
    // One elision, then back to the last blank in what it kept: linear in the text, however
    // many words it has.
    const QString elided = fm.elidedText(text, Qt::ElideRight, width);
    if (elided == text)
        return text;
    const QChar ellipsis(0x2026);
    const QString kept = elided.endsWith(ellipsis) ? elided.chopped(1) : elided;
    const qsizetype blank =
        kept.size() < text.size() && text.at(kept.size()) == u' ' ? kept.size() : kept.lastIndexOf(u' ');
    const QString head = blank > 0 ? kept.left(blank).trimmed() : QString();
    // Not even the first word fits: it is cut.
    return head.isEmpty() ? elided : head + ellipsis;
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
