#pragma once
// Pictures of the graph panes: a pane's drawing function run into a white
// image of the pane's size, saved as PNG (zlib level 5, every row filter
// allowed) or BMP.
#include <functional>
#include <QImage>
#include <QRect>
#include <QString>

class QPainter;

namespace vel {

// Draws a pane into the painter's device within the rectangle (the whole
// picture, from 0,0); it may leave it white.
using PaneDraw = std::function<void(QPainter&, const QRect&)>;

// A white 32-bit image of size (at least one pixel square) with draw run into it.
QImage PanePicture(const QSize& size, const PaneDraw& draw);

// Qt's PNG writer maps quality q to zlib level (100 - q) x 9 / 91: 45 gives 5.
constexpr int PngQualityLevel5 = 45;

enum class PictureFormat { Png, Bmp };

// Writes the image atomically: a failed write leaves an existing file whole.
bool WritePicture(const QImage& image, PictureFormat format, const QString& path, QString* error = nullptr);

} // namespace vel
