#include "views/glyphs.h"

#include <vector>
#include <QPainter>
#include <QPainterPath>

namespace vel {

namespace {

void Triangle(QPainter& p, QPointF a, QPointF b, QPointF c) {
    QPainterPath path;
    path.moveTo(a);
    path.lineTo(b);
    path.lineTo(c);
    path.closeSubpath();
    p.drawPath(path);
}

void Magnifier(QPainter& p, bool plus) {
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(40, 40, 40), 1.6));
    p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
    p.drawLine(QPointF(9.5, 9.5), QPointF(14.5, 14.5));
    p.setPen(QPen(QColor(0, 0, 160), 1.4));
    p.drawLine(QPointF(3.5, 6), QPointF(8.5, 6));
    if (plus) p.drawLine(QPointF(6, 3.5), QPointF(6, 8.5));
}

void HorizontalZoom(QPainter& p, bool in) {
    p.setPen(QPen(QColor(40, 40, 40), 1.4));
    p.setBrush(QColor(40, 40, 40));
    p.drawLine(QPointF(1, 12), QPointF(15, 12));
    if (in) {
        Triangle(p, {1, 12}, {5, 9.5}, {5, 14.5});
        Triangle(p, {15, 12}, {11, 9.5}, {11, 14.5});
    } else {
        Triangle(p, {7, 12}, {3, 9.5}, {3, 14.5});
        Triangle(p, {9, 12}, {13, 9.5}, {13, 14.5});
    }
    p.setPen(QPen(QColor(0, 0, 160), 1.4));
    p.drawLine(QPointF(4, 4.5), QPointF(12, 4.5));
    if (in) p.drawLine(QPointF(8, 0.5), QPointF(8, 8.5));
}

} // namespace

QImage GlyphImage(Glyph g) {
    QImage img(16, 16, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor dark(30, 30, 30);
    const QColor green(0, 140, 0);
    p.setPen(Qt::NoPen);
    switch (g) {
    case Glyph::Play:
        p.setBrush(green);
        Triangle(p, {4, 2}, {13, 8}, {4, 14});
        break;
    case Glyph::Running:
        p.setBrush(QColor(200, 0, 0));
        p.drawRect(QRectF(4, 3, 3, 10));
        p.drawRect(QRectF(9, 3, 3, 10));
        break;
    case Glyph::FrameFwd:
        p.setBrush(dark);
        Triangle(p, {3, 3}, {10, 8}, {3, 13});
        p.drawRect(QRectF(11, 3, 2, 10));
        break;
    case Glyph::FrameBwd:
        p.setBrush(dark);
        Triangle(p, {13, 3}, {6, 8}, {13, 13});
        p.drawRect(QRectF(3, 3, 2, 10));
        break;
    case Glyph::ToStart:
        p.setBrush(dark);
        p.drawRect(QRectF(2, 3, 2, 10));
        Triangle(p, {9, 3}, {4, 8}, {9, 13});
        Triangle(p, {14, 3}, {9, 8}, {14, 13});
        break;
    case Glyph::DistOfs:
        p.setPen(QPen(dark, 1.4));
        p.drawLine(QPointF(8, 1), QPointF(8, 15));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(200, 0, 0));
        Triangle(p, {2, 5}, {7, 8}, {2, 11});
        Triangle(p, {14, 5}, {9, 8}, {14, 11});
        break;
    case Glyph::Reset:
        p.setPen(QPen(QColor(200, 0, 0), 2.2));
        p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
        p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
        break;
    case Glyph::SpdZoomIn: HorizontalZoom(p, true); break;
    case Glyph::SpdZoomOut: HorizontalZoom(p, false); break;
    case Glyph::MapZoomIn:
    case Glyph::GZoomIn: Magnifier(p, true); break;
    case Glyph::MapZoomOut:
    case Glyph::GZoomOut: Magnifier(p, false); break;
    case Glyph::GInfo:
        p.setBrush(QColor(0, 90, 200));
        p.drawEllipse(QRectF(1, 1, 14, 14));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(7, 7, 2, 6));
        p.drawEllipse(QRectF(7, 3.5, 2, 2));
        break;
    case Glyph::DiffTm:
        p.setPen(QPen(dark, 1.2));
        p.drawLine(QPointF(1, 8), QPointF(15, 8));
        p.setPen(QPen(QColor(200, 0, 200), 1.6));
        p.drawPolyline(QPolygonF({{1, 9}, {5, 5}, {8, 11}, {11, 4}, {15, 7}}));
        break;
    case Glyph::Altitude:
        p.setBrush(QColor(90, 140, 60));
        Triangle(p, {0, 14}, {6, 3}, {12, 14});
        p.setBrush(QColor(60, 110, 40));
        Triangle(p, {6, 14}, {11, 7}, {16, 14});
        break;
    case Glyph::XYG: {
        QFont f = p.font();
        f.setPixelSize(13);
        f.setBold(true);
        p.setFont(f);
        p.setPen(QColor(0, 0, 170));
        p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, "G");
        break;
    }
    case Glyph::Drift:
        p.translate(8, 8);
        p.rotate(30);
        p.setBrush(QColor(0, 0, 190));
        p.drawRoundedRect(QRectF(-3.5, -6.5, 7, 13), 1.5, 1.5);
        p.resetTransform();
        p.setPen(QPen(QColor(200, 0, 0), 1.2));
        p.drawLine(QPointF(8, 0), QPointF(8, 16));
        break;
    case Glyph::ViewRdu:
        p.setPen(QPen(QColor(120, 120, 120), 2));
        p.drawLine(QPointF(2, 14), QPointF(14, 2));
        p.setPen(QPen(QColor(230, 0, 0), 3));
        p.drawLine(QPointF(5, 11), QPointF(10, 6));
        break;
    }
    return img;
}

QIcon GlyphIcon(Glyph g) { return QIcon(QPixmap::fromImage(GlyphImage(g))); }

void FloodFill(QImage& img, QPoint seed, QColor colour) {
    if (!img.rect().contains(seed)) return;
    if (img.format() != QImage::Format_RGB32 && img.format() != QImage::Format_ARGB32)
        img = img.convertToFormat(QImage::Format_ARGB32);
    const QRgb from = img.pixel(seed);
    const QRgb to = colour.rgba();
    if (from == to) return;
    std::vector<QPoint> stack{seed};
    while (!stack.empty()) {
        const QPoint q = stack.back();
        stack.pop_back();
        if (!img.rect().contains(q) || img.pixel(q) != from) continue;
        img.setPixel(q, to);
        stack.push_back({q.x() + 1, q.y()});
        stack.push_back({q.x() - 1, q.y()});
        stack.push_back({q.x(), q.y() + 1});
        stack.push_back({q.x(), q.y() - 1});
    }
}

QPixmap PlayButtonGlyph(bool running, QColor face) {
    QImage img = GlyphImage(running ? Glyph::Running : Glyph::Play);
    FloodFill(img, QPoint(0, 15), face);
    return QPixmap::fromImage(img);
}

} // namespace vel
