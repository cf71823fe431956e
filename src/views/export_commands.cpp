#include "views/export_commands.h"

#include <QFileInfo>
#include "common/file_names.h"
#include "common/textfile.h"
#include "model/lap_file.h"
#include "model/session.h"
#include "platform/prompts.h"
#include "platform/shell.h"
#include "platform/timezone.h"
#include "views/export/grid_text.h"
#include "views/export/kml.h"
#include "views/export/lap_csv.h"
#include "views/export/nmea.h"

namespace vel {

namespace {

const QString CsvFilter = QStringLiteral("CSV files (*.csv)");
const QString KmlFilter = QStringLiteral("KLM files (*.kml)");
const QString NmeaFilter = QStringLiteral("NMEAファイル (*.nmea)");
const QString PngFilter = QStringLiteral("PNG files (*.png)");
const QString BmpFilter = QStringLiteral("BMP files (*.bmp)");
const QString AllFilter = QStringLiteral("All files (*)");

QString WriteErrorText(const QString& path, const QString& why) {
    QString t = QStringLiteral("ファイルを保存できませんでした。\n%1").arg(QFileInfo(path).fileName());
    if (!why.isEmpty()) t += QLatin1Char('\n') + why;
    return t;
}

} // namespace

ExportCommands::ExportCommands(Session& session, Prompts& prompts, Shell& shell)
    : session_(session), prompts_(prompts), shell_(shell) {
    timeZoneBias = TimeZoneBiasMinutes;
}

void ExportCommands::SetPicturePane(int id, PicturePane pane) {
    if (id >= 0 && id < int(panes_.size())) panes_[id] = std::move(pane);
}

QString ExportCommands::AskTarget(const QString& title, const QString& filter, const QString& ext,
                                  const QString& fileName, const QString& folder,
                                  const std::function<void(const QString&)>& remember,
                                  const QString& selectedFilter, const QStringList& moreFilters) {
    FileDialogSpec dlg = OneFilterDialog(title, folder, filter);
    dlg.filters << moreFilters;
    dlg.selectedFilter = selectedFilter;
    dlg.fileName = fileName;
    dlg.defaultSuffix = ext.mid(1);
    dlg.confirmOverwrite = true;
    SaveTargetSteps steps;
    steps.chosen = [&](const QString& target) { remember(FolderOf(target)); };
    return AskSaveTarget(prompts_, dlg, ext, steps);
}

QString ExportCommands::WorkingFileOfRow(int gridRow) const {
    const auto& rows = session_.lapList.Rows;
    if (gridRow < 1 || gridRow > rows.size()) return {};
    return FindWorkingFile(session_.folders.TempDir, rows[gridRow - 1].Cells[1]);
}

bool ExportCommands::Write(const QString& path, const QStringList& lines) {
    QString why;
    if (WriteTextLines(path, lines, &why)) return true;
    prompts_.Error(WriteErrorText(path, why));
    return false;
}

QString ExportCommands::AskRowExport(int gridRow, bool gridHasFocus, const QString& title, const QString& filter,
                                     const QString& ext, QString& folder, QVector<TLapElmRec>& recs) {
    const auto& rows = session_.lapList.Rows;
    if (!gridHasFocus || gridRow < 1 || gridRow > rows.size() || rows[gridRow - 1].Cells[1].isEmpty()) return {};
    const LapRow& row = rows[gridRow - 1];
    const QString target = AskTarget(title, filter, ext, row.Cells[0] + QLatin1Char('_') + row.Cells[1] + ext,
                                     folder, [&folder](const QString& dir) { folder = dir; });
    if (target.isEmpty()) return {};
    QString error;
    switch (ReadExportRecords(WorkingFileOfRow(gridRow), recs, &error)) {
    case ExportRead::Ok: return target;
    case ExportRead::Skip: return {};
    case ExportRead::Failed: prompts_.Error(error); return {};
    }
    return {};
}

void ExportCommands::SpeedButtonCsv2Click(int gridRow, bool gridHasFocus) {
    QVector<TLapElmRec> recs;
    const QString target = AskRowExport(gridRow, gridHasFocus, CsvDialogTitle, CsvFilter, QStringLiteral(".csv"),
                                        session_.folders.ExportDir, recs);
    if (target.isEmpty()) return;
    const Settings& s = session_.settings;
    const LapCsvUnits units{s.SpdKmh, s.DistKm, driftPanelOn ? driftPanelOn() : true};
    QString why;
    if (!WriteFileAtomic(target, LapCsvBytes(std::move(recs), units), &why)) {
        prompts_.Error(WriteErrorText(target, why));
        return;
    }
    shell_.OpenWithApplication(target, [this, target](bool opened) {
        if (!opened) prompts_.Error(OpenFailedText(target));
    });
}

void ExportCommands::SpeedButtonNMEAClick(int gridRow, bool gridHasFocus) {
    QVector<TLapElmRec> recs;
    const QString target = AskRowExport(gridRow, gridHasFocus, NmeaDialogTitle, NmeaFilter, QStringLiteral(".nmea"),
                                        session_.folders.NmeaDir, recs);
    if (target.isEmpty()) return;
    Write(target, NmeaLines(recs, timeZoneBias ? timeZoneBias() : 0));
}

void ExportCommands::SpeedButtonGoogleEarthClick() {
    if (!session_.comparison.DispSlot[0].Active) return;
    Folders& f = session_.folders;
    QString target;
    {
        // The keyboard poll waits through the dialog and its question.
        DialogFlag open(session_.FileDlgOpen);
        target = AskTarget(KmlDialogTitle, KmlFilter, QStringLiteral(".kml"), QString(), f.ExportDir,
                           [&f](const QString& dir) { f.ExportDir = dir; });
    }
    if (target.isEmpty()) return;
    const QString name = QFileInfo(target).completeBaseName();
    if (!Write(target, KmlLines(name, session_.loadedLaps, session_.comparison))) return;
    shell_.ShowInFolder(target, [this, folder = QFileInfo(target).absolutePath()](bool opened) {
        if (!opened) prompts_.Error(OpenFailedText(folder));
    });
}

void ExportCommands::SpeedButtonCsvClick(int gridRow, const QStringList& header) {
    const auto& rows = session_.lapList.Rows;
    if (gridRow < 1 || gridRow > rows.size() || rows[gridRow - 1].Cells[1].isEmpty()) return;
    Folders& f = session_.folders;
    const QString target = AskTarget(LapListCsvDialogTitle, CsvFilter, QStringLiteral(".csv"), QString(),
                                     f.ExportDir, [&f](const QString& dir) { f.ExportDir = dir; });
    if (target.isEmpty()) return;
    QVector<QStringList> cells;
    cells.reserve(rows.size());
    for (const LapRow& r : rows) cells << QStringList(r.Cells.begin(), r.Cells.end());
    Write(target, LapListCsvLines(header, cells));
}

QImage ExportCommands::PictureOfPopupSrc() const {
    const int id = PopupSrc >= PaneSpd && PopupSrc <= PaneGraphG ? PopupSrc : PaneGraphDrift;
    const PicturePane& pane = panes_[id];
    return PanePicture(pane.size ? pane.size() : QSize(1, 1), pane.draw);
}

void ExportCommands::SavePicture(PictureFormat format) {
    const bool png = format == PictureFormat::Png;
    Folders& f = session_.folders;
    QString target;
    {
        DialogFlag open(session_.FileDlgOpen);
        target = AskTarget(PictureDialogTitle, PngFilter, png ? QStringLiteral(".png") : QStringLiteral(".bmp"),
                           QString(), f.ExportDir, [&f](const QString& dir) { f.ExportDir = dir; },
                           png ? PngFilter : BmpFilter, {BmpFilter, AllFilter});
    }
    if (target.isEmpty()) return;
    // Drawn after the dialog closed, from the state at this moment.
    QString why;
    if (!WritePicture(PictureOfPopupSrc(), format, target, &why)) prompts_.Error(WriteErrorText(target, why));
}

} // namespace vel
