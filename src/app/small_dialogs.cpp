#include "app/small_dialogs.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include "model/session.h"
#include "platform/prompts.h"

namespace vel {

bool IsForbiddenNameChar(QChar c) {
    switch (c.unicode()) {
    case '"': case '*': case '/': case ':': case '<': case '>': case '?': case '\\': case '|':
        return true;
    default:
        return false;
    }
}

int NameProblemIndex(const QString& name) {
    if (name.isEmpty()) return 0;
    for (int i = 0; i < name.size(); ++i)
        if (IsForbiddenNameChar(name[i])) return i;
    return -1;
}

TOKBottomDlgEdiStr::TOKBottomDlgEdiStr(QWidget* parent) : QDialog(parent) {
    setObjectName("OKBottomDlgEdiStr");
    setModal(true);
    EditStr = new QLineEdit(this);
    EditStr->setObjectName("EditStr");
    QFont f("Tahoma");
    f.setPixelSize(15);
    EditStr->setFont(f);
    EditStr->setMinimumWidth(320);
    auto* l1 = new QLabel("ファイル名に使用できない文字は使えません。", this);
    auto* l2 = new QLabel(" \\ / : * ? \" < > |", this);
    for (QLabel* l : {l1, l2}) l->setStyleSheet("color: red;");
    QDialogButtonBox* buttons = OkCancelButtons(this);
    auto* v = new QVBoxLayout(this);
    v->addWidget(EditStr);
    v->addWidget(l1);
    v->addWidget(l2);
    v->addWidget(buttons);
    setFixedSize(sizeHint());
}

void TOKBottomDlgEdiStr::done(int r) {
    if (r == QDialog::Accepted) {
        const QString text = EditStr->text();
        const int bad = NameProblemIndex(text);
        if (bad >= 0) {
            EditStr->setFocus();
            if (!text.isEmpty()) EditStr->setSelection(bad, 1);
            return;
        }
    }
    QDialog::done(r);
}

TOKBottomDlgVer::TOKBottomDlgVer(QWidget* parent) : QDialog(parent) {
    setObjectName("OKBottomDlgVer");
    setWindowTitle("バージョン情報");
    setModal(true);
    auto* product = new QLabel("Velmaris", this);
    product->setObjectName("ProductName");
    QFont pf = product->font();
    pf.setPointSize(pf.pointSize() + 6);
    pf.setBold(true);
    product->setFont(pf);
    auto* version = new QLabel(VersionText, this);
    version->setObjectName("Version");
    auto* notice = new QLabel("GPSラップロガー用 解析ソフトウェア", this);
    auto* maker = new QLabel("Velmaris Project", this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* v = new QVBoxLayout(this);
    for (QWidget* w : std::initializer_list<QWidget*>{product, version, notice, maker}) v->addWidget(w);
    v->addWidget(buttons);
    setFixedSize(sizeHint());
}

namespace {

// One cell split at the first "/" or "(" into its tab-separated parts.
QString CopyCell(const QString& cell, bool header) {
    auto mark = [header](const QString& s) {
        return header && s.startsWith('-') ? QStringLiteral("'") + s : s;
    };
    const int slash = cell.indexOf('/');
    if (slash >= 0) {
        QString after = cell.mid(slash + 1);
        if (header && after == "-") after = QStringLiteral("'-最大角");
        return mark(cell.left(slash)) + '\t' + after;
    }
    const int open = cell.indexOf('(');
    if (open >= 0) {
        const int close = cell.indexOf(')', open + 1);
        const QString inner = close >= 0 ? cell.mid(open + 1, close - open - 1) : cell.mid(open + 1);
        return mark(cell.left(open)) + '\t' + inner;
    }
    return mark(cell);
}

QString CopyLine(const QStringList& row, int columns, bool header) {
    QString line;
    for (int i = 0; i < columns; ++i) {
        if (i > 0) line += '\t';
        line += CopyCell(i < row.size() ? row[i] : QString(), header);
    }
    return line + "\r\n";
}

} // namespace

QString DriftTableClipboardText(const QVector<QStringList>& rows) {
    constexpr int Columns = 20;
    if (rows.isEmpty()) return {};
    QString text = CopyLine(rows[0], Columns, true);
    for (int r = 1; r < rows.size(); ++r) {
        const QStringList& row = rows[r];
        const bool filled = !row.isEmpty() && !row[0].isEmpty();
        if (r == 1 && !filled) break;
        if (filled) text += CopyLine(row, Columns, false);
    }
    return text;
}

} // namespace vel
