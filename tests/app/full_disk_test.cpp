// Saves onto a full disk: each fails with its error box and leaves the old
// file whole. A small tmpfs is mounted for it, so the test needs root.
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>
#include "app/startup.h"
#include "model/lap_list.h"
#include "model/session.h"
#include "model/settings.h"
#include "views/export_commands.h"
#include "support/fake_prompts.h"
#include "support/fake_shell.h"
#include "support/recording_services.h"
#include "support/test_folders.h"

using namespace vel;
using namespace vel::test;

namespace {

// A 64 KiB tmpfs on a fresh folder, unmounted when the test ends however
// it ends.
class SmallDisk {
public:
    SmallDisk() {
        if (geteuid() != 0) {
            why_ = "not root: cannot mount a small tmpfs";
            return;
        }
        if (mount("tmpfs", QFile::encodeName(dir_.path()).constData(), "tmpfs", 0, "size=64k") != 0) {
            why_ = std::string("mount failed: ") + std::strerror(errno);
            return;
        }
        mounted_ = true;
    }
    ~SmallDisk() {
        if (mounted_) umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return mounted_; }
    const std::string& why() const { return why_; }
    QString path() const { return dir_.path() + "/"; }

    // Writes a filler file until the disk takes no more.
    void Fill() const {
        const int fd = ::open(QFile::encodeName(path() + "filler").constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        char block[512] = {};
        while (::write(fd, block, sizeof block) > 0) {}
        ::close(fd);
        const int probe = ::open(QFile::encodeName(path() + "probe").constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(probe, 0);
        EXPECT_LT(::write(probe, block, 1), 0) << "the disk is not full";
        ::close(probe);
        ::unlink(QFile::encodeName(path() + "probe").constData());
    }

private:
    QTemporaryDir dir_;
    bool mounted_ = false;
    std::string why_;
};

struct FullDiskTest : ::testing::Test {
    QTemporaryDir tmp;
    SmallDisk disk;
    Session session;
    FakePrompts prompts;
    FakeShell shell;
    RecordingServices rec;
    std::unique_ptr<ExportCommands> cmd;

    void SetUp() override {
        if (!disk.mounted()) GTEST_SKIP() << "full-disk saves not checked: " << disk.why();
        session.folders = FoldersUnder(tmp.path());
        session.folders.ShareDir = disk.path() + "share/";
        session.folders.ExportDir = disk.path();
        QDir().mkpath(session.folders.ShareDir);
        QDir().mkpath(session.folders.TempDir);
        cmd = std::make_unique<ExportCommands>(session, prompts, shell);
        LapRow row;
        row.Cells[0] = "name";
        row.Cells[1] = "0000";
        session.lapList.Rows << row;
        session.lapList.LapStrLst << TLapStrLstRec{};
        cmd->PopupSrc = 0;
        cmd->SetPicturePane(0, {[] { return QSize(40, 30); },
                                [](QPainter& p, const QRect& r) { p.fillRect(r, Qt::red); }});
        cmd->SetPicturePane(1, {[] { return QSize(200, 150); },
                                [](QPainter& p, const QRect& r) { p.fillRect(r, Qt::blue); }});
    }
};

} // namespace

TEST_F(FullDiskTest, SavesFailWithTheirMessageAndKeepTheOldFile) {
    const QString master = tmp.path() + "/master/";
    WriteFile(master + "sample.sci", QByteArray(3000, 's'));
    struct Case {
        const char* name;
        QString file;                          // on the full disk, there before
        std::function<QString()> save;         // the error box text
        QString text;                          // what that text begins with
    };
    const QStringList header(LapListHeaders().begin(), LapListHeaders().end());
    const Case cases[] = {
        {"settings at shut-down", session.folders.ShareDir + SettingsFileName,
         [&] {
             session.settings.SectMt = 20.0L;
             return RunShutdown(session, rec.services()).join('\n');
         },
         QStringLiteral("設定ファイルを保存できません。\n")},
        {"lap list CSV", disk.path() + "list.csv",
         [&] {
             prompts.saveResults.push_back(disk.path() + "list.csv");
             cmd->SpeedButtonCsvClick(1, header);
             return prompts.texts("error").join('\n');
         },
         QStringLiteral("ファイルを保存できませんでした。\nlist.csv\n")},
        {"picture", disk.path() + "pic.png",
         [&] {
             prompts.saveResults.push_back(disk.path() + "pic.png");
             cmd->pmJPEGClick();
             return prompts.texts("error").join('\n');
         },
         QStringLiteral("ファイルを保存できませんでした。\npic.png\n")},
        {"picture as BMP, larger than the write buffer", disk.path() + "pic.bmp",
         [&] {
             prompts.saveResults.push_back(disk.path() + "pic.bmp");
             cmd->PopupSrc = 1;
             cmd->pmBMPClick();
             cmd->PopupSrc = 0;
             return prompts.texts("error").join('\n');
         },
         QStringLiteral("ファイルを保存できませんでした。\npic.bmp\n")},
        {"sample copied over the user's copy", disk.path() + "sample.sci",
         [&] {
             CopyFolderContent(master, disk.path());
             return QString();
         },
         QString()},
    };
    QMap<QString, QByteArray> before;
    int n = 0;
    for (const Case& c : cases) {
        QByteArray old = QByteArray("old file ") + QByteArray::number(++n) + "\r\n";
        WriteFile(c.file, old);
        before[c.file] = old;
    }
    disk.Fill();
    for (const Case& c : cases) {
        prompts.calls.clear();
        const QString shown = c.save();
        EXPECT_TRUE(shown.startsWith(c.text)) << c.name << ": " << shown.toStdString();
        // The reason is the system's own.
        if (!c.text.isEmpty())
            EXPECT_TRUE(shown.contains(QString::fromLocal8Bit(std::strerror(ENOSPC))))
                << c.name << ": " << shown.toStdString();
        EXPECT_EQ(ReadFile(c.file), before[c.file]) << c.name;
    }
    // No temporary file left behind.
    QStringList left = QDir(disk.path()).entryList(QDir::Files);
    left.sort();
    EXPECT_EQ(left, QStringList({"filler", "list.csv", "pic.bmp", "pic.png", "sample.sci"}));
    EXPECT_EQ(QDir(session.folders.ShareDir).entryList(QDir::Files), QStringList{SettingsFileName});
}
