#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>
#include "common/datetime.h"
#include "common/textfile.h"
#include "platform/prompts.h"
#include "support/fake_prompts.h"
#include "video/video_link.h"
#include "video/video_sync.h"
#include "video_link_fakes.h"
#include "views/view_fixture.h"

using namespace vel;
using namespace vel::test;

namespace {

bool WriteBytes(const QString& path, const QByteArray& b) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(b) == b.size();
}

QByteArray ReadBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Vsy : ::testing::Test {
    QTemporaryDir dir;
    Session s;
    FakePrompts prompts;
    FakePlayer* player = new FakePlayer;
    VideoLink link{s, prompts, std::unique_ptr<VideoPlayer>(player)};
    QString video;

    Vsy() {
        video = dir.filePath("ビデオ 1.mp4");
        WriteBytes(video, "x");
        s.folders.VidInfDir = dir.path() + "/";
    }
    void Show(double seconds) {
        s.loadedLaps.LapDt = {StraightLap("0000", seconds)};
        s.loadedLaps.LapDtNum = 1;
        SetDispSlot(s.loadedLaps, s.comparison, 0, 0);
    }
    double LapStart() const { return s.loadedLaps.LapDt[0].Elm[0].DtTm; }
    void Load(const QString& path) {
        prompts.openResults.push_back({path});
        link.SpeedButtonOpenVidInfClick();
    }
};

} // namespace

TEST_F(Vsy, FileHasTwoCrLfLinesWithAFixedDateFormatWhateverTheLocale) {
    const QLocale old;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const double start = EncodeDateTime(2024, 4, 14, 9, 59, 52, 500);
    const QString path = dir.filePath("a.vsy");
    ASSERT_TRUE(WriteVsy(path, {video, start}));
    QLocale::setDefault(old);
    EXPECT_EQ(ReadBytes(path), (video + "\r\n2024/04/14 09:59:52.500\r\n").toUtf8());
    VsyFile back;
    ASSERT_EQ(ReadVsy(path, back), VsyRead::Ok);
    EXPECT_EQ(back.VideoPath, video);
    EXPECT_NEAR(back.Start, start, 1e-9);
}

TEST_F(Vsy, MillisecondsAreWrittenWithThreeDigits) {
    const struct {
        int ms;
        const char* text;
    } cases[] = {{0, "09:59:52.000"}, {5, "09:59:52.005"}, {50, "09:59:52.050"}, {999, "09:59:52.999"}};
    for (const auto& c : cases) {
        const QString path = dir.filePath("ms.vsy");
        ASSERT_TRUE(WriteVsy(path, {video, EncodeDateTime(2024, 4, 14, 9, 59, 52, c.ms)}));
        EXPECT_EQ(ReadBytes(path), (video + "\r\n2024/04/14 " + c.text + "\r\n").toUtf8()) << c.ms;
    }
}

TEST_F(Vsy, DamagedFilesAreIgnoredOrRefused) {
    struct Case {
        const char* name;
        QByteArray bytes;
        VsyRead want;
    } cases[] = {
        {"empty", "", VsyRead::Ignored},
        {"one line", "/v.mp4\r\n", VsyRead::Ignored},
        {"three lines", "/v.mp4\r\n2024/04/14 10:00:00.000\r\nmore\r\n", VsyRead::Ignored},
        {"binary", QByteArray("/v.mp4\r\n\0\0\0", 11), VsyRead::Ignored},
        {"huge", QByteArray(100000, 'a') + "\r\n2024/04/14 10:00:00.000\r\n", VsyRead::Ignored},
        {"no date", "/v.mp4\r\nyesterday\r\n", VsyRead::BadDate},
        {"locale date", "/v.mp4\r\n14.04.2024 10:00:00,000\r\n", VsyRead::BadDate},
        {"month 13", "/v.mp4\r\n2024/13/14 10:00:00.000\r\n", VsyRead::BadDate},
        {"hour 25", "/v.mp4\r\n2024/04/14 25:00:00.000\r\n", VsyRead::BadDate},
        {"trailing junk", "/v.mp4\r\n2024/04/14 10:00:00.000x\r\n", VsyRead::BadDate},
        {"LF only", "/v.mp4\n2024/04/14 10:00:00.000\n", VsyRead::Ok},
        {"no milliseconds", "/v.mp4\r\n2024/04/14 10:00:00\r\n", VsyRead::Ok},
    };
    for (const Case& c : cases) {
        const QString path = dir.filePath(QString::fromLatin1(c.name) + ".vsy");
        ASSERT_TRUE(WriteBytes(path, c.bytes));
        VsyFile f;
        EXPECT_EQ(ReadVsy(path, f), c.want) << c.name;
    }
}

TEST_F(Vsy, BadDateIsRefusedBeforeTheVideoOpens) {
    const QString path = dir.filePath("bad.vsy");
    ASSERT_TRUE(WriteBytes(path, (video + "\r\n2024-04-14T10:00\r\n").toUtf8()));
    Load(path);
    EXPECT_EQ(prompts.texts("warn"), QStringList{VsyBadDateText});
    EXPECT_TRUE(player->calls.isEmpty());
    EXPECT_FALSE(link.VideoSynced());
    EXPECT_EQ(link.VideoDuration(), 0);
}

