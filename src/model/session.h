#pragma once
// The program's state for the life of the process, one struct per area.
#include <QString>
#include "model/catalogue.h"
#include "model/comparison.h"
#include "model/course_path.h"
#include "model/graph_view.h"
#include "model/lap_list.h"
#include "model/line_choice.h"
#include "model/loaded_laps.h"
#include "model/log_store.h"
#include "model/logger_handover.h"
#include "model/sector_lines.h"
#include "model/settings.h"
#include "model/status_list.h"
#include "platform/folders.h"

namespace vel {

inline const QString VersionText = QStringLiteral("Ver 4.8.3");

// The structs are named for their areas; inside them the fields keep the
// program's established short names (LapDt, DispSlot, PlayTm, SectNum...).
struct Session {
    Folders folders;
    Settings settings;
    // The settings file was there but could not be read at start-up: it is
    // left as it is at shut-down, not replaced by this run's settings.
    bool KeepSettingsFile = false;
    double LocalEpoch = 25569.0;   // local date-time of the Unix epoch
    LogStore logStore;
    StatusList statusList;   // ListBox1 of the "ロガー" tab
    LapList lapList;
    LoadedLaps loadedLaps;
    Comparison comparison;
    GraphView graphView;     // switches, axis mode, zooms and playback state of the "グラフ" tab
    Catalogue catalogue;
    CoursePaths coursePaths;
    SectorLines sectorLines;
    LineChoice lineChoice;   // lines of the control-line dialog, kept between imports
    LoggerHandover loggerHandover;   // what a finished download hands to the import
    // A file or selection dialog of a command is open: keyboard stepping waits.
    bool FileDlgOpen = false;
};

} // namespace vel
