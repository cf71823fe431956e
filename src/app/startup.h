#pragma once
// Start-up and shut-down of the program's state, without the window.
#include <QStringList>
#include "model/services.h"
#include "model/session.h"

namespace vel {

constexpr const char* VersionMarkerName = "velmrver.txt";
inline const QStringList SampleFolderNames = {"Raw", "Sector", "ControlLine", "Circuit", "Data"};

struct StartupReport {
    bool newVersion = false;
    QStringList errors;   // one text per failed step; later steps still ran
};

// Every start-up step that needs no window, in order: folders, version
// marker and sample copies, remembered folders, catalogue, local-time base,
// log arrays, logger lists, settings, display slots, cached bitmaps, video state.
// session.folders must hold the locations to use (StandardFolders() in the program).
StartupReport RunStartup(Session& session, const Services& services);

// Shut-down, every step even when one fails: settings written, logger lists
// freed, the port closed when open, the lap working files deleted.
QStringList RunShutdown(Session& session, const Services& services);

// The version-marker step alone: true when this start is a new version.
bool CheckVersionMarker(const Folders& folders, QStringList& errors);

} // namespace vel
