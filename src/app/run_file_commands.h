#pragma once
// The "データ" tab's commands that bring runs into the lap list and save
// them as run files.
#include <functional>
#include <QString>
#include <QStringList>
#include "import/run_formats.h"
#include "model/services.h"
#include "model/session.h"
#include "platform/prompts.h"

namespace vel {

// lap name + "_" + number + "_" + lap time, ":" and "." made "_", + ".dtb".
QString SavedRunName(const LapRow& row);

inline const QString CsvRowSaveRefused =
    QStringLiteral("CSVファイルデータを\r走行データとして出力することはできません。");
inline const QString CsvRowSaveAllRefused =
    QStringLiteral("CSVファイルデータが含まれています。\r走行データ一括保存を実行できません。");

class RunFileCommands {
public:
    RunFileCommands(Session& session, Prompts& prompts, RankingService& ranking)
        : session_(session), prompts_(prompts), ranking_(ranking) {}

    // Runs after rows were added (the window repaints the lap list).
    std::function<void()> onRowsChanged;

    void SpeedButtonLoadClick();
    void SpeedButtonMotecClick();
    // Files dropped on the window; taken only while the "データ" tab shows.
    // Returns how many were taken.
    int DropFiles(const QStringList& files, bool dataTabShown);
    // grid row r (1 = first data row); nothing unless the lap list has the focus.
    void SpeedButtonSvRunClick(int row, bool lapListFocused, bool statusListShown);
    void SpeedButtonSvAllRunClick();

private:
    void Load(const QString& path, RunFileKind kind);
    void Refresh();
    // Byte copy of a row's working file; false after an error was shown.
    bool CopyWorkingFile(const LapRow& row, const QString& target);

    Session& session_;
    Prompts& prompts_;
    RankingService& ranking_;
};

} // namespace vel
