#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include "common/textfile.h"
#include "model/settings.h"

using namespace vel;

namespace {

struct SettingsFileTest : ::testing::Test {
    QTemporaryDir tmp;
    QString share() const { return tmp.path() + "/share/"; }
    QString user() const { return tmp.path() + "/user/"; }
    void SetUp() override {
        QDir().mkpath(share());
        QDir().mkpath(user());
    }
    void WriteRaw(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray ReadRaw(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

} // namespace

TEST_F(SettingsFileTest, MissingOrEmptyFileWritesDefaultsAndKeepsInitialValues) {
    for (bool empty : {false, true}) {
        if (empty) WriteRaw(share() + "velmaris.ini", "");
        Settings s;
        ASSERT_TRUE(ReadSettingsFile(s, share(), nullptr));
        EXPECT_EQ(ReadRaw(share() + "velmaris.ini"),
                  QByteArray("15.0\r\n0.2\r\n8.0\r\n0\r\n0\r\n1\r\n0\r\n4\r\n0\r\n"));
        EXPECT_EQ(s.SectMt, 15.0L);
        EXPECT_EQ(s.MinLapDist, 0.2L);
        EXPECT_EQ(s.MinLapTime, 8.0L);
        EXPECT_TRUE(s.DiffTmOn);
        EXPECT_FALSE(s.AltitudeOn);
        EXPECT_TRUE(s.DriftOn);   // the default file's "0" is not read back
        EXPECT_EQ(s.MinUseSat, 4);
    }
}

TEST(SettingsLines, ValuesRangesAndShortFiles) {
    struct Case {
        QStringList lines;
        long double sectMt, minLapDist, minLapTime;
        bool diff, alt, drift;
        int minUseSat;
    };
    // Start from non-default values so "left as it is" shows.
    const Case cases[] = {
        {{"45.0"}, 15.0L, 0.5L, 20.0L, false, true, false, 7},
        {{"abc"}, 15.0L, 0.5L, 20.0L, false, true, false, 7},
        {{"1"}, 1.0L, 0.5L, 20.0L, false, true, false, 7},
        {{"30", "0.001", "99.9"}, 30.0L, 0.001L, 99.9L, false, true, false, 7},
        {{"0.99", "10", "100"}, 15.0L, 0.2L, 8.0L, false, true, false, 7},
        {{"20.5", "1.5", "12.5", "1", "1", "1", "0", "x", "1"}, 20.5L, 1.5L, 12.5L, true, false, true, 4},
        {{"20.5", "1.5", "12.5", "0", "0", "on", " 1", "0", "2"}, 20.5L, 1.5L, 12.5L, false, false, false, 0},
        {{"15.0", "0.2", "8.0", "0", "0", "1", "1", "12", "1", "extra"}, 15.0L, 0.2L, 8.0L, true, true, true, 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines.join('|').toStdString());
        Settings s;
        s.MinLapDist = 0.5L;
        s.MinLapTime = 20.0L;
        s.DiffTmOn = false;
        s.AltitudeOn = true;
        s.DriftOn = false;
        s.MinUseSat = 7;
        s.SpdKmh = false;
        ApplySettingsLines(s, c.lines);
        EXPECT_EQ(s.SectMt, c.sectMt);
        EXPECT_EQ(s.MinLapDist, c.minLapDist);
        EXPECT_EQ(s.MinLapTime, c.minLapTime);
        EXPECT_EQ(s.DiffTmOn, c.diff);
        EXPECT_EQ(s.AltitudeOn, c.alt);
        EXPECT_EQ(s.DriftOn, c.drift);
        EXPECT_EQ(s.MinUseSat, c.minUseSat);
        // The speed line, whatever it says, leaves km/h.
        EXPECT_EQ(s.SpdKmh, c.lines.size() > 3 ? true : false);
    }
}

TEST_F(SettingsFileTest, WriteAndReadBack) {
    Settings s;
    s.SectMt = 12.34L;          // written at one decimal
    s.MinLapDist = 1.2346L;     // three decimals
    s.MinLapTime = 9.96L;
    s.DiffTmOn = false;
    s.AltitudeOn = true;
    s.DriftOn = true;
    s.MinUseSat = 6;
    ASSERT_TRUE(WriteSettingsFile(s, share(), nullptr));
    EXPECT_EQ(ReadRaw(share() + "velmaris.ini"),
              QByteArray("12.3\r\n1.235\r\n10.0\r\n0\r\n0\r\n0\r\n1\r\n6\r\n1\r\n"));
    Settings r;
    ASSERT_TRUE(ReadSettingsFile(r, share(), nullptr));
    EXPECT_DOUBLE_EQ(double(r.SectMt), 12.3);
    EXPECT_DOUBLE_EQ(double(r.MinLapDist), 1.235);
    EXPECT_DOUBLE_EQ(double(r.MinLapTime), 10.0);
    EXPECT_FALSE(r.DiffTmOn);
    EXPECT_TRUE(r.AltitudeOn);
    EXPECT_TRUE(r.DriftOn);
    EXPECT_EQ(r.MinUseSat, 6);
}

TEST_F(SettingsFileTest, NothingPastTheNinthLineIsRead) {
    const QString path = share() + "velmaris.ini";
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("20.0\r\n0.5\r\n9.0\r\n0\r\n0\r\n1\r\n0\r\n5\r\n1\r\n");
        ASSERT_TRUE(f.resize(65LL * 1024 * 1024));   // sparse: past the text-file limit
    }
    Settings r;
    QString error;
    ASSERT_TRUE(ReadSettingsFile(r, share(), &error)) << error.toStdString();
    EXPECT_DOUBLE_EQ(double(r.SectMt), 20.0);
    EXPECT_EQ(r.MinUseSat, 5);
    EXPECT_TRUE(r.DriftOn);
}

TEST_F(SettingsFileTest, UserFolderCopyReplacesSharedOnce) {
    WriteRaw(share() + "velmaris.ini", "15.0\r\n");
    WriteRaw(user() + "velmaris.ini", "22.0\r\n");
    ASSERT_TRUE(MoveUserSettings(user(), share(), nullptr));
    EXPECT_FALSE(QFile::exists(user() + "velmaris.ini"));
    Settings s;
    ASSERT_TRUE(ReadSettingsFile(s, share(), nullptr));
    EXPECT_EQ(s.SectMt, 22.0L);
    // Nothing to move the second time.
    ASSERT_TRUE(MoveUserSettings(user(), share(), nullptr));
    EXPECT_EQ(ReadRaw(share() + "velmaris.ini"), QByteArray("22.0\r\n"));
}

TEST_F(SettingsFileTest, UnreadableUserCopyKeepsBothFiles) {
    WriteRaw(share() + "velmaris.ini", "20.0\r\n");
    // Opens, but every read fails with an I/O error.
    ASSERT_TRUE(QFile::link("/proc/self/mem", user() + "velmaris.ini"));
    QString error;
    EXPECT_FALSE(MoveUserSettings(user(), share(), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(ReadRaw(share() + "velmaris.ini"), QByteArray("20.0\r\n"));
    EXPECT_TRUE(QFileInfo(user() + "velmaris.ini").isSymLink());
}

TEST_F(SettingsFileTest, FailedWriteKeepsOldFile) {
    WriteRaw(share() + "velmaris.ini", "20.0\r\n");
    Settings s;
    // A folder where the file should be: the write must fail and say so.
    QString error;
    EXPECT_FALSE(WriteSettingsFile(s, share() + "velmaris.ini/", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(ReadRaw(share() + "velmaris.ini"), QByteArray("20.0\r\n"));
}

TEST(SetupDialogFields, Validation) {
    struct Case { const char* sect; const char* dist; const char* time; bool ok; };
    const Case cases[] = {
        {"15.0", "200", "8.0", true},
        {"30", "9999", "99.9", true},
        {"1", "1", "1", true},
        {"30.01", "200", "8.0", false},
        {"0.99", "200", "8.0", false},
        {"abc", "200", "8.0", false},
        {"15.0", "1.0", "8.0", false},    // not a whole number
        {"15.0", "0", "8.0", false},
        {"15.0", "10000", "8.0", false},
        {"15.0", "", "8.0", false},
        {"15.0", "200", "100", false},
        {"15.0", "200", "0.5", false},
        {"15.0", "200", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.sect) + "|" + c.dist + "|" + c.time);
        EXPECT_EQ(SetupFieldsValid({c.sect, c.dist, c.time}), c.ok);
    }
}

TEST(SetupDialogFields, FillAndApply) {
    Settings s;   // 0.2 km must show 200, not 199
    SetupFields f = SetupFieldsFrom(s);
    EXPECT_EQ(f.SectMt, "15.0");
    EXPECT_EQ(f.MinLapDist, "200");
    EXPECT_EQ(f.MinLapTime, "8.0");
    ApplySetupFields(s, f);
    EXPECT_EQ(s.MinLapDist, 0.2L);
    ApplySetupFields(s, {"25.5", "9999", "12.5"});
    EXPECT_EQ(s.SectMt, 25.5L);
    EXPECT_EQ(s.MinLapDist, 9.999L);
    EXPECT_EQ(s.MinLapTime, 12.5L);
}
