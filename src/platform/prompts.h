#pragma once
// Message boxes and file dialogs behind one interface, so command flows can
// be tested with scripted answers.
#include <functional>
#include <QString>
#include <QStringList>

class QDialog;
class QDialogButtonBox;
class QWidget;

namespace vel {

enum class Answer { Ok, Cancel, Yes, No };

struct FileDialogSpec {
    QString title;
    QString folder;          // start folder
    QString fileName;        // proposed name (save)
    QStringList filters;     // e.g. "走行データ (*.dtb)"
    QString defaultSuffix;   // forced extension without dot, e.g. "dtb"
    bool multiSelect = false;
    QString selectedFilter;  // one of filters, chosen at opening; empty: the first
    // Save: the dialog asks itself before a name it shows is overwritten;
    // the caller asks only about a name it changed afterwards.
    bool confirmOverwrite = false;
};

// A file dialog with its title, start folder and one filter.
FileDialogSpec OneFilterDialog(const QString& title, const QString& folder, const QString& filter);

class Prompts {
public:
    virtual ~Prompts() = default;
    virtual void Inform(const QString& text) = 0;                 // information box, OK
    virtual void Warn(const QString& text) = 0;                   // warning box, OK
    virtual void Error(const QString& text) = 0;                  // error box, OK
    virtual Answer AskYesNo(const QString& text) = 0;             // question box, Yes / No
    virtual Answer AskOkCancel(const QString& text) = 0;          // question box, OK / Cancel
    virtual Answer AskYesCancel(const QString& text) = 0;         // question box, Yes / Cancel
    virtual Answer WarnYesNo(const QString& text) = 0;            // warning box, Yes / No
    // Empty list when cancelled.
    virtual QStringList OpenFiles(const FileDialogSpec& dlg) = 0;
    // Empty when cancelled. The default suffix is forced when the typed name
    // lacks it. Unless confirmOverwrite is set it does not ask about
    // overwriting: callers ask with OverwriteQuestion through WarnYesNo.
    virtual QString SaveFile(const FileDialogSpec& dlg) = 0;
};

// Real dialogs (QMessageBox, QFileDialog) owned by a parent window.
class QtPrompts : public Prompts {
public:
    explicit QtPrompts(QWidget* parent) : parent_(parent) {}
    void Inform(const QString& text) override;
    void Warn(const QString& text) override;
    void Error(const QString& text) override;
    Answer AskYesNo(const QString& text) override;
    Answer AskOkCancel(const QString& text) override;
    Answer AskYesCancel(const QString& text) override;
    Answer WarnYesNo(const QString& text) override;
    QStringList OpenFiles(const FileDialogSpec& dlg) override;
    QString SaveFile(const FileDialogSpec& dlg) override;
private:
    QWidget* parent_;
};

// name with "." + suffix appended unless it already ends with that
// extension (compared case-insensitively); an empty suffix leaves it alone.
QString WithDefaultSuffix(const QString& name, const QString& suffix);

// The "OK" (default) and "キャンセル" buttons of a dialog, wired to accept and reject.
QDialogButtonBox* OkCancelButtons(QDialog* dialog);

// Set for the life of a dialog (FileDlgOpen while a command's dialog is open).
class DialogFlag {
public:
    explicit DialogFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ~DialogFlag() { flag_ = false; }
    DialogFlag(const DialogFlag&) = delete;
    DialogFlag& operator=(const DialogFlag&) = delete;
private:
    bool& flag_;
};

// The overwrite question of save dialogs: name + " は既に存在します。\r上書きしますか?"
QString OverwriteQuestion(const QString& path);

// What a caller of AskSaveTarget does around the questions.
struct SaveTargetSteps {
    // Set while the file dialog is open (FileDlgOpen).
    bool* dialogOpen = nullptr;
    // Runs as the file dialog closes, whether a name was chosen or not.
    std::function<void()> dialogClosed;
    // Runs with the target once a name is chosen, before the overwrite
    // question: what is taken from the choice (its folder) stays taken even
    // when overwriting is declined.
    std::function<void(const QString& target)> chosen;
};

// The save recipe: the save dialog, then extension ext (with its dot, e.g.
// ".dtb") forced unless the chosen name ends with it exactly (case counts:
// "a.DTB" becomes "a.dtb"), then the overwrite question for an existing
// file. A dialog with confirmOverwrite has asked about the name it returned,
// so the question then comes only when the extension was replaced. Returns
// the file to write, or empty when the dialog was cancelled or overwriting
// declined.
QString AskSaveTarget(Prompts& prompts, const FileDialogSpec& dlg, const QString& ext,
                      const SaveTargetSteps& steps = {});

} // namespace vel
