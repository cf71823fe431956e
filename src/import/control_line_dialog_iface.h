#pragma once
// The control-line dialog as the import sees it: the import fills it from
// the log store, shows it modally and cuts with what it leaves behind.
#include <QString>
#include "model/log_store.h"

namespace vel {

struct Session;

// What the import hands the dialog when it opens it.
struct ControlLineDialogInput {
    QString label;       // LabelLogName: LogName cut to 20 bytes
    QString hint;        // the label's hint: the whole LogName
    TLogRect viewRect;   // MbViewRect, the map's first view: LogRect
};

class ControlLineDialog {
public:
    virtual ~ControlLineDialog() = default;

    // Shows the dialog modally over session.logStore, its block list made of
    // the store's LogBlock (one item per block: Title, ticked when Act).
    // While it is open it may change the blocks' Act flags, calling
    // LogStore::SetMbActAndRect after every change, rename blocks and move
    // the samples; the import cuts whatever the store then holds. Returns
    // true when it closed with OK; session.lineChoice then holds the lines
    // and their flags.
    virtual bool Exec(Session& session, const ControlLineDialogInput& input) = 0;
};

} // namespace vel
