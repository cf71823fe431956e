#pragma once
// The graph tab's "セクタ調整" button: the line to adjust is chosen (asked
// only with two or more lines), adjusted on its own map, and on OK stored,
// re-sorted and the sectors refreshed.
#include <functional>
#include "analysis/sector_adjust.h"
#include "model/session.h"

namespace vel { class Prompts; }

class QWidget;

namespace vel {

struct EdSectDialogs {
    // The selection dialog for sectNum lines starting on line preselect
    // (both 0-based); the chosen line, or -1 on Cancel or with none chosen.
    std::function<int(int sectNum, int preselect)> selectLine;
    // The adjustment dialog, modal; true on OK with state holding the
    // working line and the pass number.
    std::function<bool(EdSectState& state)> adjust;
};

class SectorEditCommands {
public:
    // playing: playback runs (the command then does nothing); mapZoom: the
    // main window's course-map zoom, where the view starts; refresh: the
    // sector refresh in its full form.
    SectorEditCommands(Session& session, EdSectDialogs dialogs, std::function<bool()> playing,
                      std::function<long double()> mapZoom, std::function<void()> refresh)
        : session_(session), dialogs_(std::move(dialogs)), playing_(std::move(playing)),
          mapZoom_(std::move(mapZoom)), refresh_(std::move(refresh)) {}

    // True when a line was stored.
    bool SpeedButtonEdSectClick();

private:
    Session& session_;
    EdSectDialogs dialogs_;
    std::function<bool()> playing_;
    std::function<long double()> mapZoom_;
    std::function<void()> refresh_;
};

// The real dialogs over parent, drawing the session's laps, lines and
// course map; rduOn tells whether the deceleration switch is on.
EdSectDialogs QtEdSectDialogs(QWidget* parent, const Session& session, std::function<bool()> rduOn,
                             Prompts* prompts = nullptr);

} // namespace vel
