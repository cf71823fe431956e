#pragma once
// Drawing rules the panes share: a line leaves its last pixel unpainted,
// an ellipse's box excludes its right and bottom edges, colours come as
// 0x00BBGGRR values.
#include <QFontMetrics>
#include <QPainter>
#include <QPen>
#include "model/colors.h"

namespace vel {

// Thin pens end flat so the end pixel stays unpainted; broad ones round.
inline QPen MapPen(QColor c, int width = 1, Qt::PenStyle style = Qt::SolidLine) {
    QPen pen(c, width, style, width <= 1 ? Qt::FlatCap : Qt::RoundCap, Qt::RoundJoin);
    return pen;
}
inline QPen MapPen(uint32_t bgr, int width = 1, Qt::PenStyle style = Qt::SolidLine) {
    return MapPen(ColorOf(bgr), width, style);
}

// The ellipse inscribed in (l, t)-(r, b), right and bottom edges excluded.
inline void BoxEllipse(QPainter& p, int l, int t, int r, int b) {
    p.drawEllipse(QRect(l, t, r - l - 1, b - t - 1));
}

// Draws with the picture's origin at the rectangle's top left corner,
// without smoothing (pixels as the rules place them).
struct PaneOrigin {
    QPainter& p;
    PaneOrigin(QPainter& painter, const QRect& r) : p(painter) {
        p.save();
        p.translate(r.topLeft());
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setRenderHint(QPainter::TextAntialiasing, true);
    }
    ~PaneOrigin() { p.restore(); }
};

// A text placed by its top left corner, on a white box unless clear.
inline void TextAt(QPainter& p, int x, int y, const QString& text, bool clear = false) {
    const QFontMetrics fm = p.fontMetrics();
    if (!clear) p.fillRect(QRect(x, y, fm.horizontalAdvance(text), fm.height()), Qt::white);
    p.drawText(x, y + fm.ascent(), text);
}
inline int TextWidth(const QPainter& p, const QString& text) { return p.fontMetrics().horizontalAdvance(text); }
inline int TextHeight(const QPainter& p) { return p.fontMetrics().height(); }

// The painter's font at a point size, restored when this ends.
struct FontSize {
    QPainter& p;
    QFont old;
    FontSize(QPainter& painter, int points) : p(painter), old(painter.font()) {
        QFont f = old;
        f.setPointSize(points);
        p.setFont(f);
    }
    ~FontSize() { p.setFont(old); }
};

} // namespace vel
