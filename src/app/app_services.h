#pragma once
// The services of the running program over one session: the real analysis
// and ranking, and the panes, logger link and video that do nothing yet.
#include <memory>
#include "model/services.h"
#include "model/session.h"

namespace vel {

class AppServices {
public:
    explicit AppServices(Session& session);
    ~AppServices();
    Services services();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace vel
