#pragma once
// The selection dialog of the course, control-line and sector searches.
#include <QDialog>
#include "model/catalogue.h"

class QListWidget;

namespace vel {

// The entry after the candidates of a list, and the only entry of a list
// that is not used.
inline const QString SelCircuitNone = QStringLiteral("-- NONE --");

class TSelCircuitDlg : public QDialog {
    Q_OBJECT
public:
    explicit TSelCircuitDlg(QWidget* parent = nullptr);

    // Fills each used list with its names and "-- NONE --", the first entry
    // selected; a list not used holds only "-- NONE --" and is disabled.
    void SetLists(const SelCircuitLists& lists);
    // The candidate each list's selected entry picks, with ok as given.
    SelCircuitChoice Choice(bool ok) const;

    QListWidget* ListBoxPth;
    QListWidget* ListBoxCln;
    QListWidget* ListBoxSect;
};

// Shows the dialog modally over parent.
SelCircuitChoice ShowSelCircuitDlg(QWidget* parent, const SelCircuitLists& lists);
// A chooser that shows the real dialog.
CircuitChooser QtCircuitChooser(QWidget* parent);

} // namespace vel
