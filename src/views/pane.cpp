#include "views/pane.h"

#include <QPainter>
#include "views/refresh_chain.h"

namespace vel {

PaneInput PaneInputOf(const Session& s) {
    return {s.loadedLaps, s.comparison, s.graphView, s.sectorLines, s.coursePaths, s.settings};
}

PaneWidget::PaneWidget(const char* objectName, bool cached, QWidget* parent) : QWidget(parent), cached_(cached) {
    setObjectName(objectName);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(16, 16);
}

void PaneWidget::SetDrawFunctions(PaneDrawFn draw, PaneDrawFn cursor) {
    draw_ = std::move(draw);
    cursor_ = std::move(cursor);
    dirty_ = true;
    update();
}

void PaneWidget::Draw(QPainter& p, const QRect& r, const PaneInput& in) {
    if (draw_) draw_(p, r, in);
}

void PaneWidget::DrawCursor(QPainter& p, const QRect& r, const PaneInput& in) {
    if (cursor_) cursor_(p, r, in);
}

bool PaneWidget::PictureKey(const PaneInput&, QSize, std::vector<double>&) const { return false; }

void PaneWidget::Repaint() {
    if (keyShown_ && !dirty_ && host_.session) {
        std::vector<double> key;
        if (PictureKey(PaneInputOf(*host_.session), size(), key) && key == shownKey_) return;
    }
    update();
}

void PaneWidget::PaintInto(QPainter& p, const QRect& r) {
    if (!host_.session) {
        p.fillRect(r, Qt::white);
        return;
    }
    const PaneInput in = PaneInputOf(*host_.session);
    if (!cached_) {
        p.fillRect(r, Qt::white);
        Draw(p, r, in);
        return;
    }
    if (dirty_ || cache_.size() != r.size()) {
        cache_ = QImage(r.size(), QImage::Format_RGB32);
        cache_.fill(Qt::white);
        QPainter cp(&cache_);
        Draw(cp, QRect(QPoint(0, 0), r.size()), in);
        dirty_ = false;
    }
    p.drawImage(r.topLeft(), cache_);
    DrawCursor(p, r, in);
}

void PaneWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    PaintInto(p, rect());
    shownKey_.clear();
    keyShown_ = host_.session && PictureKey(PaneInputOf(*host_.session), size(), shownKey_);
}

QImage PaneWidget::Render() {
    QImage img(size(), QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    PaintInto(p, img.rect());
    return img;
}

void PaneWidget::MoveCursorTo(long double playTm, PlayEntry entry) {
    if (!host_.session || !host_.graphs) return;
    Comparison& cmp = host_.session->comparison;
    cmp.PlayTm = playTm < 0 ? 0 : playTm;
    if (host_.video && host_.video->VideoInRange()) {
        host_.video->VideoSeekToPlayTime();
        return;
    }
    RefreshChain(host_.session->loadedLaps, cmp, *host_.graphs, entry);
}

} // namespace vel
