#include "app/run_file_commands.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include "common/textfile.h"
#include "import/motec_csv.h"
#include "import/run_loaders.h"
#include "model/lap_file.h"
#include "common/file_names.h"

namespace vel {

namespace {

bool HasCsvSource(const LapRow& row) { return row.Cells[7].toUpper().contains(".CSV"); }

} // namespace

QString SavedRunName(const LapRow& row) {
    QString name = row.Cells[0] + "_" + row.Cells[1] + "_" + row.Cells[4];
    name.replace(':', '_').replace('.', '_');
    return name + ".dtb";
}

void RunFileCommands::Load(const QString& path, RunFileKind kind) {
    const RunReader reader = RunReaderOf(kind);
    if (!reader) return;
    LoadResult r = reader(path, session_, &ranking_);
    if (!r.Error.isEmpty()) prompts_.Error(r.Error);
}

void RunFileCommands::Refresh() {
    ranking_.SetBestLapRank();
    ranking_.SetSectTmList();
    ranking_.SetDriftAngleList();
    if (onRowsChanged) onRowsChanged();
}

void RunFileCommands::SpeedButtonLoadClick() {
    FileDialogSpec dlg;
    dlg.title = "走行データを開く";
    Folders& dirs = session_.folders;
    dlg.folder = dirs.RunOpenDir.isEmpty() ? dirs.DataDir : dirs.RunOpenDir;
    dlg.filters = {RunOpenFilter()};
    dlg.multiSelect = true;
    const QStringList files = prompts_.OpenFiles(dlg);
    if (files.isEmpty()) return;
    dirs.DataDir = FolderOf(files.first());
    dirs.RunOpenDir = dirs.DataDir;
    for (const QString& f : files) Load(f, LoadDispatch(f));
    Refresh();
}

void RunFileCommands::SpeedButtonMotecClick() {
    FileDialogSpec dlg;
    dlg.title = "MoTeCファイル(.csv)を開く";
    Folders& dirs = session_.folders;
    dlg.folder = dirs.RunMotecDir.isEmpty() ? dirs.DocDir : dirs.RunMotecDir;
    dlg.filters = {"MoTeC csvファイル (*.csv)"};
    const QStringList files = prompts_.OpenFiles(dlg);
    if (files.isEmpty()) return;
    const QString f = files.first();
    dirs.RunMotecDir = FolderOf(f);
    if (QFileInfo(f).isFile() && ExtensionOf(f).compare(".csv", Qt::CaseInsensitive) == 0)
        Load(f, RunFileKind::Motec);
    // The new row is ranked by the next command that refreshes the list.
    if (onRowsChanged) onRowsChanged();
}

int RunFileCommands::DropFiles(const QStringList& files, bool dataTabShown) {
    if (!dataTabShown) return 0;
    int taken = 0;
    for (const QString& f : files) {
        const RunFileKind kind = DropDispatch(f);
        if (kind == RunFileKind::Skip) continue;
        Load(f, kind);
        ++taken;
    }
    if (taken > 0) Refresh();
    return taken;
}

bool RunFileCommands::CopyWorkingFile(const LapRow& row, const QString& target) {
    const QString source = FindWorkingFile(session_.folders.TempDir, row.Cells[1]);
    QFile in(source);
    if (!QFileInfo(source).isFile() || in.size() % TLapElmRec::Size != 0) return true;
    if (!in.open(QIODevice::ReadOnly)) {
        prompts_.Error(in.errorString());
        return false;
    }
    const QByteArray bytes = in.readAll();
    if (in.error() != QFileDevice::NoError) {
        prompts_.Error(in.errorString());
        return false;
    }
    QString error;
    if (!WriteFileAtomic(target, bytes, &error)) {
        prompts_.Error(error);
        return false;
    }
    return true;
}

void RunFileCommands::SpeedButtonSvRunClick(int row, bool lapListFocused, bool statusListShown) {
    if (row < 1 || row > session_.lapList.LapStrLstNum() || !lapListFocused) return;
    const LapRow& r = session_.lapList.Rows[row - 1];
    if (r.Cells[1].isEmpty()) return;
    if (!statusListShown && HasCsvSource(r)) {
        prompts_.Inform(CsvRowSaveRefused);
        return;
    }
    FileDialogSpec dlg;
    dlg.title = "走行データに名前を付けて保存";
    Folders& dirs = session_.folders;
    dlg.folder = RunSaveDialogFolder(dirs);
    dlg.fileName = SavedRunName(r);
    dlg.filters = {"Velmaris Data files (*.dtb)"};
    SaveTargetSteps steps;
    steps.chosen = [&dirs](const QString& target) {
        dirs.DataDir = FolderOf(target);
        TakeRunDialogFolder(dirs, dirs.DataDir);
    };
    const QString target = AskSaveTarget(prompts_, dlg, ".dtb", steps);
    if (!target.isEmpty()) CopyWorkingFile(r, target);
}

void RunFileCommands::SpeedButtonSvAllRunClick() {
    const auto& rows = session_.lapList.Rows;
    if (rows.isEmpty() || rows[0].Cells[1].isEmpty()) return;
    for (const LapRow& r : rows) {
        if (HasCsvSource(r)) {
            prompts_.Inform(CsvRowSaveAllRefused);
            return;
        }
    }
    FileDialogSpec dlg;
    dlg.title = "走行データ 一括保存(このフォルダに全走行データを保存)";
    Folders& dirs = session_.folders;
    dlg.folder = dirs.RunSaveAllDir.isEmpty() ? dirs.DataDir : dirs.RunSaveAllDir;
    dlg.fileName = rows[0].Cells[0];
    dlg.filters = {"Velmaris Data files (*.dtb)"};
    // Only the folder of the chosen name counts: each run keeps its own name.
    const QString chosen = prompts_.SaveFile(dlg);
    if (chosen.isEmpty()) return;
    dirs.DataDir = FolderOf(chosen);
    dirs.RunSaveAllDir = dirs.DataDir;
    TakeRunDialogFolder(dirs, dirs.DataDir);
    for (const LapRow& r : rows)
        if (!CopyWorkingFile(r, dirs.DataDir + SavedRunName(r))) return;
}

} // namespace vel
