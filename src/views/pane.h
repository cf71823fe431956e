#pragma once
// How a pane of the graph tab is built: one widget whose paint draws through
// a plain function of (painter, rectangle, read-only state), so tests and the
// picture export can draw the same picture into a QImage.
//
// A pane that keeps a cached picture (course view, G view, drift view) draws
// its static part with the draw function into the cache, redrawn only when
// the dirty flag is set or the size changed, and its cursor layer with the
// cursor function over a copy of the cache on every paint. Other panes draw
// everything fresh on every paint.
//
// To drop a pane in: subclass PaneWidget (or set its functions) and hand it
// to GraphTab::SetPane with its slot; the tab gives it the host and repaints
// it when the refresh rules ask.
#include <functional>
#include <vector>
#include <QImage>
#include <QWidget>
#include "model/services.h"
#include "model/session.h"

namespace vel {

// The state a pane draws from, read-only.
struct PaneInput {
    const LoadedLaps& laps;
    const Comparison& cmp;
    const GraphView& view;
    const SectorLines& sectors;
    const CoursePaths& course;
    const Settings& settings;
};
PaneInput PaneInputOf(const Session& s);

using PaneDrawFn = std::function<void(QPainter&, const QRect&, const PaneInput&)>;

// What a pane may change: the cursor (clicks) and the services it tells.
struct PaneHost {
    Session* session = nullptr;
    GraphsService* graphs = nullptr;
    VideoService* video = nullptr;
};

class PaneWidget : public QWidget {
    Q_OBJECT
public:
    // cached: keep the draw function's picture until SetDirty or a resize.
    PaneWidget(const char* objectName, bool cached, QWidget* parent = nullptr);

    void SetHost(const PaneHost& host) { host_ = host; }
    const PaneHost& host() const { return host_; }
    void SetDrawFunctions(PaneDrawFn draw, PaneDrawFn cursor = {});
    bool cached() const { return cached_; }

    // The cache is redrawn at the next paint (GraphDirty, GraphGDirty, GraphDriftDirty).
    void SetDirty() { dirty_ = true; }
    bool IsDirty() const { return dirty_; }
    // A repaint step of the refresh rules: the pane is painted at the next
    // event-loop turn (several steps in one turn paint it once), unless its
    // picture key says the picture it shows is the one it would paint.
    void Repaint();

    // The whole pane as the screen shows it, drawn into a new image.
    QImage Render();

    // For clicks: puts the play time at playTm (never below 0); when the
    // video covers it the video seeks there and brings the cursor after it,
    // otherwise the refresh chain runs with the given entry's repaint order.
    void MoveCursorTo(long double playTm, PlayEntry entry);

protected:
    // The static picture (the whole picture for an uncached pane). Default:
    // the draw function, or white without one.
    virtual void Draw(QPainter& p, const QRect& r, const PaneInput& in);
    // The cursor layer over the cache; uncached panes draw it in Draw.
    virtual void DrawCursor(QPainter& p, const QRect& r, const PaneInput& in);
    // Everything the picture of this size shows, for a pane that can tell
    // it far more cheaply than it paints (playback asks 15 times a second);
    // false for none, and the pane paints at every repaint step.
    virtual bool PictureKey(const PaneInput& in, QSize size, std::vector<double>& key) const;
    void paintEvent(QPaintEvent* e) override;

private:
    void PaintInto(QPainter& p, const QRect& r);

    PaneHost host_;
    bool cached_;
    bool dirty_ = true;
    QImage cache_;
    PaneDrawFn draw_;
    PaneDrawFn cursor_;
    std::vector<double> shownKey_;   // of the picture on screen
    bool keyShown_ = false;
};

} // namespace vel
