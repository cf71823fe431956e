#include "import/course_commands.h"

#include <optional>
#include <QFileInfo>
#include "common/textfile.h"
#include "common/file_names.h"

namespace vel {

namespace {

const QString PthExt = QStringLiteral(".pth");

FileDialogSpec CourseDialog(const QString& title, const QString& folder) {
    return OneFilterDialog(title, folder, CoursePathFilter);
}

PathLoad ReadInto(const QString& path, Prompts& prompts, QString& circuitDir, CoursePaths& paths) {
    circuitDir = FolderOf(path);
    QString error;
    if (!ReadCoursePathFile(path, paths, &error)) {
        prompts.Error(error);
        return PathLoad::Failed;
    }
    return PathLoad::Loaded;
}

// The open dialog; the chosen name with the ".pth" rule, empty on Cancel.
QString ChooseCoursePath(Prompts& prompts, const QString& circuitDir) {
    const QStringList files = prompts.OpenFiles(CourseDialog(CoursePathOpenTitle, circuitDir));
    if (files.isEmpty() || files.first().isEmpty()) return {};
    const QString& path = files.first();
    // A file named "X.PTH" opens as it is named.
    if (ExtensionOf(path).compare(PthExt, Qt::CaseInsensitive) == 0) return path;
    return ChangeExt(path, PthExt);
}

} // namespace

PathLoad OpenCoursePath(Prompts& prompts, QString& circuitDir, CoursePaths& paths) {
    const QString path = ChooseCoursePath(prompts, circuitDir);
    if (path.isEmpty()) return PathLoad::Cancelled;
    return LoadFoundCoursePath(path, prompts, circuitDir, paths);
}

PathLoad LoadFoundCoursePath(const QString& path, Prompts& prompts, QString& circuitDir,
                             CoursePaths& paths) {
    if (path.isEmpty() || !QFileInfo(path).isFile()) return PathLoad::Missing;
    return ReadInto(path, prompts, circuitDir, paths);
}

void CourseCommands::SpeedButtonPathClick() {
    QString path;
    {
        DialogFlag flag(fileDlgOpen_);
        path = ChooseCoursePath(prompts_, session_.folders.CircuitDir);
    }
    if (path.isEmpty()) return;
    if (LoadFoundCoursePath(path, prompts_, session_.folders.CircuitDir, paths_) == PathLoad::Loaded)
        graphs_.CourseMapChanged();
}

QString CourseCommands::AskSavePath(const QString& title) {
    SaveTargetSteps steps;
    steps.chosen = [this](const QString& target) { session_.folders.CircuitDir = FolderOf(target); };
    return AskSaveTarget(prompts_, CourseDialog(title, session_.folders.CircuitDir), PthExt, steps);
}

void CourseCommands::SpeedButtonPathSaveClick() {
    if (paths_.CoursePathNum <= 0) return;
    DialogFlag flag(fileDlgOpen_);
    const QString target = AskSavePath(CoursePathSaveTitle);
    if (target.isEmpty()) return;
    QString error;
    if (!WriteCoursePathFile(target, paths_, &error)) prompts_.Error(error);
}

void CourseCommands::SpeedButtonMkPthClick() {
    const LoadedLaps& laps = session_.loadedLaps;
    if (laps.LapDtNum < 2 || laps.LapDt.size() < 2) return;
    const QStringList lines = MakeCoursePathLines(laps);
    if (lines.isEmpty()) return;   // neither lap has a sample
    if (prompts_.AskYesNo(CoursePathMakeQuestion) != Answer::Yes) return;
    DialogFlag flag(fileDlgOpen_);
    const QString target = AskSavePath(CoursePathMakeTitle);
    if (target.isEmpty()) return;
    QString error;
    if (!WriteTextLines(target, lines, &error)) prompts_.Error(error);
}

void CourseCommands::Nudge(PathNudge dir) {
    if (NudgeCoursePath(paths_, dir, session_.comparison.CurIdo)) graphs_.CourseMapChanged();
}

void CourseCommands::SpeedButtonClrPthClick() {
    if (paths_.CoursePathNum <= 0) return;
    ClearCoursePath(paths_);
    graphs_.CourseMapChanged();
}

void CourseCommands::SpeedButtonSelCircuitClick() {
    const LoadedLaps& laps = session_.loadedLaps;
    if (laps.LapDtNum < 1 || laps.LapDt.isEmpty()) return;
    const TLapDtRec& ref = laps.LapDt[0];
    if (ref.ElmNum < 1 || ref.Elm.isEmpty()) return;
    Catalogue& cat = session_.catalogue;
    const long double ido = ref.Elm[0].Ido;
    const long double kdo = ref.Elm[0].Kdo;
    CalPthGap(cat, kdo, ido);
    CalClnGap(cat, kdo, ido);
    SetSelCirLstPth(cat, SelCircuitRadiusKm);
    SetSelCirLstCln(cat, SelCircuitRadiusKm);
    const QVector<TSelCirDat>& found = cat.SelCirLstPth;
    if (found.isEmpty()) {
        prompts_.Inform(CourseNotFound);
        return;
    }
    std::optional<DialogFlag> flag;
    int pick = 0;
    if (found.size() > 1) {
        flag.emplace(fileDlgOpen_);
        SelCircuitLists lists;
        lists.pth = CandidateNames(found);
        lists.usePth = true;
        const SelCircuitChoice c = chooser_ ? chooser_(lists) : SelCircuitChoice();
        if (!c.ok || c.pth < 0 || c.pth >= found.size()) return;
        pick = c.pth;
    }
    const QString path = CandidatePath(found, cat.PthDat, pick);
    if (!path.isEmpty()) LoadFoundCoursePath(path, prompts_, session_.folders.CircuitDir, paths_);
    graphs_.CourseMapChanged();
}

} // namespace vel
