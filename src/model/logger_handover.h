#pragma once
// What the logger link leaves behind for the import once a download has
// ended: the logger's identification and its used-memory count. The memory
// image itself is the log store's LogDump.
#include <QByteArray>

namespace vel {

struct LoggerHandover {
    QByteArray LoggerRelease;     // identification reply; a QK4's begins with "QK4,"
    QByteArray LoggerUsedBytes;   // log memory in use, hexadecimal text
};

} // namespace vel
