#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include "app/startup.h"
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
