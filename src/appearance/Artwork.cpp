#include "Artwork.h"

#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QSvgRenderer>
#include <unordered_map>

namespace Artwork {

QImage image(const QString &name, const QSize &size, qreal dpr)
{
    struct Key
    {
        QString name;
        QSize size;
        qreal dpr;
        bool operator==(const Key &o) const { return name == o.name && size == o.size && dpr == o.dpr; }
    };
    struct KeyHash
    {
        size_t operator()(const Key &k) const
        {
            return qHash(k.name) ^ (size_t(k.size.width()) << 16) ^ size_t(k.size.height()) ^ qHash(k.dpr);
        }
    };
    static std::unordered_map<Key, QImage, KeyHash> cache;
    if (name.isEmpty() || size.isEmpty())
        return {};
    const Key key{name, size, dpr};
    if (auto it = cache.find(key); it != cache.end())
        return it->second;

    QSvgRenderer renderer(QStringLiteral(":/art/%1.svg").arg(name));
    QImage img(size * dpr, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    if (renderer.isValid()) {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        renderer.render(&p);
    }
    img.setDevicePixelRatio(dpr);
    cache.emplace(key, img);
    return img;
}

namespace {

// Renders the picture at the size asked for, when it is asked for (a start-up renders only
// the sizes it shows).
class PictureIconEngine final : public QIconEngine
{
public:
    explicit PictureIconEngine(const QString &name) : m_name(name) {}
    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        painter->drawPixmap(rect, pixmap(rect.size() * painter->device()->devicePixelRatioF(), mode, state));
    }
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State) override
    {
        QImage img = image(m_name, size);
        if (mode == QIcon::Disabled)
            img = disabledLook(img);
        return QPixmap::fromImage(img);
    }
    QIconEngine *clone() const override { return new PictureIconEngine(m_name); }

private:
    QString m_name;
};

} // namespace

QIcon icon(const QString &name)
{
    return QIcon(new PictureIconEngine(name));
}

QImage pressedLook(const QImage &normal)
{
    QImage out(normal.size(), QImage::Format_ARGB32_Premultiplied);
    out.setDevicePixelRatio(normal.devicePixelRatio());
    out.fill(Qt::transparent);
    QPainter p(&out);
    // Pushed in: one pixel down and somewhat darker.
    p.drawImage(QPointF(0, 1), normal);
    p.setCompositionMode(QPainter::CompositionMode_SourceAtop);
    p.fillRect(out.rect(), QColor(0, 0, 0, 70));
    return out;
}

QImage disabledLook(const QImage &normal)
{
    QImage out = normal.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb c = line[x];
            const int g = qGray(c);
            line[x] = qRgba(g, g, g, qAlpha(c) * 45 / 100);
        }
    }
    return out.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace Artwork
