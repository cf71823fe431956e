#include "platform/prompts.h"

#include <QDialog>
#include <QPushButton>
#include <QDialogButtonBox>
#include <QAbstractButton>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include "common/file_names.h"

namespace vel {

namespace {

const QString kTitle = QStringLiteral("Velmaris");

// Messages use '\r' as the line break; a label only breaks on '\n'.
QString DisplayText(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace('\r', '\n');
    return text;
}

QMessageBox::StandardButton ShowBox(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                                    QMessageBox::StandardButtons buttons,
                                    QMessageBox::StandardButton defaultButton) {
    QMessageBox box(icon, kTitle, DisplayText(text), buttons, parent);
    // File names may hold '<' and '&'; never read them as markup.
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(defaultButton);
    if (auto* b = box.button(QMessageBox::Ok)) b->setText(QStringLiteral("OK"));
    if (auto* b = box.button(QMessageBox::Cancel)) b->setText(QStringLiteral("キャンセル"));
    if (auto* b = box.button(QMessageBox::Yes)) b->setText(QStringLiteral("はい"));
    if (auto* b = box.button(QMessageBox::No)) b->setText(QStringLiteral("いいえ"));
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void SetUpDialog(QFileDialog& dlg, const FileDialogSpec& ask) {
    dlg.setWindowTitle(ask.title.isEmpty() ? kTitle : ask.title);
    if (!ask.folder.isEmpty()) dlg.setDirectory(ask.folder);
    if (!ask.filters.isEmpty()) dlg.setNameFilters(ask.filters);
    if (!ask.selectedFilter.isEmpty()) dlg.selectNameFilter(ask.selectedFilter);
}

} // namespace

void QtPrompts::Inform(const QString& text) {
    ShowBox(parent_, QMessageBox::Information, text, QMessageBox::Ok, QMessageBox::Ok);
}

void QtPrompts::Warn(const QString& text) {
    ShowBox(parent_, QMessageBox::Warning, text, QMessageBox::Ok, QMessageBox::Ok);
}

void QtPrompts::Error(const QString& text) {
    ShowBox(parent_, QMessageBox::Critical, text, QMessageBox::Ok, QMessageBox::Ok);
}

Answer QtPrompts::AskYesNo(const QString& text) {
    const auto b = ShowBox(parent_, QMessageBox::Question, text,
                           QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    return b == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

Answer QtPrompts::AskOkCancel(const QString& text) {
    const auto b = ShowBox(parent_, QMessageBox::Question, text,
                           QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok);
    return b == QMessageBox::Ok ? Answer::Ok : Answer::Cancel;
}

Answer QtPrompts::AskYesCancel(const QString& text) {
    const auto b = ShowBox(parent_, QMessageBox::Question, text,
                           QMessageBox::Yes | QMessageBox::Cancel, QMessageBox::Yes);
    return b == QMessageBox::Yes ? Answer::Yes : Answer::Cancel;
}

Answer QtPrompts::WarnYesNo(const QString& text) {
    const auto b = ShowBox(parent_, QMessageBox::Warning, text,
                           QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    return b == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

QStringList QtPrompts::OpenFiles(const FileDialogSpec& ask) {
    QFileDialog dlg(parent_);
    SetUpDialog(dlg, ask);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(ask.multiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    if (!ask.fileName.isEmpty()) dlg.selectFile(ask.fileName);
    if (dlg.exec() != QDialog::Accepted) return {};
    return dlg.selectedFiles();
}

QString QtPrompts::SaveFile(const FileDialogSpec& ask) {
    QFileDialog dlg(parent_);
    SetUpDialog(dlg, ask);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    if (ask.confirmOverwrite) {
        // The dialog appends the suffix to a bare name and asks about the
        // name it returns; the caller asks only about a name it changes.
        dlg.setDefaultSuffix(ask.defaultSuffix);
    } else {
        // Callers ask themselves, with their own wording.
        dlg.setOption(QFileDialog::DontConfirmOverwrite);
    }
    if (!ask.fileName.isEmpty()) dlg.selectFile(ask.fileName);
    if (dlg.exec() != QDialog::Accepted) return {};
    const QStringList files = dlg.selectedFiles();
    if (files.isEmpty() || files.first().isEmpty()) return {};
    if (ask.confirmOverwrite) return files.first();
    return WithDefaultSuffix(files.first(), ask.defaultSuffix);
}

QString WithDefaultSuffix(const QString& name, const QString& suffix) {
    QString ext = suffix;
    while (ext.startsWith('.')) ext.remove(0, 1);
    if (ext.isEmpty() || name.isEmpty()) return name;
    const QString fileName = QFileInfo(name).fileName();
    if (fileName.isEmpty()) return name;   // a folder, not a file name
    if (fileName.endsWith('.' + ext, Qt::CaseInsensitive)) return name;
    return name.endsWith('.') ? name + ext : name + '.' + ext;
}

QString OverwriteQuestion(const QString& path) {
    return path + QStringLiteral(" は既に存在します。\r上書きしますか?");
}

QDialogButtonBox* OkCancelButtons(QDialog* dialog) {
    auto* buttons = new QDialogButtonBox(dialog);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

QString AskSaveTarget(Prompts& prompts, const FileDialogSpec& dlg, const QString& ext,
                      const SaveTargetSteps& steps) {
    QString chosen;
    {
        bool unused = false;
        DialogFlag flag(steps.dialogOpen ? *steps.dialogOpen : unused);
        chosen = prompts.SaveFile(dlg);
    }
    if (steps.dialogClosed) steps.dialogClosed();
    if (chosen.isEmpty()) return {};
    const bool replaced = ExtensionOf(chosen) != ext;
    const QString target = replaced ? ChangeExt(chosen, ext) : chosen;
    if (steps.chosen) steps.chosen(target);
    if ((replaced || !dlg.confirmOverwrite) && QFileInfo::exists(target) &&
        prompts.WarnYesNo(OverwriteQuestion(QFileInfo(target).fileName())) != Answer::Yes)
        return {};
    return target;
}

FileDialogSpec OneFilterDialog(const QString& title, const QString& folder, const QString& filter) {
    FileDialogSpec dlg;
    dlg.title = title;
    dlg.folder = folder;
    dlg.filters = {filter};
    return dlg;
}

} // namespace vel
