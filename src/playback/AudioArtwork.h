#pragma once

#include <QPixmap>
#include <QWidget>

// What the picture area shows while a stream without a picture plays: the channel's logo,
// centred on black, with the channel's name and the title now playing below it. Covers the
// area it is put in; mouse events go through to the player below.
class AudioArtwork : public QWidget
{
    Q_OBJECT

public:
    explicit AudioArtwork(QWidget *area);

    void setLogo(const QPixmap &logo);
    const QPixmap &logo() const { return m_logo; }
    void setCaption(const QString &channel, const QString &title);
    QString channel() const { return m_channel; }
    QString title() const { return m_title; }
    // The rectangle the logo is drawn in (empty without one).
    QRect logoRect() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QRect textRect() const;

    QPixmap m_logo;
    QString m_channel;
    QString m_title;
};
