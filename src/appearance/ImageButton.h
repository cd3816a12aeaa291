#pragma once

#include <QAbstractButton>
#include <QImage>

// A button drawn from one of the program's pictures and cut to the picture's outline: only
// its opaque pixels take clicks. Pressed and disabled looks are derived from the picture.
// Like every button it reports clicks only while enabled.
class ImageButton : public QAbstractButton
{
    Q_OBJECT
    Q_PROPERTY(QString picture READ picture WRITE setPicture)

public:
    explicit ImageButton(QWidget *parent = nullptr);

    QString picture() const { return m_picture; }
    void setPicture(const QString &name);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &pos) const override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void rebuild();

    QString m_picture;
    QImage m_outline; // at logical size, for the mask and hit test
    QImage m_normal;
    QImage m_pressed;
    QImage m_disabled;
};
