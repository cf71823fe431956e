#pragma once
// The main window at 1920 x 1080 (offscreen) with four one-hour laps of a
// real-shaped circuit shown, loaded through the lap list as a user does:
// the benchmarks of the panes and of playback measure what a user meets.
#include <memory>
#include <benchmark/benchmark.h>
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include "app/app_services.h"
#include "app/main_window.h"
#include "model/lap_rows.h"
#include "model/session.h"
#include "support/lap_builder.h"
#include "support/test_folders.h"
#include "views/graph_tab.h"
#include "views/pane.h"
#include "qt_main.h"

namespace vel::bench {

// An hour at 10 Hz of rounds of a 3.6 km circuit, each lap a little faster
// and its circuit a little larger, so the tracks lie side by side.
inline QVector<TLapElmRec> HourOfCircuit(int k) {
    test::Drive d;
    d.spd = 160 + 5 * k;
    QVector<TLapElmRec> recs;
    for (int laps = 40; recs.size() < 36000; laps += 10) recs = test::CircuitLap(d, 3600 + 15 * k, laps, 8);
    recs.resize(36000);
    return recs;
}

struct LapsWindow {
    QTemporaryDir tmp;
    Session session;
    std::unique_ptr<AppServices> services;
    std::unique_ptr<TFormMain> w;
    QString error;

    LapsWindow() {
        session.folders = test::FoldersUnder(tmp.path());
        services = std::make_unique<AppServices>(session);
        w = std::make_unique<TFormMain>(session, *services);
        for (int k = 0; k < 4; ++k)
            if (!AddLapRow(session, HourOfCircuit(k), QStringLiteral("lap%1").arg(k), std::nullopt, 0, &error)) return;
        for (int row = 1; row <= 4; ++row) w->StringGridLapDataDblClick(row);
        if (!session.comparison.DispSlot[3].Active) {
            error = "four laps not shown";
            return;
        }
        w->resize(1920, 1080);
        w->PageControl1->setCurrentIndex(0);
        w->show();
        Settle();
    }
    GraphTab& tab() { return w->graphTab(); }
    // Lets the window lay itself out and paint.
    static void Settle() {
        for (int i = 0; i < 5; ++i) QApplication::processEvents();
    }
    // The size the window gives a pane (its page shown first).
    QSize PaneSize(PaneSlot slot, int page) {
        tab().PageControl2->setCurrentIndex(page);
        Settle();
        return tab().Pane(slot)->size();
    }
};

// False, with the benchmark skipped for the reason, when w could not be set up.
inline bool Usable(benchmark::State& state, const LapsWindow& w) {
    if (w.error.isEmpty()) return true;
    state.SkipWithError(qPrintable(w.error));
    return false;
}

// A pane's cursor-layer update as a playback tick makes it: the pane's
// picture, drawn once by drawPane into a cache of the given size, copied and
// the cursor layer drawn over it by drawCursor (both called with a painter
// and the picture's rectangle).
template <class DrawPane, class DrawCursor>
void CursorLayerLoop(benchmark::State& state, QSize size, DrawPane drawPane, DrawCursor drawCursor) {
    QImage cache(size, QImage::Format_RGB32);
    {
        QPainter p(&cache);
        drawPane(p, cache.rect());
    }
    QImage pane(cache.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter p(&pane);
        p.drawImage(0, 0, cache);
        drawCursor(p, pane.rect());
    }
}

} // namespace vel::bench
