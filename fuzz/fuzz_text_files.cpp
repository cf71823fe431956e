// The small text files, the first byte picking which: a course map
// (".pth"), a control-line file (".cln", by the load button and by the
// search), a sector file (".sci") or the settings file.
#include "fuzz_support.h"
#include <QDir>
#include "common/textfile.h"
#include "import/control_lines.h"
#include "model/course_path.h"
#include "model/sector_lines.h"
#include "model/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const int kind = data[0] % 4;
    ++data;
    --size;
    QString error;
    switch (kind) {
    case 0: {
        const QString path = vel::fuzz::WriteScratch(QStringLiteral("course.pth"), data, size);
        vel::CoursePaths paths;
        if (vel::ReadCoursePathFile(path, paths, &error)) vel::CoursePathLines(paths);
        break;
    }
    case 1: {
        const QString path = vel::fuzz::WriteScratch(QStringLiteral("line.cln"), data, size);
        QStringList lines;
        if (vel::ReadTextLines(path, lines, &error)) {
            vel::LineChoice byLoad, bySearch;
            vel::ApplyClnLines(byLoad, lines, true);
            vel::ApplyClnLines(bySearch, lines, false);
            if (vel::CanSaveCln(byLoad)) vel::ClnFileLines(byLoad);
        }
        break;
    }
    case 2: {
        const QString path = vel::fuzz::WriteScratch(QStringLiteral("sectors.sci"), data, size);
        vel::SectorLines lines;
        if (vel::ReadSectFile(path, lines, &error)) vel::SectFileLines(lines);
        break;
    }
    default: {
        vel::fuzz::WriteScratch(QStringLiteral("share/") + vel::SettingsFileName, data, size);
        vel::Settings settings;
        if (vel::ReadSettingsFile(settings, vel::fuzz::ScratchDir() + "share/", &error))
            vel::SettingsToLines(settings);
        break;
    }
    }
    return 0;
}
