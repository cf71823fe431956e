#pragma once
// The services of the running program over one session: the real analysis
// and ranking, the graph tab's refresh rules, and the logger link and video.
// Tests may put recorders in place of the graphs, logger and video.
#include <memory>
#include "model/services.h"
#include "model/session.h"

namespace vel {

class GraphRefresh;
class LapRanking;

// Recorders that tests put in place of the graphs, logger and video.
struct ServiceOverrides {
    GraphsService* graphs = nullptr;
    LoggerService* logger = nullptr;
    VideoService* video = nullptr;
};

class AppServices {
public:
    using Overrides = ServiceOverrides;
    explicit AppServices(Session& session, const Overrides& overrides = {});
    ~AppServices();
    Services services();
    LapRanking& ranking();
    // Whether a test put a recorder in place of the logger link; the window
    // makes the real link (it needs the window's prompts) otherwise.
    bool LoggerOverridden() const;
    // Likewise for the video link (it needs the window's prompts and page).
    bool VideoOverridden() const;
    // The refresh rules the graph tab attaches its panes to (unused when overridden).
    GraphRefresh& graphRefresh();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace vel
