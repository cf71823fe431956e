#include <clocale>
#include <cstdio>
#include <functional>
#include <limits>
#include <cmath>
#include <string>
#include <utility>
#include <vector>
#include <gtest/gtest.h>
#include <QLocale>
#include <QTemporaryDir>
#include "common/geodesy.h"
#include "model/course_path.h"
#include "support/lap_builder.h"
#include "support/test_folders.h"

namespace vel {
namespace {

using Poly = std::vector<std::pair<double, double>>;   // (Kdo, Ido) per point

std::vector<Poly> Polys(const CoursePaths& paths) {
    std::vector<Poly> out;
    for (const TPathRec& rec : paths.CoursePath) {
        Poly p;
        for (const TPathElmRec& e : rec.Elm) p.push_back({double(e.Kdo), double(e.Ido)});
        out.push_back(p);
    }
    return out;
}

// Counts agree with the arrays, as every reader of the map assumes.
void ExpectCountsMatch(const CoursePaths& paths) {
    EXPECT_EQ(paths.CoursePathNum, paths.CoursePath.size());
    for (const TPathRec& rec : paths.CoursePath) EXPECT_EQ(rec.ElmNum, rec.Elm.size());
}

TEST(CoursePathReader, TakesOnlyThePointLinesOfBlocks) {
    struct Case {
        const char* name;
        QStringList lines;
        std::vector<Poly> want;
    };
    const std::vector<Case> cases = {
        {"two blocks", {"<path>", "138.1,35.1", "138.2,35.2", "</path>", "<path>", "139.0,36.0", "</path>"},
         {{{138.1, 35.1}, {138.2, 35.2}}, {{139.0, 36.0}}}},
        {"text before the block", {"Suzuka east, 2024", "made by hand", "<path>", "138.1,35.1", "</path>"},
         {{{138.1, 35.1}}}},
        {"blank lines inside", {"<path>", "", "138.1,35.1", "", "138.2,35.2", "</path>"},
         {{{138.1, 35.1}, {138.2, 35.2}}}},
        {"unclosed block runs to the end", {"<path>", "138.1,35.1", "138.2,35.2"},
         {{{138.1, 35.1}, {138.2, 35.2}}}},
        {"block without points", {"<path>", "</path>"}, {{}}},
        {"bad numbers skip their line",
         {"<path>", "abc,35.1", "138.1,", ",35.1", "138.1,35.1x", "1,2,3", "138.2,35.2", "</path>"},
         {{{1, 2}, {138.2, 35.2}}}},
        {"out of range skipped", {"<path>", "138.1,95", "400,35", "-181.5,35", "</path>"}, {{{-181.5, 35}}}},
        {"blanks and extra fields", {"<path>", " 138.1 , 35.1 ,12", "</path>"}, {{{138.1, 35.1}}}},
        {"second <path> inside is a skipped line", {"<path>", "138.1,35.1", "<path>", "138.2,35.2", "</path>"},
         {{{138.1, 35.1}, {138.2, 35.2}}}},
        {"tags compared exactly", {"<PATH>", "138.1,35.1", " <path>", "</path>", "<path>", "138.3,35.3", "</path> "},
         {{{138.3, 35.3}}}},
        {"nothing", {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CoursePaths paths = ParseCoursePath(c.lines);
        EXPECT_EQ(Polys(paths), c.want);
        ExpectCountsMatch(paths);
    }
}

TEST(CoursePathFile, WritesSixDecimalsWithCrLfAndReadsBack) {
    QTemporaryDir dir;
    const QString path = dir.path() + "/c.pth";
    CoursePaths paths = ParseCoursePath({"<path>", "138.9270004,35.37", "-0.5,-12.25", "</path>", "<path>", "</path>"});
    ASSERT_TRUE(WriteCoursePathFile(path, paths));
    EXPECT_EQ(test::ReadFile(path),
              "<path>\r\n138.927000,35.370000\r\n-0.500000,-12.250000\r\n</path>\r\n<path>\r\n</path>\r\n");
    CoursePaths back;
    ASSERT_TRUE(ReadCoursePathFile(path, back));
    EXPECT_EQ(Polys(back), (std::vector<Poly>{{{138.927, 35.37}, {-0.5, -12.25}}, {}}));

    // A file that can't be read leaves the map as it was.
    QString error;
    EXPECT_FALSE(ReadCoursePathFile(dir.path() + "/missing.pth", back, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(back.CoursePathNum, 2);
}

// Qt takes the user's locale at start-up; ".pth" numbers must not follow it.
TEST(CoursePathFile, DecimalCommaLocaleChangesNothing) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    const QLocale savedQt;
    bool switched = false;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8"})
        if (std::setlocale(LC_ALL, name)) { switched = true; break; }
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));

    const QStringList written = CoursePathLines(ParseCoursePath({"<path>", "138.5,35.25", "</path>"}));
    const CoursePaths read = ParseCoursePath({"<path>", "138.75,35.125", "138,5,35,25", "</path>"});

    QLocale::setDefault(savedQt);
    std::setlocale(LC_ALL, saved.c_str());
    if (!switched) std::printf("[ note ] no decimal-comma C locale installed; Qt's default locale was German\n");
    EXPECT_EQ(written, QStringList({"<path>", "138.500000,35.250000", "</path>"}));
    // "138,5,35,25" splits into 138 and 5: commas never act as decimal points.
    EXPECT_EQ(Polys(read), (std::vector<Poly>{{{138.75, 35.125}, {138, 5}}}));
}

LoadedLaps TwoLaps(const QVector<TLapElmRec>& a, const QVector<TLapElmRec>& b) {
    LoadedLaps laps;
    for (const auto* recs : {&a, &b}) {
        TLapDtRec lap;
        lap.Elm = *recs;
        lap.ElmNum = static_cast<int32_t>(recs->size());
        laps.LapDt.append(lap);
    }
    laps.LapDtNum = 2;
    return laps;
}

TEST(MakeCoursePath, OneClosedBlockPerLapWithSamples) {
    test::Drive d;
    const QVector<TLapElmRec> circle = test::CircleLap(d, 80, test::Turn::Left);
    d.ido += 0.01L;
    const QVector<TLapElmRec> square = test::SquareLap(d, 150, test::Turn::Right);

    struct Case {
        const char* name;
        LoadedLaps laps;
        std::vector<const QVector<TLapElmRec>*> want;
    };
    const std::vector<Case> cases = {
        {"two laps", TwoLaps(circle, square), {&circle, &square}},
        {"first lap without samples", TwoLaps({}, square), {&square}},
        {"second lap without samples", TwoLaps(circle, {}), {&circle}},
        {"neither has samples", TwoLaps({}, {}), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CoursePaths made = ParseCoursePath(MakeCoursePathLines(c.laps));
        ASSERT_EQ(made.CoursePathNum, int(c.want.size()));
        for (size_t k = 0; k < c.want.size(); ++k) {
            const QVector<TLapElmRec>& recs = *c.want[k];
            const TPathRec& rec = made.CoursePath[int(k)];
            ASSERT_EQ(rec.ElmNum, recs.size() + 1);
            for (int i = 0; i < rec.ElmNum; ++i) {
                const TLapElmRec& s = recs[i % recs.size()];   // the loop closes on sample 0
                EXPECT_NEAR(double(rec.Elm[i].Ido), double(s.Ido), 5e-7);
                EXPECT_NEAR(double(rec.Elm[i].Kdo), double(s.Kdo), 5e-7);
            }
        }
    }

    // An ElmNum beyond the samples held is not trusted.
    LoadedLaps odd = TwoLaps(circle, square);
    odd.LapDt[0].ElmNum = 100000;
    EXPECT_EQ(ParseCoursePath(MakeCoursePathLines(odd)).CoursePath[0].ElmNum, circle.size() + 1);
}

class NudgeTest : public ::testing::Test {
protected:
    CoursePaths paths = ParseCoursePath(
        {"<path>", "138.927,35.37", "138.93,35.38", "</path>", "<path>", "10.5,-60.25", "</path>"});
    const CoursePaths before = paths;

    void ForEachPoint(const std::function<void(const TPathElmRec&, const TPathElmRec&)>& f) {
        ASSERT_EQ(paths.CoursePathNum, before.CoursePathNum);
        for (int k = 0; k < paths.CoursePathNum; ++k)
            for (int i = 0; i < paths.CoursePath[k].ElmNum; ++i)
                f(before.CoursePath[k].Elm[i], paths.CoursePath[k].Elm[i]);
    }
};

TEST_F(NudgeTest, FourNorthMovesAreTwoMetres) {
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(NudgeCoursePath(paths, PathNudge::North, 0));
    ForEachPoint([](const TPathElmRec& a, const TPathElmRec& b) {
        EXPECT_NEAR(double(DistM(a.Ido, a.Kdo, b.Ido, b.Kdo)), 2.0, 1e-9);
        EXPECT_GT(b.Ido, a.Ido);
        EXPECT_EQ(b.Kdo, a.Kdo);
    });
    for (int i = 0; i < 4; ++i) NudgeCoursePath(paths, PathNudge::South, 0);
    ForEachPoint([](const TPathElmRec& a, const TPathElmRec& b) {
        EXPECT_NEAR(double(b.Ido), double(a.Ido), 1e-12);
    });
}

TEST_F(NudgeTest, EastAndWestScaleByTheCursorLatitude) {
    const long double curIdo = 60;
    const long double step = 0.5L / (0.5L * EarthR * Pi) * 180.0L;   // cos 60° = 0.5
    EXPECT_TRUE(NudgeCoursePath(paths, PathNudge::East, curIdo));
    // Every point moves by the same degrees, whatever its own latitude.
    ForEachPoint([&](const TPathElmRec& a, const TPathElmRec& b) {
        EXPECT_NEAR(double(b.Kdo - a.Kdo), double(step), 1e-15);
        EXPECT_EQ(b.Ido, a.Ido);
    });
    EXPECT_TRUE(NudgeCoursePath(paths, PathNudge::West, curIdo));
    ForEachPoint([](const TPathElmRec& a, const TPathElmRec& b) {
        EXPECT_NEAR(double(b.Kdo), double(a.Kdo), 1e-12);
    });
}

TEST_F(NudgeTest, NoMoveWithoutAMapOrAnEastWestScale) {
    for (long double curIdo : {90.0L, -90.0L, std::nanl(""), std::numeric_limits<long double>::infinity()}) {
        EXPECT_FALSE(NudgeCoursePath(paths, PathNudge::East, curIdo));
        EXPECT_FALSE(NudgeCoursePath(paths, PathNudge::West, curIdo));
    }
    ForEachPoint([](const TPathElmRec& a, const TPathElmRec& b) { EXPECT_EQ(b.Kdo, a.Kdo); });

    ClearCoursePath(paths);
    EXPECT_EQ(paths.CoursePathNum, 0);
    EXPECT_TRUE(paths.CoursePath.isEmpty());
    EXPECT_FALSE(NudgeCoursePath(paths, PathNudge::North, 0));
}

} // namespace
} // namespace vel
