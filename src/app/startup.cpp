#include "app/startup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include "analysis/display_slots.h"
#include "common/textfile.h"
#include "model/lap_file.h"
#include "platform/timezone.h"

namespace vel {

bool CheckVersionMarker(const Folders& folders, QStringList& errors) {
    const QString leftover = folders.UserDir + VersionMarkerName;
    if (QFile::exists(leftover) && !QFile::remove(leftover))
        errors << QStringLiteral("%1 を削除できません。").arg(QDir::toNativeSeparators(leftover));

    const QString marker = folders.ShareDir + VersionMarkerName;
    // Anything but a regular file is not opened (a pipe would wait for a
    // writer for good) and is replaced like a missing marker.
    if (QFileInfo(marker).isFile()) {
        QStringList lines;   // the first line alone
        if (ReadTextLinesUntil(marker, [&lines](const QString& l) { lines << l; return false; }) &&
            !lines.isEmpty() && lines.first() == VersionText)
            return false;
    }
    QString error;
    if (!WriteTextLines(marker, {VersionText}, &error))
        errors << QStringLiteral("%1 に書き込めません。\n%2").arg(QDir::toNativeSeparators(marker), error);
    return true;
}

StartupReport RunStartup(Session& s, const Services& services) {
    StartupReport report;
    Folders& f = s.folders;

    // A folder that can't be made shows up later when a file in it fails.
    MakeDir(f.TempDir);
    MakeDir(f.UserDir);

    report.newVersion = CheckVersionMarker(f, report.errors);

    for (const QString& name : SampleFolderNames) {
        const QString user = f.UserDir + name + "/";
        const QString master = f.MasterDir(name);
        if (!QDir(user).exists()) {
            MakeDir(user);
            if (QDir(master).exists()) CopyFolderContent(master, user);
        } else if (report.newVersion) {
            CopyFolderContent(master, user);
        }
    }

    f.ExportDir = f.VideoDir = f.VidInfDir = f.NmeaDir = f.DocDir;
    f.HelpDir = f.DataRoot + "Help/";

    BuildCatalogue(s.catalogue, f);

    s.LocalEpoch = LocalEpochFromBias(TimeZoneBiasMinutes());

    if (!s.logStore.Allocate())
        report.errors << QStringLiteral("ログ用のメモリを確保できません。");

    services.logger->CreateLists();

    QString error;
    if (!MoveUserSettings(f.UserDir, f.ShareDir, &error))
        report.errors << QStringLiteral("設定ファイルを移動できません。\n%1").arg(error);
    error.clear();
    if (!ReadSettingsFile(s.settings, f.ShareDir, &error, &s.KeepSettingsFile)) {
        // The user is told the file stays as it is and this run's settings
        // will not be kept.
        report.errors << (s.KeepSettingsFile
                              ? QStringLiteral("設定ファイルを読み込めません。\n%1\n%2\n"
                                               "このファイルは書き換えません。今回の設定は保存されません。")
                                    .arg(QDir::toNativeSeparators(f.ShareDir + SettingsFileName), error)
                              : QStringLiteral("設定ファイルを読み込めません。\n%1").arg(error));
    }
    services.graphs->SwitchPanelsChanged();

    ClrDispSlots(s.comparison);
    services.graphs->CreateCachedBitmaps();
    services.video->ResetState();
    return report;
}

QStringList RunShutdown(Session& s, const Services& services) {
    QStringList errors;
    QString error;
    if (!s.KeepSettingsFile && !WriteSettingsFile(s.settings, s.folders.ShareDir, &error))
        errors << QStringLiteral("設定ファイルを保存できません。\n%1").arg(error);
    services.logger->FreeLists();
    if (services.logger->IsPortOpen()) services.logger->CloseComPort();
    DeleteWorkingFiles(s.folders.TempDir);
    return errors;
}

} // namespace vel
