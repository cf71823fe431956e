#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include "app/startup.h"
#include "support/fifo_trap.h"
#include "support/recording_services.h"
#include "support/test_folders.h"

using namespace vel;
using vel::test::ReadFile;
using vel::test::WriteFile;

namespace {

struct StartupTest : ::testing::Test {
    QTemporaryDir tmp;
    std::unique_ptr<Session> session;
    test::RecordingServices rec;

    void SetUp() override {
        // Masters exist for Raw and Circuit only, with a placeholder that must not be copied.
        const Folders f = test::FoldersUnder(tmp.path());
        WriteFile(f.MasterDir("Raw") + "sample.bnx4", "raw-v2");
        WriteFile(f.MasterDir("Raw") + ".keep", "");
        WriteFile(f.MasterDir("Circuit") + "sub/track.pth", "path");
    }
    StartupReport Start() {
        session = std::make_unique<Session>();
        session->folders = test::FoldersUnder(tmp.path());
        return RunStartup(*session, rec.services());
    }
    const Folders& f() const { return session->folders; }
};

// Root reads a file of mode 000 all the same: this thread gives up that
// right while the object lives, so the file really can't be opened.
class NoReadOverride {
public:
    NoReadOverride() {
        if (geteuid() != 0) return;
        if (syscall(SYS_capget, &header_, saved_) != 0) return;
        __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
        lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        changed_ = syscall(SYS_capset, &header_, lowered) == 0;
    }
    ~NoReadOverride() {
        if (changed_) syscall(SYS_capset, &header_, saved_);
    }
    NoReadOverride(const NoReadOverride&) = delete;
    NoReadOverride& operator=(const NoReadOverride&) = delete;

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2] = {};
    bool changed_ = false;
};

bool IsFifo(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISFIFO(st.st_mode);
}

} // namespace

TEST_F(StartupTest, FirstStartMakesFoldersMarkerAndCopiesSamples) {
    const StartupReport r = Start();
    EXPECT_TRUE(r.newVersion);
    EXPECT_TRUE(r.errors.isEmpty()) << r.errors.join('\n').toStdString();
    EXPECT_TRUE(QDir(f().TempDir).exists());
    EXPECT_EQ(ReadFile(f().ShareDir + "velmrver.txt"), QByteArray("Ver 4.8.3\r\n"));
    for (const QString& name : SampleFolderNames) EXPECT_TRUE(QDir(f().UserDir + name).exists()) << name.toStdString();
    EXPECT_EQ(ReadFile(f().RawDir + "sample.bnx4"), QByteArray("raw-v2"));
    EXPECT_FALSE(QFile::exists(f().RawDir + ".keep"));
    EXPECT_EQ(ReadFile(f().CircuitDir + "sub/track.pth"), QByteArray("path"));
    // Settings defaults written, log arrays ready.
    EXPECT_TRUE(QFile::exists(f().ShareDir + "velmaris.ini"));
    EXPECT_NE(session->logStore.LogItem.data(), nullptr);
    EXPECT_EQ(session->logStore.LogItem.size, LogItemMax);
    EXPECT_EQ(session->logStore.LogDump.size, LogDumpSize);
    EXPECT_EQ(f().ExportDir, f().DocDir);
    EXPECT_EQ(rec.log.calls, QStringList({"CreateLists", "SwitchPanelsChanged", "CreateCachedBitmaps",
                                          "ResetVideoState"}));
}

