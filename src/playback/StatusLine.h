#pragma once

#include <QObject>
#include <QString>

class QLabel;

// The status line: shows its text whole where it fits, otherwise cut after the last whole
// word that fits, with an ellipsis; the whole text is always in its tooltip.
class StatusLine : public QObject
{
    Q_OBJECT

public:
    explicit StatusLine(QLabel *label, QObject *parent = nullptr);

    void setText(const QString &text);
    QString text() const { return m_text; }

    // `text` as it fits in `width` pixels of `font`.
    static QString fitted(const QString &text, const QFont &font, int width);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void show();

    QLabel *m_label;
    QString m_text;
};
