#pragma once
// The speed graph's and speed bars' widgets: the speed graph keeps its last
// picture and redraws it only when what it shows changed, so a cursor move
// draws just the position bar over it; clicks move the play time or ask for
// the picture menu.
#include <functional>
#include <vector>
#include <QImage>
#include "views/pane.h"
#include "views/speed_plot.h"

namespace vel {

class GraphTab;

class SpeedGraphPane : public PaneWidget {
    Q_OBJECT
public:
    explicit SpeedGraphPane(QWidget* parent = nullptr);

    // The right click while stopped: PopupSrc is 0 and the picture menu
    // opens at the global position.
    std::function<void(QPoint)> onPopup;
    // How many times the plot was drawn afresh (the rest were bar moves).
    int plotDraws() const { return plotDraws_; }
    SpeedGeometry Geometry() const;

protected:
    void Draw(QPainter& p, const QRect& r, const PaneInput& in) override;
    void mousePressEvent(QMouseEvent* e) override;
    // The plot's signature and the position bar's column.
    bool PictureKey(const PaneInput& in, QSize size, std::vector<double>& key) const override;

private:
    std::vector<double> Signature(const PaneInput& in, QSize size) const;

    QImage plot_;
    std::vector<double> signature_;
    int plotDraws_ = 0;
};

// The speed bars: drawn afresh on every paint.
PaneWidget* MakeSpeedBarsPane(QWidget* parent = nullptr);

// Drops the speed graph and speed bars into the graph tab and paints its
// axis-mode tabs; returns the speed graph.
SpeedGraphPane* InstallSpeedGraphPanes(GraphTab& tab);

} // namespace vel
