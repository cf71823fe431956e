#pragma once
// The download range dialog of a large QK3 memory: a scale of 1 MiB ticks
// with the used part in blue and two markers, start above and end below.
#include <QDialog>
#include "logger/logger_requests.h"

namespace vel {

class RangeScale;

class TLoadRangeSelDlg : public QDialog {
    Q_OBJECT
public:
    explicit TLoadRangeSelDlg(const LoadRange& range, QWidget* parent = nullptr);
    LoadRange range;
    QWidget* PaintBox1;
};

// Runs the dialog; true with range updated when closed with OK.
bool RunLoadRangeDialog(LoadRange& range, QWidget* parent);

} // namespace vel