TEST_F(StartupTest, MarkerAndSampleCopyRules) {
    Start();
    // The user changes a sample and adds a file; the master gets a new version.
    WriteFile(f().RawDir + "sample.bnx4", "edited");
    WriteFile(f().RawDir + "mine.bnx4", "mine");
    WriteFile(f().MasterDir("Raw") + "sample.bnx4", "raw-v3");

    // Same version: nothing copied.
    EXPECT_FALSE(Start().newVersion);
    EXPECT_EQ(ReadFile(f().RawDir + "sample.bnx4"), QByteArray("edited"));

    // A deleted user folder is made and filled again, alone.
    QDir(f().CircuitDir).removeRecursively();
    EXPECT_FALSE(Start().newVersion);
    EXPECT_EQ(ReadFile(f().CircuitDir + "sub/track.pth"), QByteArray("path"));
    EXPECT_EQ(ReadFile(f().RawDir + "sample.bnx4"), QByteArray("edited"));

    // Another version text, or an empty marker: every folder refilled,
    // same names overwritten, the user's own files kept.
    for (const QByteArray& marker : {QByteArray("Ver 4.8.2\r\n"), QByteArray()}) {
        WriteFile(f().ShareDir + "velmrver.txt", marker);
        WriteFile(f().RawDir + "sample.bnx4", "edited");
        EXPECT_TRUE(Start().newVersion);
        EXPECT_EQ(ReadFile(f().ShareDir + "velmrver.txt"), QByteArray("Ver 4.8.3\r\n"));
        EXPECT_EQ(ReadFile(f().RawDir + "sample.bnx4"), QByteArray("raw-v3"));
        EXPECT_EQ(ReadFile(f().RawDir + "mine.bnx4"), QByteArray("mine"));
    }
    // Case matters in the comparison.
    WriteFile(f().ShareDir + "velmrver.txt", "ver 4.8.3\r\n");
    EXPECT_TRUE(Start().newVersion);
}

TEST_F(StartupTest, LeftoverMarkerInUserFolderIsDeleted) {
    Start();
    WriteFile(f().UserDir + "velmrver.txt", "Ver 1.0");
    EXPECT_FALSE(Start().newVersion);
    EXPECT_FALSE(QFile::exists(f().UserDir + "velmrver.txt"));
}

TEST_F(StartupTest, FailedStepIsReportedAndLaterStepsRun) {
    // The marker can't be written: a folder stands in its place.
    QDir().mkpath(tmp.path() + "/share/velmrver.txt/x");
    const StartupReport r = Start();
    ASSERT_EQ(r.errors.size(), 1);
    EXPECT_TRUE(r.errors[0].contains("velmrver.txt"));
    EXPECT_TRUE(QFile::exists(f().ShareDir + "velmaris.ini"));
    EXPECT_TRUE(rec.log.calls.contains("ResetVideoState"));
}

TEST_F(StartupTest, LocalEpochFollowsTimeZoneStandardOffset) {
    const QByteArray old = qgetenv("TZ");
    qputenv("TZ", "Asia/Tokyo");
    Start();
    EXPECT_DOUBLE_EQ(session->LocalEpoch, 25569.375);
    if (old.isNull()) qunsetenv("TZ"); else qputenv("TZ", old);
}

TEST_F(StartupTest, ShutdownWritesSettingsClosesPortAndDeletesOnlyWorkingFiles) {
    Start();
    session->settings.SectMt = 20.0L;
    for (const char* name : {"temp0000.dtb", "Temp0001.DTB", "temp12345.dtb", "temp0001.dtb.bak", "other.dtb",
                             "tempabcd.dtb", "temp001.dtb"})
        WriteFile(f().TempDir + name, "x");
    rec.log.calls.clear();
    rec.logger.portOpen = true;
    EXPECT_TRUE(RunShutdown(*session, rec.services()).isEmpty());
    EXPECT_EQ(rec.log.calls, QStringList({"FreeLists", "CloseComPort"}));
    EXPECT_TRUE(ReadFile(f().ShareDir + "velmaris.ini").startsWith("20.0\r\n"));
    QStringList left = QDir(f().TempDir).entryList(QDir::Files, QDir::Name);
    // Data numbers of five digits too.
    EXPECT_EQ(left, QStringList({"other.dtb", "temp0001.dtb.bak", "temp001.dtb", "tempabcd.dtb"}));
}

TEST_F(StartupTest, ShutdownGoesOnWhenSettingsCannotBeWritten) {
    Start();
    WriteFile(f().TempDir + "temp0000.dtb", "x");
    QFile::remove(f().ShareDir + "velmaris.ini");
    QDir().mkpath(f().ShareDir + "velmaris.ini/x");
    rec.log.calls.clear();
    rec.logger.portOpen = true;
    EXPECT_EQ(RunShutdown(*session, rec.services()).size(), 1);
    EXPECT_EQ(rec.log.calls, QStringList({"FreeLists", "CloseComPort"}));
    EXPECT_FALSE(QFile::exists(f().TempDir + "temp0000.dtb"));
}

