#pragma once
// The name dialog, the About box and the drift-table text for the clipboard.
#include <QDialog>
#include <QString>
#include <QStringList>
#include <QVector>

class QLineEdit;

namespace vel {

// Characters a file name may not hold: " * / : < > ? \ |
bool IsForbiddenNameChar(QChar c);
// -1 when the name is acceptable; else the index of the character to select
// (the first forbidden one), or 0 for an empty name.
int NameProblemIndex(const QString& name);

class TOKBottomDlgEdiStr : public QDialog {
    Q_OBJECT
public:
    explicit TOKBottomDlgEdiStr(QWidget* parent = nullptr);
    QLineEdit* EditStr;
    // Closing with OK is refused, silently, for an empty name or one with a
    // forbidden character (which is then selected).
    void done(int r) override;
};

class TOKBottomDlgVer : public QDialog {
    Q_OBJECT
public:
    explicit TOKBottomDlgVer(QWidget* parent = nullptr);
};

// The help documents of the help menu, in HelpDir.
inline const QString HelpManualPdf = QStringLiteral("velmaris4jhelp.pdf");
inline const QString HelpVideoLinkPdf = QStringLiteral("velmrvideolinkjhelp.pdf");
inline const QString HelpDriftPdf = QStringLiteral("velmrdrifthelp.pdf");
inline const QString MakerWebPage = QStringLiteral("https://www.velmaris.jp/");

// The drift table (row 0 the headers) as tab-separated lines for the clipboard.
QString DriftTableClipboardText(const QVector<QStringList>& rows);

} // namespace vel