TEST_F(Vsy, UnreadableFileShowsTheReadError) {
    const QString path = dir.filePath("locked.vsy");
    ASSERT_TRUE(WriteVsy(path, {video, 45000}));
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::WriteOwner));
    // Root reads whatever the permissions say: this thread checks files as
    // nobody, who may still look into the folder.
    const bool root = geteuid() == 0;
    ASSERT_EQ(chmod(QFile::encodeName(dir.path()).constData(), 0711), 0);
    if (root) setfsuid(65534);
    Load(path);
    if (root) setfsuid(0);
    ASSERT_EQ(prompts.texts("error").size(), 1);
    EXPECT_FALSE(prompts.texts("error")[0].isEmpty());
    EXPECT_TRUE(prompts.texts("warn").isEmpty());
    EXPECT_TRUE(player->calls.isEmpty());
    EXPECT_FALSE(link.VideoSynced());
}

TEST_F(Vsy, LoadFailuresWarnWithTheirTexts) {
    const QString missing = dir.filePath("missing.vsy");
    ASSERT_TRUE(WriteVsy(missing, {dir.filePath("gone.mp4"), 45000}));
    Load(missing);
    player->openOk = false;
    const QString ok = dir.filePath("ok.vsy");
    ASSERT_TRUE(WriteVsy(ok, {video, 45000}));
    Load(ok);
    player->openOk = true;
    player->libs = false;
    Load(ok);
    EXPECT_EQ(prompts.texts("warn"), (QStringList{VideoNotFoundText, VideoOpenFailedText, DllLoadFailedText}));
    EXPECT_FALSE(link.VideoSynced());
}

TEST_F(Vsy, LoadWithoutALapWaitsForOneThenSavesTheSameTie) {
    const double start = EncodeDateTime(2024, 4, 14, 9, 59, 52, 500);
    const QString path = dir.filePath("tie.vsy");
    ASSERT_TRUE(WriteVsy(path, {video, start}));
    Load(path);
    ASSERT_TRUE(link.VideoSynced());
    EXPECT_EQ(link.VideoOfsPts(), -1);
    EXPECT_EQ(link.VideoEndPts(), -1);
    EXPECT_FALSE(link.VideoInRange());
    Show(60);   // starts 10:00:00.000, 7.5 s into the video
    link.CalVideoRange();
    EXPECT_EQ(link.VideoOfsPts(), 7'500'000);
    EXPECT_EQ(link.VideoEndPts(), 67'500'000);
    // Saved under a name typed with capitals: the extension is replaced and,
    // the file existing, overwritten only after the question.
    const QString existing = dir.filePath("copy.vsy");
    ASSERT_TRUE(WriteBytes(existing, "old"));
    prompts.saveResults.push_back(dir.filePath("copy.VSY"));
    prompts.answers.push_back(Answer::No);
    link.SpeedButtonSaveVidInfClick();
    EXPECT_EQ(ReadBytes(existing), "old");
    prompts.saveResults.push_back(dir.filePath("copy.VSY"));
    prompts.answers.push_back(Answer::Yes);
    link.SpeedButtonSaveVidInfClick();
    EXPECT_EQ(prompts.texts("warnyesno"), (QStringList{OverwriteQuestion("copy.vsy"), OverwriteQuestion("copy.vsy")}));
    VsyFile back;
    ASSERT_EQ(ReadVsy(existing, back), VsyRead::Ok);
    EXPECT_EQ(back.VideoPath, video);
    EXPECT_NEAR(back.Start, start, 1e-9);
    EXPECT_FALSE(QFile::exists(dir.filePath("copy.VSY")));
}

TEST_F(Vsy, SavedTieReloadsToTheSameOffsets) {
    Show(60);
    prompts.openResults.push_back({video});
    link.SpeedButtonOpenVideoClick();
    player->pts = 20'000'000;
    s.comparison.PlayTm = 12.5L;
    link.SpeedButtonSetStaClick();
    ASSERT_EQ(link.VideoOfsPts(), 7'500'000);
    const QString path = dir.filePath("s.vsy");
    prompts.saveResults.push_back(path);
    link.SpeedButtonSaveVidInfClick();

    Session s2;
    s2.loadedLaps = s.loadedLaps;
    s2.comparison = s.comparison;
    FakePrompts prompts2;
    auto* player2 = new FakePlayer;
    VideoLink link2{s2, prompts2, std::unique_ptr<VideoPlayer>(player2)};
    prompts2.openResults.push_back({path});
    link2.SpeedButtonOpenVidInfClick();
    ASSERT_TRUE(link2.VideoSynced());
    EXPECT_EQ(link2.VideoOfsPts(), 7'500'000);
    EXPECT_EQ(link2.VideoEndPts(), 67'500'000);
    EXPECT_EQ(player2->calls.first(), "Open " + video);
}
