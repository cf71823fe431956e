#pragma once
// The "データ" tab: its tool strip, the lap list above the sector table
// "セクタ詳細" and the drift table "ドリフト詳細".
#include <QStringList>
#include <QVector>
#include <QWidget>

class QAction;
class QFrame;
class QMenu;
class QTableView;
class QTableWidget;
class QTabWidget;
class QToolButton;

namespace vel {

class LapListHeaderModel;
class LapListModel;
struct LapRankState;
struct Session;

class DataTab : public QWidget {
    Q_OBJECT
public:
    DataTab(Session& session, const LapRankState& ranking, QWidget* parent = nullptr);

    // Copies the drift table to the clipboard.
    void pmDriftDtClick();
    // Copy the whole lap list, the rows of the shown laps and the sector
    // table to the clipboard.
    void pmAllDtClick();
    void pmSelDtClick();
    void pmSectDtClick();
    // Row 0 of the lap list as shown, with the current sector headers.
    QStringList LapListHeaderTexts() const;
    // The grid row (1 = first data row) of the lap list's current cell, 0 for none.
    int CurrentLapRow() const;

    QToolButton* SpeedButtonLoad;
    QToolButton* SpeedButtonMotec;
    QToolButton* SpeedButtonSvRun;
    QToolButton* SpeedButtonSvAllRun;
    QToolButton* SpeedButtonSvRunSect;
    QToolButton* SpeedButtonClrDt;
    QToolButton* SpeedButtonEdiDataName;
    QToolButton* SpeedButtonGrp;
    QToolButton* SpeedButtonCalSect;
    QTableView* StringGridLapData;
    QTabWidget* PageControl3;   // "セクタ詳細", "ドリフト詳細"
    QTableWidget* StringGridSectData;
    QTableWidget* StringGridDrift;
    QMenu* PopupMenu4;
    QAction* A1;
    QMenu* PopupMenu2;   // on the lap list
    QAction* pmAllDt;
    QAction* pmSelDt;
    QMenu* PopupMenu3;   // on the sector table
    QAction* pmSectDt;
    QFrame* PanelDataTool;
    LapListModel* lapListModel;
    LapListHeaderModel* lapListHeaderModel;

private:
    void SetLapListLayout();
    // Widens columns whose header or data name would be cut.
    void FitLapListColumns();

    Session& session_;
    const LapRankState& ranking_;
};

// The cells of a grid, row by row.
QVector<QStringList> GridRows(const QTableWidget* grid);

} // namespace vel
