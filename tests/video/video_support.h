#pragma once
// Shared helpers of the video engine tests.
#include <QCoreApplication>
#include <QString>
#include "video/engine/ff_loader.h"

namespace vel::test {

// Loads the player's libraries from the system.
inline bool LoadSystemCodecs() {
    auto& loader = vel::video::FFLoader();
    loader.SetLibraryPath(QString());
    return loader.Load(vel::video::PlayerLibraries);
}

inline QString LibAVFolder() { return QCoreApplication::applicationDirPath() + QStringLiteral("/LibAV"); }

} // namespace vel::test
