#pragma once
// The export buttons on the tool strips and the picture menu of the graph
// panes, wired to the export commands.
#include <functional>
#include <QPoint>

class QAction;
class QMenu;
class QToolButton;
class QWidget;

namespace vel {

class ExportCommands;
class GraphTab;

struct ExportButtons {
    QToolButton* SpeedButtonGoogleEarth = nullptr;   // graph tab's tool strip
    QToolButton* SpeedButtonCsv2 = nullptr;          // lap-list tool strip
    QToolButton* SpeedButtonNMEA = nullptr;
    QToolButton* SpeedButtonCsv = nullptr;
};

// Puts the KML button on the graph tab's tool strip and the per-lap CSV,
// NMEA and lap-list CSV buttons on dataStrip (the "データ" tab's tool strip),
// each before the strip's trailing stretch. Not connected: the caller wires
// them, since the lap list's current row lives with the data tab.
ExportButtons AddExportButtons(GraphTab& graph, QWidget* dataStrip);

// PopupMenu1: "&PNGで保存" (pmJPEG) and "&BMPで保存" (pmBMP), triggering the
// picture commands.
struct PictureMenu {
    QMenu* PopupMenu1 = nullptr;
    QAction* pmJPEG = nullptr;
    QAction* pmBMP = nullptr;
};
PictureMenu MakePictureMenu(QWidget* parent, ExportCommands& commands);

// Right-clicking pane opens the picture menu for pane id (a PicturePaneId),
// when allowed (if given) says so at that moment.
void InstallPictureMenu(QWidget* pane, int id, const PictureMenu& menu, ExportCommands& commands,
                        std::function<bool()> allowed = {});

} // namespace vel
