// The sample files shipped in data/ must stay what the sample builder makes
// and must open and cut into laps through the import. Run with
// VELMARIS_WRITE_SAMPLES=<data folder> to write them there first.
#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>
#include <gtest/gtest.h>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include "common/parsing.h"
#include "common/textfile.h"
#include "analysis/row_figures.h"
#include "import/log_import_commands.h"
#include "model/lap_file.h"
#include "model/course_path.h"
#include "model/session.h"
#include "support/fake_line_dialog.h"
#include "support/fake_prompts.h"
#include "support/sample_builder.h"
#include "support/test_folders.h"

using namespace vel;
using namespace vel::test;

namespace {

constexpr double Jst = 25569.0 + 9.0 / 24.0;

// A control-line file of kind 1.
std::optional<LineChoice> ReadControlLine(const QString& path) {
    QStringList lines;
    if (!ReadTextLines(path, lines) || lines.size() < 5 || lines[0] != "1") return std::nullopt;
    LineChoice l;
    l.CtrlLine = LineEnds{StrToFloatDef0(lines[1]), StrToFloatDef0(lines[2]), StrToFloatDef0(lines[3]),
                          StrToFloatDef0(lines[4])};
    l.CtrlLineSet = true;
    return l;
}

struct Cut {
    std::vector<double> lapSec;
    std::vector<std::vector<double>> sectSec;   // per lap, with root's sector lines
    TLogRect rect;
    int32_t samples = 0;
};

struct SampleDataTest : ::testing::Test {
    QTemporaryDir tmp;
    QString error;

    // Opens root's sample log with root's control line, as a user would.
    Cut OpenAndCut(const QString& root) {
        Cut out;
        Session session;
        session.folders = FoldersUnder(tmp.path() + "/user");
        EXPECT_TRUE(QDir().mkpath(session.folders.TempDir));
        EXPECT_TRUE(session.logStore.Allocate());
        session.LocalEpoch = Jst;
        FakePrompts prompts;
        RankingService ranking;
        FakeLineDialog dialog;
        const std::optional<LineChoice> line = ReadControlLine(root + SampleClnFile);
        EXPECT_TRUE(line.has_value()) << "control line of " << root.toStdString();
        if (!line) return out;
        dialog.scripts.push_back({true, std::nullopt, *line});
        prompts.openResults.push_back({root + SampleRawFile});
        LogImportCommands flow(session, prompts, ranking, dialog);
        flow.SpeedButtonLdLogFileClick();

        EXPECT_TRUE(prompts.calls.size() == 1) << "messages besides the open dialog";
        EXPECT_EQ(dialog.openings.size(), 1u);
        EXPECT_EQ(session.logStore.LogName, "sample");
        for (const TLapStrLstRec& r : session.lapList.LapStrLst) out.lapSec.push_back(static_cast<double>(r.Sec));
        SectorLines sci;
        EXPECT_TRUE(ReadSectFile(root + SampleSciFile, sci));
        for (const LapRow& row : session.lapList.Rows) {
            TLapDtRec work;
            TDispSlotRec figures;
            EXPECT_TRUE(LoadLapFileBinForSects(FindWorkingFile(session.folders.TempDir, row.Cells[1]), work));
            MakeSectTmList(work, sci, figures);
            out.sectSec.push_back({});
            for (int k = 0; k <= sci.SectNum; ++k) out.sectSec.back().push_back(static_cast<double>(figures.SectTm[k]));
        }
        out.rect = session.logStore.LogRect;
        out.samples = session.logStore.LogItemNum;
        return out;
    }
};

} // namespace

