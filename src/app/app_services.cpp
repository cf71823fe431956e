#include "app/app_services.h"

#include "analysis/lap_analysis.h"
#include "analysis/lap_ranking.h"

namespace vel {

struct AppServices::Impl {
    explicit Impl(Session& s) : analysis(s), ranking(s, s.sectorLines) {}
    GraphsService graphs;
    LoggerService logger;
    VideoService video;
    LapAnalysis analysis;
    LapRanking ranking;
};

AppServices::AppServices(Session& session) : impl_(std::make_unique<Impl>(session)) {}
AppServices::~AppServices() = default;

Services AppServices::services() {
    return {&impl_->graphs, &impl_->logger, &impl_->video, &impl_->analysis, &impl_->ranking};
}

} // namespace vel
