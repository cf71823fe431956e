#pragma once
// The 16-pixel pictures of the graph tab's buttons and switch panels, drawn
// in code.
#include <QColor>
#include <QIcon>
#include <QImage>
#include <QPixmap>

namespace vel {

enum class Glyph {
    Play, Running, FrameFwd, FrameBwd, ToStart, DistOfs, Reset,
    SpdZoomIn, SpdZoomOut, MapZoomIn, MapZoomOut, GZoomIn, GZoomOut, GInfo,
    DiffTm, Altitude, XYG, Drift, ViewRdu,
};

// The glyph on a white 16 x 16 picture.
QImage GlyphImage(Glyph g);
QIcon GlyphIcon(Glyph g);

// Fills the region of pixels of seed's colour connected to seed with colour
// (4-neighbour surface fill); a seed outside the image changes nothing.
void FloodFill(QImage& img, QPoint seed, QColor colour);

// The play button's picture: image 0 (stopped) or 1 (running) of its list,
// its white surround from pixel (0, 15) filled with the button face.
QPixmap PlayButtonGlyph(bool running, QColor face);

} // namespace vel
