#pragma once

#include <QIcon>
#include <QImage>
#include <QString>

// The program's own pictures, drawn from the SVG files compiled into the resources (":/art/").
namespace Artwork {

// The picture `name` rendered at `size` logical pixels (times the device pixel ratio).
QImage image(const QString &name, const QSize &size, qreal dpr = 1.0);
QIcon icon(const QString &name);

// Looks derived from a picture for the states of an image button.
QImage pressedLook(const QImage &normal);
QImage disabledLook(const QImage &normal);

} // namespace Artwork
