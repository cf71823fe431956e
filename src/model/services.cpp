#include "model/services.h"

namespace vel {

Services NullServices() {
    static GraphsService graphs;
    static LoggerService logger;
    static VideoService video;
    return {&graphs, &logger, &video};
}

} // namespace vel
