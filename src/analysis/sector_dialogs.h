#pragma once
// The release dialog of the sector lines ("セクタ解除").
#include <array>
#include <QDialog>
#include "analysis/sector_commands.h"

class QCheckBox;

namespace vel {

class TOKBottomDlgRelSect : public QDialog {
    Q_OBJECT
public:
    explicit TOKBottomDlgRelSect(QWidget* parent = nullptr);

    // The boxes of lines beyond sectNum disabled, "すべて解除" ticked when allTicked.
    void Setup(int sectNum, bool allTicked);
    // The ticked boxes, with ok as given.
    SectRelease Result(bool ok) const;

    QCheckBox* CheckBoxAll;
    std::array<QCheckBox*, MaxSectLines> CheckBoxSect;
};

// Shows the dialog modally over parent.
SectReleaseAsk QtSectReleaseAsk(QWidget* parent);

} // namespace vel
