#include "model/services.h"

namespace vel {

Services NullServices() {
    static GraphsService graphs;
    static LoggerService logger;
    static VideoService video;
    static AnalysisService analysis;
    static RankingService ranking;
    return {&graphs, &logger, &video, &analysis, &ranking};
}

} // namespace vel
