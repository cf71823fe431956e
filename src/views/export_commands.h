#pragma once
// The export commands: per-lap CSV, KML of the shown laps, NMEA, the
// lap-list CSV and pictures of the graph panes. Each asks for a file name
// through the prompts, writes the file atomically and, for the CSV and the
// KML, hands the file to the desktop.
#include <array>
#include <functional>
#include <QSize>
#include <QString>
#include <QStringList>
#include "common/records.h"
#include "views/export/picture.h"

namespace vel {

class Prompts;
class Shell;
struct Session;

// PopupSrc values: the pane whose right click opened the picture menu.
enum PicturePaneId { PaneSpd = 0, PaneGraph = 1, PaneZoom = 2, PaneGraphG = 3, PaneGraphDrift = 4 };

// What the picture export needs of a pane: its client size and its picture
// routine, drawing from the current state into a white image of that size.
struct PicturePane {
    std::function<QSize()> size;
    PaneDraw draw;
};

class ExportCommands {
public:
    ExportCommands(Session& session, Prompts& prompts, Shell& shell);

    // The lap list's current grid row (1 = first data row) and whether the
    // grid has the input focus; nothing happens without both.
    void SpeedButtonCsv2Click(int gridRow, bool gridHasFocus);
    void SpeedButtonNMEAClick(int gridRow, bool gridHasFocus);
    // Nothing happens without a reference lap.
    void SpeedButtonGoogleEarthClick();
    // header: the lap list's row 0 as shown.
    void SpeedButtonCsvClick(int gridRow, const QStringList& header);
    void pmJPEGClick() { SavePicture(PictureFormat::Png); }
    void pmBMPClick() { SavePicture(PictureFormat::Bmp); }

    // Sets the picture routine of pane id (a PicturePaneId).
    void SetPicturePane(int id, PicturePane pane);
    // The picture of the pane PopupSrc picks (any value not 0 to 3 the drift view).
    QImage PictureOfPopupSrc() const;

    int PopupSrc = 0;
    // PanelDrift is on (a drifting lap's CSV gets the angle column).
    std::function<bool()> driftPanelOn = [] { return true; };
    // Time-zone bias in minutes (UTC = local + bias), read once per NMEA export.
    std::function<int()> timeZoneBias;

private:
    void SavePicture(PictureFormat format);
    // The save recipe of the exports; remember sets the folder the dialog
    // remembers. Empty when cancelled or declined.
    QString AskTarget(const QString& title, const QString& filter, const QString& ext, const QString& fileName,
                      const QString& folder, const std::function<void(const QString&)>& remember,
                      const QString& selectedFilter = {}, const QStringList& moreFilters = {});
    QString WorkingFileOfRow(int gridRow) const;
    // The save dialog of a row's export (proposed name column 0 + "_" +
    // column 1 + ext, folder remembered) and the row's records; empty when
    // there is nothing to write.
    QString AskRowExport(int gridRow, bool gridHasFocus, const QString& title, const QString& filter,
                         const QString& ext, QString& folder, QVector<TLapElmRec>& recs);
    bool Write(const QString& path, const QStringList& lines);

    Session& session_;
    Prompts& prompts_;
    Shell& shell_;
    std::array<PicturePane, 5> panes_{};
};

// Dialog titles and filters of the exports.
inline const QString CsvDialogTitle = QStringLiteral("走行データをCSVファイルとして保存");
inline const QString KmlDialogTitle = QStringLiteral("走行ラインをグーグルアースファイルとして保存");
inline const QString NmeaDialogTitle = QStringLiteral("走行データからMNEAファイルを出力");
inline const QString PictureDialogTitle = QStringLiteral("グラフを画像として保存");
inline const QString LapListCsvDialogTitle = QStringLiteral("走行データ一覧をCSVファイルとして保存");

} // namespace vel
