#include "app/app_services.h"

#include "analysis/lap_analysis.h"
#include "analysis/lap_ranking.h"
#include "views/graph_refresh.h"

namespace vel {

struct AppServices::Impl {
    Impl(Session& s, const Overrides& o) : overrides(o), analysis(s), ranking(s, s.sectorLines) {}
    Overrides overrides;
    GraphRefresh graphs;
    LoggerService logger;
    VideoService video;
    LapAnalysis analysis;
    LapRanking ranking;
};

AppServices::AppServices(Session& session, const Overrides& overrides)
    : impl_(std::make_unique<Impl>(session, overrides)) {}
AppServices::~AppServices() = default;

Services AppServices::services() {
    const Overrides& o = impl_->overrides;
    return {o.graphs ? o.graphs : &impl_->graphs, o.logger ? o.logger : &impl_->logger,
            o.video ? o.video : &impl_->video, &impl_->analysis, &impl_->ranking};
}

bool AppServices::LoggerOverridden() const { return impl_->overrides.logger != nullptr; }
bool AppServices::VideoOverridden() const { return impl_->overrides.video != nullptr; }

LapRanking& AppServices::ranking() { return impl_->ranking; }
GraphRefresh& AppServices::graphRefresh() { return impl_->graphs; }

} // namespace vel
