#include "model/services.h"

namespace vel {

Services NullServices() {
    static GraphsService graphs;
    static LoggerService logger;
    static VideoService video;
    static AnalysisService analysis;
    return {&graphs, &logger, &video, &analysis};
}

} // namespace vel
