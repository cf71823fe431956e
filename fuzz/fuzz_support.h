#pragma once
// Shared pieces of the fuzz targets: one session for the life of the
// process (the log store is large), and scratch files for readers that take
// a path, kept in memory-backed storage where there is one.
#include <cstddef>
#include <cstdint>
#include <QByteArray>
#include <QString>
#include "model/session.h"

namespace vel::fuzz {

// The process's session: folders below the scratch folder, log store
// allocated, lap list emptied on every call.
Session& FreshSession();
// A folder of this process, made on first use.
QString ScratchDir();
// Writes the bytes to ScratchDir() + name (folders made), replacing it.
QString WriteScratch(const QString& name, const uint8_t* data, size_t size);
QString WriteScratch(const QString& name, const QByteArray& bytes);

} // namespace vel::fuzz
