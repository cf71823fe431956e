#pragma once
// Scripted stand-in for the control-line dialog: records what it was given
// and, per opening, ticks blocks, sets the lines and closes with OK or not.
#include <deque>
#include <optional>
#include <vector>
#include <QString>
#include <QStringList>
#include <QVector>
#include "import/control_line_dialog_iface.h"
#include "model/line_choice.h"

namespace vel::test {

class FakeLineDialog : public vel::ControlLineDialog {
public:
    // What one opening saw.
    struct Opening {
        vel::ControlLineDialogInput input;
        QStringList titles;        // the block list
        QVector<bool> ticked;      // its ticks
        vel::TLogRect logRect;     // LogRect at opening
        int32_t logItemNum = 0;
    };
    // What one opening does.
    struct Script {
        bool ok = true;
        std::optional<QVector<bool>> ticks;   // new Act flag per block
        std::optional<vel::LineChoice> lines; // left as they are when none
    };

    std::vector<Opening> openings;
    std::deque<Script> scripts;
    // Openings met with an empty queue; they closed with Cancel.
    int unscripted = 0;

    bool Exec(vel::Session& session, const vel::ControlLineDialogInput& input) override;
};

} // namespace vel::test
