// Every window and dialog fits a 1280 x 720 screen, and at that size no
// button caption is cut.
#include <functional>
#include <memory>
#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QScreen>
#include <QTabWidget>
#include <QTemporaryDir>
#include "analysis/sector_adjust_dialog.h"
#include "analysis/sector_dialogs.h"
#include "app/app_services.h"
#include "app/main_window.h"
#include "app/setup_dialog.h"
#include "app/small_dialogs.h"
#include "import/control_line_dialog.h"
#include "import/lap_hint_dialog.h"
#include "import/mark_dialog.h"
#include "import/select_circuit_dialog.h"
#include "support/fake_prompts.h"
#include "support/recording_services.h"
#include "support/test_env.h"
#include "support/test_folders.h"

using namespace vel;

namespace {

constexpr int ScreenW = 1280, ScreenH = 720;

// Buttons whose caption does not fit their width.
QStringList ClippedButtons(QWidget* top) {
    QStringList out;
    for (QAbstractButton* b : top->findChildren<QAbstractButton*>()) {
        if (!b->isVisibleTo(top) || b->text().isEmpty()) continue;
        const int need = b->fontMetrics().horizontalAdvance(b->text());
        if (b->width() < need) out << b->text();
    }
    return out;
}

void Check(QWidget* w, const QString& name) {
    SCOPED_TRACE(name.toStdString());
    const QSize min = w->minimumSizeHint().expandedTo(w->minimumSize());
    EXPECT_LE(min.width(), ScreenW) << min.width();
    EXPECT_LE(min.height(), ScreenH) << min.height();
    w->resize(w->size().boundedTo(QSize(ScreenW, ScreenH)));
    w->show();
    QApplication::processEvents();
    EXPECT_LE(w->width(), ScreenW);
    EXPECT_LE(w->height(), ScreenH);
    EXPECT_EQ(ClippedButtons(w), QStringList());
    w->grab().save(test::OutputDir() + "/fit_" + name + ".png");
}

} // namespace

TEST(WindowSizes, EveryWindowFitsA1280By720Screen) {
    QTemporaryDir tmp;
    Session session;
    session.folders = test::FoldersUnder(tmp.path());
    test::RecordingServices rec;
    test::FakePrompts prompts;
    AppServices app(session, rec.overrides());
    {
        TFormMain w(session, app, &prompts);
        w.resize(ScreenW, ScreenH);
        for (int tab = 0; tab < w.PageControl1->count(); ++tab) {
            w.PageControl1->setCurrentIndex(tab);
            Check(&w, QString("main_window_tab%1").arg(tab));
        }
    }
    MbViewState state;
    std::vector<std::pair<QString, std::function<std::unique_ptr<QWidget>()>>> dialogs = {
        {"control_line", [&] { return std::make_unique<TOKBottomDlgMb>(session, prompts, state, MbHooks{}); }},
        {"setup", [] { return std::make_unique<TOKBottomDlgSetup>(); }},
        {"name", [] { return std::make_unique<TOKBottomDlgEdiStr>(); }},
        {"version", [] { return std::make_unique<TOKBottomDlgVer>(); }},
        {"lap_hint", [] { return std::make_unique<TOKBottomDlgLapHint>(); }},
        {"mark", [] { return std::make_unique<TOKBottomDlgMark>(); }},
        {"select_circuit", [] { return std::make_unique<TSelCircuitDlg>(); }},
        {"release_sectors", [] { return std::make_unique<TOKBottomDlgRelSect>(); }},
        {"select_sector", [] { return std::make_unique<TOKBottomDlgSelEdSect>(); }},
        {"adjust_sector", [&] {
             EdSectScene scene{session.sectorLines, session.coursePaths, session.loadedLaps, session.comparison, false};
             return std::make_unique<TOKBottomDlgEdSect>(scene);
         }},
    };
    for (auto& [name, make] : dialogs) {
        std::unique_ptr<QWidget> d = make();
        // As made, before anything resizes it: within the screen it opens on.
        if (QScreen* s = d->screen()) {
            const QSize avail = s->availableGeometry().size().expandedTo(d->minimumSizeHint());
            EXPECT_LE(d->width(), avail.width()) << name.toStdString();
            EXPECT_LE(d->height(), avail.height()) << name.toStdString();
        }
        Check(d.get(), name);
    }
}
