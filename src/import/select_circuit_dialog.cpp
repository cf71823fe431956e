#include "import/select_circuit_dialog.h"
#include "platform/prompts.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace vel {

namespace {

QListWidget* AddColumn(QWidget* parent, QHBoxLayout* row, const QString& caption,
                       const QString& objectName) {
    auto* column = new QVBoxLayout;
    auto* label = new QLabel(caption, parent);
    auto* list = new QListWidget(parent);
    list->setObjectName(objectName);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    column->addWidget(label);
    column->addWidget(list);
    row->addLayout(column);
    return list;
}

void Fill(QListWidget* list, const QStringList& names, bool used) {
    list->clear();
    if (used) list->addItems(names);
    list->addItem(SelCircuitNone);
    list->setCurrentRow(0);
    list->setEnabled(used);
}

// Index of the candidate picked in a list of count candidates; -1 for the
// "-- NONE --" entry or no selection.
int Picked(const QListWidget* list, int count) {
    if (!list->isEnabled()) return -1;
    const int row = list->currentRow();
    return row >= 0 && row < count ? row : -1;
}

} // namespace

TSelCircuitDlg::TSelCircuitDlg(QWidget* parent) : QDialog(parent) {
    setObjectName("SelCircuitDlg");
    setWindowTitle("サーキット選択");
    setModal(true);
    auto* lists = new QHBoxLayout;
    ListBoxPth = AddColumn(this, lists, "コース図", "ListBoxPth");
    ListBoxCln = AddColumn(this, lists, "コントロールライン", "ListBoxCln");
    ListBoxSect = AddColumn(this, lists, "セクタ", "ListBoxSect");
    QDialogButtonBox* buttons = OkCancelButtons(this);
    auto* v = new QVBoxLayout(this);
    v->addLayout(lists);
    v->addWidget(buttons);
    resize(640, 320);
    SetLists({});
}

void TSelCircuitDlg::SetLists(const SelCircuitLists& lists) {
    Fill(ListBoxPth, lists.pth, lists.usePth);
    Fill(ListBoxCln, lists.cln, lists.useCln);
    Fill(ListBoxSect, lists.sci, lists.useSci);
}

SelCircuitChoice TSelCircuitDlg::Choice(bool ok) const {
    SelCircuitChoice c;
    c.ok = ok;
    if (!ok) return c;
    // The "-- NONE --" entry is last, so a list's candidates are count - 1.
    c.pth = Picked(ListBoxPth, ListBoxPth->count() - 1);
    c.cln = Picked(ListBoxCln, ListBoxCln->count() - 1);
    c.sci = Picked(ListBoxSect, ListBoxSect->count() - 1);
    return c;
}

SelCircuitChoice ShowSelCircuitDlg(QWidget* parent, const SelCircuitLists& lists) {
    QPointer<TSelCircuitDlg> dlg = new TSelCircuitDlg(parent);
    dlg->SetLists(lists);
    const bool ok = dlg->exec() == QDialog::Accepted;
    SelCircuitChoice c;
    if (dlg) c = dlg->Choice(ok);
    delete dlg;
    return c;
}

CircuitChooser QtCircuitChooser(QWidget* parent) {
    return [parent](const SelCircuitLists& lists) { return ShowSelCircuitDlg(parent, lists); };
}

} // namespace vel