TEST_F(SampleDataTest, ShippedSamplesAreTheBuildersAndCutIntoLaps) {
    const QString writeTo = qEnvironmentVariable("VELMARIS_WRITE_SAMPLES");
    if (!writeTo.isEmpty()) {
        ASSERT_TRUE(WriteSampleData(writeTo, &error)) << error.toStdString();
    }
    const QString fresh = tmp.path() + "/fresh/";
    ASSERT_TRUE(WriteSampleData(fresh, &error)) << error.toStdString();
    const QString shipped = QStringLiteral(VELMARIS_SOURCE_DATA_DIR) + "/";
    for (const QString& rel : {SampleRawFile, SampleClnFile, SamplePthFile, SampleSciFile})
        ASSERT_TRUE(QFileInfo(shipped + rel).isFile()) << rel.toStdString();

    // The sector file is the generator's, and reads back as its two lines.
    EXPECT_EQ(ReadFile(shipped + SampleSciFile), ReadFile(fresh + SampleSciFile));
    SectorLines sci;
    ASSERT_TRUE(ReadSectFile(shipped + SampleSciFile, sci));
    EXPECT_EQ(sci.SectNum, 2);

    // Small enough to ship.
    EXPECT_LE(QFileInfo(shipped + SampleRawFile).size(), 300 * 1024);

    const Cut made = OpenAndCut(fresh);
    const Cut kept = OpenAndCut(shipped);
    // The shipped sector lines cut every lap into three sectors that add up.
    ASSERT_EQ(kept.sectSec.size(), kept.lapSec.size());
    for (size_t i = 0; i < kept.sectSec.size(); ++i) {
        double sum = 0;
        for (double t : kept.sectSec[i]) {
            EXPECT_GT(t, 1.0) << "lap " << i;
            sum += t;
        }
        EXPECT_NEAR(sum, kept.lapSec[i], 0.002) << "lap " << i;
    }
    ASSERT_EQ(made.lapSec.size(), static_cast<size_t>(SampleLaps));
    ASSERT_EQ(kept.lapSec.size(), made.lapSec.size());
    EXPECT_EQ(kept.samples, made.samples);
    for (size_t i = 0; i < made.lapSec.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(kept.lapSec[i], made.lapSec[i], 0.001);
        // A lap of the small oval at 60 to 110 km/h.
        EXPECT_GT(made.lapSec[i], SampleLapLength() / (110 / 3.6));
        EXPECT_LT(made.lapSec[i], SampleLapLength() / (60 / 3.6));
    }

    // The course map is the builder's and outlines the trace.
    CoursePaths want, got;
    ASSERT_TRUE(ReadCoursePathFile(fresh + SamplePthFile, want, &error)) << error.toStdString();
    ASSERT_TRUE(ReadCoursePathFile(shipped + SamplePthFile, got, &error)) << error.toStdString();
    ASSERT_EQ(got.CoursePathNum, 2);
    ASSERT_EQ(got.CoursePathNum, want.CoursePathNum);
    TLogRect edge;
    for (int p = 0; p < got.CoursePathNum; ++p) {
        ASSERT_EQ(got.CoursePath[p].ElmNum, want.CoursePath[p].ElmNum);
        for (int i = 0; i < got.CoursePath[p].ElmNum; ++i) {
            const TPathElmRec& a = got.CoursePath[p].Elm[i];
            const TPathElmRec& b = want.CoursePath[p].Elm[i];
            ASSERT_NEAR(static_cast<double>(a.Ido), static_cast<double>(b.Ido), 1.5e-6) << p << "/" << i;
            ASSERT_NEAR(static_cast<double>(a.Kdo), static_cast<double>(b.Kdo), 1.5e-6) << p << "/" << i;
            edge.IdoMin = std::min(edge.IdoMin, a.Ido);
            edge.IdoMax = std::max(edge.IdoMax, a.Ido);
            edge.KdoMin = std::min(edge.KdoMin, a.Kdo);
            edge.KdoMax = std::max(edge.KdoMax, a.Kdo);
        }
    }
    EXPECT_LT(edge.IdoMin, kept.rect.IdoMin);
    EXPECT_GT(edge.IdoMax, kept.rect.IdoMax);
    EXPECT_LT(edge.KdoMin, kept.rect.KdoMin);
    EXPECT_GT(edge.KdoMax, kept.rect.KdoMax);

    // The control line is the builder's.
    const auto a = ReadControlLine(shipped + SampleClnFile);
    const auto b = ReadControlLine(fresh + SampleClnFile);
    ASSERT_TRUE(a && b);
    EXPECT_NEAR(static_cast<double>(a->CtrlLine.Ido1), static_cast<double>(b->CtrlLine.Ido1), 1.5e-6);
    EXPECT_NEAR(static_cast<double>(a->CtrlLine.Kdo1), static_cast<double>(b->CtrlLine.Kdo1), 1.5e-6);
    EXPECT_NEAR(static_cast<double>(a->CtrlLine.Ido2), static_cast<double>(b->CtrlLine.Ido2), 1.5e-6);
    EXPECT_NEAR(static_cast<double>(a->CtrlLine.Kdo2), static_cast<double>(b->CtrlLine.Kdo2), 1.5e-6);
}

TEST(SampleBuilder, ControlLineFileLayout) {
    const LineEnds line{34.904461L, 137.485L, 34.904731L, 137.485L};
    EXPECT_EQ(ControlLineFileLines(line),
              (QStringList{"1", "34.904461", "137.485000", "34.904731", "137.485000"}));
}