TEST_F(StartupTest, PipeInPlaceOfSettingsOrMarkerIsNeverOpened) {
    // Each pipe is trapped: were it opened, the start would wait for a writer
    // for good; the trap lets it go on and records the open.
    struct Case {
        const char* name;
        const char* file;            // under root
        const char* error;           // what the start reports, empty: nothing
        bool pipeStays;              // left in place through start and shut-down
    };
    const Case cases[] = {
        {"settings in the shared folder", "/share/velmaris.ini", "設定ファイルを読み込めません。", true},
        {"settings copy in the user folder", "/Documents/Velmaris/velmaris.ini", "設定ファイルを移動できません。",
         true},
        {"version marker", "/share/velmrver.txt", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir root;
        const QString path = root.path() + c.file;
        QDir().mkpath(QFileInfo(path).absolutePath());
        test::FifoTrap trap(path);
        ASSERT_TRUE(trap.made());
        session = std::make_unique<Session>();
        session->folders = test::FoldersUnder(root.path());
        rec.log.calls.clear();
        const StartupReport r = RunStartup(*session, rec.services());
        EXPECT_FALSE(trap.opened());
        // The start went on to its last step.
        EXPECT_TRUE(rec.log.calls.contains("ResetVideoState"));
        if (*c.error) {
            ASSERT_EQ(r.errors.size(), 1);
            EXPECT_TRUE(r.errors[0].startsWith(QString::fromUtf8(c.error))) << r.errors[0].toStdString();
        } else {
            EXPECT_TRUE(r.errors.isEmpty()) << r.errors.join('\n').toStdString();
            EXPECT_TRUE(r.newVersion);
            EXPECT_EQ(ReadFile(path), QByteArray("Ver 4.8.3\r\n"));
        }
        EXPECT_TRUE(RunShutdown(*session, rec.services()).isEmpty());
        EXPECT_FALSE(trap.opened());
        EXPECT_EQ(IsFifo(path), c.pipeStays);
    }
}

TEST_F(StartupTest, UnreadableSettingsAreReportedAndKeptAtShutdown) {
    Start();
    const QString ini = f().ShareDir + "velmaris.ini";
    WriteFile(ini, "20.0\r\n0.5\r\n");
    ASSERT_EQ(::chmod(QFile::encodeName(ini).constData(), 0), 0);
    NoReadOverride noOverride;
    {
        QFile probe(ini);
        ASSERT_FALSE(probe.open(QIODevice::ReadOnly)) << "a file of mode 000 is readable here";
    }
    const StartupReport r = Start();
    ASSERT_EQ(r.errors.size(), 1);
    // The user is told which file, why, and that it is kept.
    EXPECT_TRUE(r.errors[0].startsWith("設定ファイルを読み込めません。\n" + ini + "\n")) << r.errors[0].toStdString();
    EXPECT_TRUE(r.errors[0].endsWith("このファイルは書き換えません。今回の設定は保存されません。"));
    EXPECT_EQ(session->settings.SectMt, 15.0L);   // the run goes on with the initial values
    session->settings.SectMt = 25.0L;
    EXPECT_TRUE(RunShutdown(*session, rec.services()).isEmpty());
    ASSERT_EQ(::chmod(QFile::encodeName(ini).constData(), 0644), 0);
    EXPECT_EQ(ReadFile(ini), QByteArray("20.0\r\n0.5\r\n"));
    // Once readable again, the next run takes it and writes its own settings back.
    EXPECT_TRUE(Start().errors.isEmpty());
    EXPECT_EQ(session->settings.SectMt, 20.0L);
    session->settings.SectMt = 25.0L;
    EXPECT_TRUE(RunShutdown(*session, rec.services()).isEmpty());
    EXPECT_TRUE(ReadFile(ini).startsWith("25.0\r\n"));
}
