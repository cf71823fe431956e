#include "support/fake_line_dialog.h"

#include "model/session.h"

namespace vel::test {

bool FakeLineDialog::Exec(vel::Session& session, const vel::ControlLineDialogInput& input) {
    vel::LogStore& st = session.logStore;
    Opening seen;
    seen.input = input;
    for (const vel::TLogBlock& b : st.LogBlock) {
        seen.titles << b.Title;
        seen.ticked << b.Act;
    }
    seen.logRect = st.LogRect;
    seen.logItemNum = st.LogItemNum;
    openings.push_back(seen);

    if (scripts.empty()) {
        ++unscripted;
        return false;
    }
    const Script s = scripts.front();
    scripts.pop_front();
    if (s.ticks) {
        // One tick at a time, as the list does it.
        for (qsizetype i = 0; i < s.ticks->size() && i < st.LogBlock.size(); ++i) {
            st.LogBlock[i].Act = (*s.ticks)[i];
            st.SetMbActAndRect();
        }
    }
    if (s.lines) session.lineChoice = *s.lines;
    return s.ok;
}

} // namespace vel::test
