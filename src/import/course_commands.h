#pragma once
// The main window's course-map commands: load, save, make from two laps,
// the half-metre moves, clear, and the search near the reference lap.
#include <utility>
#include <QString>
#include "model/catalogue.h"
#include "model/course_path.h"
#include "model/services.h"
#include "model/session.h"
#include "platform/prompts.h"

namespace vel {

inline const QString CoursePathFilter = QStringLiteral("Circuit files (*.pth)");
inline const QString CoursePathOpenTitle = QStringLiteral("コース図を開く");
inline const QString CoursePathSaveTitle = QStringLiteral("コース図に名前をつけて保存");
inline const QString CoursePathMakeTitle = QStringLiteral("走行「赤」と「青」をコース図として保存");
inline const QString CoursePathMakeQuestion =
    QStringLiteral("走行「赤」と「青」をコース図に変換し保存しますか？");
inline const QString CourseNotFound = QStringLiteral("コース図、コントロールラインが\r見つかりません。");

enum class PathLoad { Cancelled, Missing, Failed, Loaded };

// The course-map open dialog and the read, shared with the control-line
// dialog's course-map button. A chosen name whose extension is not ".pth"
// (in any case) gets ".pth"; a missing file ends silently; a read error is
// shown and leaves paths as they were. circuitDir, the dialogs' start
// folder, becomes the loaded file's folder.
PathLoad OpenCoursePath(Prompts& prompts, QString& circuitDir, CoursePaths& paths);
// Reads a course map found by a search: nothing when the file is gone.
PathLoad LoadFoundCoursePath(const QString& path, Prompts& prompts, QString& circuitDir,
                             CoursePaths& paths);

class CourseCommands {
public:
    // fileDlgOpen is set while a dialog of these commands is open (the
    // keyboard poll stays idle meanwhile); chooser shows the selection dialog.
    CourseCommands(Session& session, CoursePaths& paths, Prompts& prompts, GraphsService& graphs,
                   bool& fileDlgOpen, CircuitChooser chooser)
        : session_(session), paths_(paths), prompts_(prompts), graphs_(graphs),
          fileDlgOpen_(fileDlgOpen), chooser_(std::move(chooser)) {}

    void SpeedButtonPathClick();
    void SpeedButtonPathSaveClick();
    void SpeedButtonMkPthClick();
    void SpeedButtonNClick() { Nudge(PathNudge::North); }
    void SpeedButtonSClick() { Nudge(PathNudge::South); }
    void SpeedButtonWClick() { Nudge(PathNudge::West); }
    void SpeedButtonEClick() { Nudge(PathNudge::East); }
    void SpeedButtonClrPthClick();
    void SpeedButtonSelCircuitClick();

private:
    void Nudge(PathNudge dir);
    // The save dialog with the ".pth" and overwrite rules; empty when
    // nothing is to be written.
    QString AskSavePath(const QString& title);

    Session& session_;
    CoursePaths& paths_;
    Prompts& prompts_;
    GraphsService& graphs_;
    bool& fileDlgOpen_;
    CircuitChooser chooser_;
};

} // namespace vel
