#include "platform/shell.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace vel {

namespace {

// Only these are addresses; anything else, "C:" or "lap:1.dtb" included, is
// a file name.
bool IsAddress(const QString& s, QUrl* url) {
    if (s.startsWith('/')) return false;
    const QUrl u(s, QUrl::StrictMode);
    if (!u.isValid()) return false;
    const QString scheme = u.scheme().toLower();
    if (scheme != "http" && scheme != "https" && scheme != "mailto" && scheme != "file")
        return false;
    *url = u;
    return true;
}

} // namespace

QString OpenerArgument(const QString& pathOrUrl) {
    if (pathOrUrl.trimmed().isEmpty()) return {};
    QUrl url;
    if (IsAddress(pathOrUrl.trimmed(), &url)) {
        if (url.isLocalFile() && !QFileInfo::exists(url.toLocalFile())) return {};
        return url.toString(QUrl::FullyEncoded);
    }
    const QFileInfo fi(pathOrUrl);
    if (!fi.exists()) return {};
    return QUrl::fromLocalFile(fi.absoluteFilePath()).toString(QUrl::FullyEncoded);
}

QString OpenFailedText(const QString& pathOrUrl) {
    return QStringLiteral("ファイルを開けませんでした。\r") + QDir::toNativeSeparators(pathOrUrl);
}

QString FolderOpenerArgument(const QString& path) {
    if (path.trimmed().isEmpty()) return {};
    const QString folder = QFileInfo(path).absolutePath();
    if (!QFileInfo(folder).isDir()) return {};
    return QUrl::fromLocalFile(folder).toString(QUrl::FullyEncoded);
}

SystemShell::SystemShell() : openers_(std::make_unique<QObject>()) {}

SystemShell::~SystemShell() {
    // An opener may run as long as the application it started (xdg-open
    // waits for it on some desktops). It is ended without a word; what it
    // started goes on, its output not tied to this process.
    for (QProcess* p : openers_->findChildren<QProcess*>(Qt::FindDirectChildrenOnly)) {
        QObject::disconnect(p, nullptr, nullptr, nullptr);
        p->kill();
        p->waitForFinished();
    }
}

void SystemShell::OpenWithApplication(const QString& path, OpenDone done) {
    RunOpener(OpenerArgument(path), std::move(done));
}

void SystemShell::ShowInFolder(const QString& path, OpenDone done) {
    RunOpener(FolderOpenerArgument(path), std::move(done));
}

void SystemShell::RunOpener(const QString& arg, OpenDone done) {
    if (arg.isEmpty()) {
        if (done) done(false);
        return;
    }
    // QDesktopServices::openUrl says true as soon as xdg-open has started,
    // before it knows whether any application takes the file: the exit
    // status (0 opened; 3 no application, 4 failed...) is the answer.
    auto* p = new QProcess(openers_.get());
    p->setProgram(QStringLiteral("xdg-open"));
    p->setArguments({arg});
    p->setStandardInputFile(QProcess::nullDevice());
    p->setStandardOutputFile(QProcess::nullDevice());
    p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    auto finish = [p, done](bool opened) {
        QObject::disconnect(p, nullptr, nullptr, nullptr);
        p->deleteLater();
        if (done) done(opened);
    };
    QObject::connect(p, &QProcess::finished, p, [p, finish](int code, QProcess::ExitStatus status) {
        finish(status == QProcess::NormalExit && code == 0);
    });
    QObject::connect(p, &QProcess::errorOccurred, p, [finish](QProcess::ProcessError e) {
        // Other errors are followed by finished().
        if (e == QProcess::FailedToStart) finish(false);
    });
    p->start();
}

} // namespace vel
