#pragma once
// Laps put straight into the display slots for the map, G and drift views:
// statistics as the loader keeps them, drift and G as the analysis derives
// them, and the cursor values at the play time.
#include <algorithm>
#include <gtest/gtest.h>
#include <QImage>
#include "analysis/display_slots.h"
#include "analysis/lap_derive.h"
#include "model/colors.h"
#include "model/session.h"
#include "support/lap_builder.h"
#include "support/recording_services.h"
#include "views/pane.h"
#include "views/refresh_chain.h"

namespace vel::test {

inline TLapDtRec LapWithStats(const QString& name, const QVector<TLapElmRec>& recs) {
    TLapDtRec lap;
    lap.DtName = name;
    lap.Elm = recs;
    lap.ElmNum = recs.size();
    lap.GElm.resize(recs.size());
    lap.DElm.resize(recs.size());
    if (recs.isEmpty()) return lap;
    lap.LapTim = recs.back().Tm;
    lap.LapDist = recs.back().Dist;
    for (const TLapElmRec& e : recs) {
        lap.IdoMin = std::min(lap.IdoMin, e.Ido);
        lap.IdoMax = std::max(lap.IdoMax, e.Ido);
        lap.KdoMin = std::min(lap.KdoMin, e.Kdo);
        lap.KdoMax = std::max(lap.KdoMax, e.Kdo);
        lap.MaxSpd = std::max(lap.MaxSpd, e.Spd);
        lap.MinSpd = std::min(lap.MinSpd, e.Spd);
    }
    SetDElm(lap);
    SetGElm(lap);
    return lap;
}

struct MapFixture : ::testing::Test {
    Session s;
    CallLog log;
    RecordingPanes panes{log};
    GraphRefresh graphs{&panes};

    // Shows recs as the next lap in the next slot.
    TLapDtRec& Show(const QVector<TLapElmRec>& recs) {
        const int k = s.loadedLaps.LapDt.size();
        s.loadedLaps.LapDt.push_back(LapWithStats(QString("%1").arg(k, 4, 10, QChar('0')), recs));
        s.loadedLaps.LapDtNum = s.loadedLaps.LapDt.size();
        SetDispSlot(s.loadedLaps, s.comparison, k, k);
        CalCursorValues(s.loadedLaps, s.comparison);
        return s.loadedLaps.LapDt.back();
    }
    void MoveTo(long double playTm) {
        s.comparison.PlayTm = playTm;
        CalCursorValues(s.loadedLaps, s.comparison);
    }
    PaneInput In() const { return PaneInputOf(s); }
    PaneHost Host() { return {&s, &graphs, nullptr}; }

    // A picture drawn by fn into an image of the given size.
    template <typename Fn>
    QImage Draw(Fn fn, QSize size) const {
        QImage img(size, QImage::Format_RGB32);
        img.fill(Qt::white);
        QPainter p(&img);
        fn(p, img.rect(), In());
        return img;
    }
};

inline QRgb Rgb(uint32_t bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF).rgb(); }

// Whether any pixel within radius px of at has colour c.
inline bool ColourNear(const QImage& img, QPoint at, QRgb c, int radius = 0) {
    for (int y = at.y() - radius; y <= at.y() + radius; ++y)
        for (int x = at.x() - radius; x <= at.x() + radius; ++x)
            if (img.valid(x, y) && (img.pixel(x, y) & 0xFFFFFF) == (c & 0xFFFFFF)) return true;
    return false;
}

} // namespace vel::test
