#pragma once

#include <QPixmap>
#include <QWidget>

// What the picture area shows while a stream without a picture plays: the channel's logo,
// centred on black. Covers the area it is put in; mouse events go through to the player below.
class AudioArtwork : public QWidget
{
    Q_OBJECT

public:
    explicit AudioArtwork(QWidget *area);

    void setLogo(const QPixmap &logo);
    const QPixmap &logo() const { return m_logo; }
    // The rectangle the logo is drawn in (empty without one).
    QRect logoRect() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPixmap m_logo;
};
