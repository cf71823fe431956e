#pragma once
// Text of an FFmpeg error code.
#include <QString>

namespace vel::video {

// prefix + ": " + the code's message ("Error number %d occurred" for a code
// without one).
QString AVErrorToText(const QString& prefix, int code);

} // namespace vel::video
