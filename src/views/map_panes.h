#pragma once
// The pane widgets of the course view and the zoom map, and the wiring
// that puts them into the graph tab.
#include <functional>
#include <memory>
#include <optional>
#include <QPoint>
#include "views/pane.h"

namespace vel {

class GraphTab;
struct GHover;

// Opens the picture menu at a screen position for the pane that set
// PopupSrc (1 course view, 2 zoom map, 3 G view, 4 drift view).
using PictureMenuFn = std::function<void(QPoint globalPos)>;

// PaintBoxGraph: cached tracks, cursor dots over them; a left click moves
// the cursor (also while playing), a right click opens the picture menu.
class CourseViewPane : public PaneWidget {
public:
    explicit CourseViewPane(QWidget* parent = nullptr);
    PictureMenuFn pictureMenu;
    // The left click at pane pixel `at`, as the mouse handler runs it.
    void ClickAt(QPoint at);

protected:
    void mousePressEvent(QMouseEvent* e) override;
    // The cursor dots' pixels: the cached part changes only with SetDirty.
    bool PictureKey(const PaneInput& in, QSize size, std::vector<double>& key) const override;
};

// PaintBoxZoom: drawn whole on every paint; clicks only while stopped.
class ZoomMapPane : public PaneWidget {
public:
    explicit ZoomMapPane(QWidget* parent = nullptr);
    PictureMenuFn pictureMenu;
    // Called with the pane pixel under the mouse as it moves over the map.
    std::function<void(QPoint)> onHover;
    void ClickAt(QPoint at);

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
};

// PaintBoxGraphG: cached diagram, cursor layer with the G under the mouse,
// and the zoom map's hover read-outs until its next repaint; a right click
// opens the picture menu while a reference lap is shown and playback is off.
class GViewPane : public PaneWidget {
public:
    explicit GViewPane(QWidget* parent = nullptr);
    PictureMenuFn pictureMenu;
    // Shown when the distance axis is selected and slot 1 is active.
    QWidget* posMsg = nullptr;
    // Rows, points and trails of the zoom map's hover, drawn over the
    // cursor layer until the cursor moves or the mouse moves over this view.
    void ShowHover(const GHover& hover);
    int rebuilds() const { return rebuilds_; }

protected:
    void Draw(QPainter& p, const QRect& r, const PaneInput& in) override;
    void DrawCursor(QPainter& p, const QRect& r, const PaneInput& in) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;

private:
    std::shared_ptr<GHover> hover_;
    long double hoverPlayTm_ = 0;
    // The last mouse move's read-out, until the cursor layer is drawn anew.
    std::optional<QPoint> moved_;
    long double movedPlayTm_ = 0;
    int rebuilds_ = 0;
};

// PaintBoxGraphDrift: cached dial, cars as the cursor layer.
class DriftViewPane : public PaneWidget {
public:
    explicit DriftViewPane(QWidget* parent = nullptr);
    PictureMenuFn pictureMenu;
    int rebuilds() const { return rebuilds_; }

protected:
    void Draw(QPainter& p, const QRect& r, const PaneInput& in) override;
    void mousePressEvent(QMouseEvent* e) override;

private:
    int rebuilds_ = 0;
};

// Puts the course view and the zoom map into the tab's slots.
void InstallMapPanes(GraphTab& tab, PictureMenuFn pictureMenu = {});
// Puts the G view and the drift view into the tab's slots and gives the
// zoom map its hover read-outs (LabelZoomDist and the G view's rows).
void InstallGDriftPanes(GraphTab& tab, PictureMenuFn pictureMenu = {});

} // namespace vel
