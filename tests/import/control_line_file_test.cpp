// Control-line files, the selection's range and search position, the mark
// text and the selection as one run file.
#include <clocale>
#include <cmath>
#include <optional>
#include <vector>
#include <gtest/gtest.h>
#include <QLocale>
#include "common/geodesy.h"
#include "common/records.h"
#include "common/textfile.h"
#include "import/control_lines.h"
#include "model/session.h"
#include "support/sample_builder.h"

using namespace vel;
using namespace vel::test;

namespace {

QStringList Kind1(const QString& a = "35.100000") { return {"1", a, "139.200000", "35.300000", "139.400000"}; }
QStringList Kind2Of(int count, const QString& rally = "1") {
    QStringList l{"2", "35.1", "139.2", "35.3", "139.4", "36.1", "140.2", "36.3", "140.4", rally};
    return l.mid(0, count);
}

TEST(ClnFile, ReadsOnlyWholeFilesOfEitherKind) {
    struct Case {
        const char* name;
        QStringList file;
        bool byLoad;
        bool rallyBefore;
        bool changed;
        bool ctrl, sta, fin;
        bool rallyAfter;
        std::optional<bool> box;
        double ido1;   // CtrlLine.Ido1 afterwards
    };
    const std::vector<Case> cases = {
        {"kind 1 of 4 lines", Kind1().mid(0, 4), true, true, false, false, true, true, true, std::nullopt, 1},
        {"kind 1 by load", Kind1(), true, true, true, true, false, false, false, false, 35.1},
        {"kind 1 by search", Kind1(), false, true, true, true, false, false, false, false, 35.1},
        {"kind 1 with a comma decimal", Kind1("35,1"), true, false, true, true, false, false, false, false, 0},
        {"kind 2 of 8 lines", Kind2Of(8), true, false, false, false, true, true, false, std::nullopt, 1},
        {"kind 2 of 9 lines keeps rally", Kind2Of(9), true, true, true, false, true, true, true, std::nullopt, 35.1},
        {"kind 2 of 10, rally by load", Kind2Of(10, "1"), true, false, true, false, true, true, true, true, 35.1},
        {"kind 2 of 10, no rally by load", Kind2Of(10, "0"), true, true, true, false, true, true, false, false, 35.1},
        {"kind 2 of 10, other text by load", Kind2Of(10, "yes"), true, true, true, false, true, true, false, false,
         35.1},
        {"kind 2 of 10, rally by search", Kind2Of(10, "1"), false, false, true, false, true, true, false,
         std::nullopt, 35.1},
        {"kind 2 of 10, no rally by search", Kind2Of(10, "0"), false, true, true, false, true, true, true,
         std::nullopt, 35.1},
        {"other kind", QStringList{"3", "1", "2", "3", "4", "5", "6", "7", "8", "9"}, true, false, false, false,
         true, true, false, std::nullopt, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LineChoice l;
        // A start and finish line set before, at other places.
        l.CtrlLine = LineEnds{1, 2, 3, 4};
        l.FinLine = LineEnds{5, 6, 7, 8};
        l.StaLineSet = l.FinLineSet = true;
        l.RallySta = c.rallyBefore;
        const ClnApplied a = ApplyClnLines(l, c.file, c.byLoad);
        EXPECT_EQ(a.changed, c.changed);
        EXPECT_EQ(a.controlLine, c.ctrl);
        EXPECT_EQ(l.CtrlLineSet, c.ctrl);
        EXPECT_EQ(l.StaLineSet, c.sta);
        EXPECT_EQ(l.FinLineSet, c.fin);
        EXPECT_EQ(l.RallySta, c.rallyAfter);
        EXPECT_EQ(a.rallyBox, c.box);
        EXPECT_DOUBLE_EQ(static_cast<double>(l.CtrlLine.Ido1), c.ido1);
        if (c.changed && !c.ctrl) {
            EXPECT_DOUBLE_EQ(static_cast<double>(l.FinLine.Kdo2), 140.4);
        }
    }
}

TEST(ClnFile, WritesEitherKindInTheCLocaleAndReadsItBack) {
    // A process locale with a decimal comma changes nothing.
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const std::string oldC = std::setlocale(LC_NUMERIC, nullptr);
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");

    LineChoice l;
    l.CtrlLine = LineEnds{34.9044611L, 137.485L, 34.904731L, -0.5L};
    l.FinLine = LineEnds{-33.5L, 151.25L, -33.51L, 151.26L};
    EXPECT_FALSE(CanSaveCln(l));
    l.StaLineSet = true;
    EXPECT_FALSE(CanSaveCln(l));
    l.FinLineSet = true;
    l.RallySta = true;
    ASSERT_TRUE(CanSaveCln(l));
    const QStringList kind2 = ClnFileLines(l);
    EXPECT_EQ(kind2, (QStringList{"2", "34.904461", "137.485000", "34.904731", "-0.500000", "-33.500000",
                                  "151.250000", "-33.510000", "151.260000", "1"}));
    LineChoice back;
    ASSERT_TRUE(ApplyClnLines(back, kind2, true).changed);
    EXPECT_TRUE(back.StaLineSet && back.FinLineSet && back.RallySta);
    EXPECT_DOUBLE_EQ(static_cast<double>(back.FinLine.Ido2), -33.51);

    LineChoice ctrl;
    ctrl.CtrlLine = l.CtrlLine;
    ctrl.CtrlLineSet = true;
    ctrl.RallySta = true;   // not written with a control line
    EXPECT_EQ(ClnFileLines(ctrl), (QStringList{"1", "34.904461", "137.485000", "34.904731", "-0.500000"}));

    std::setlocale(LC_NUMERIC, oldC.c_str());
    QLocale::setDefault(before);
}

TEST(ClnFile, ShippedSampleReadsAsTheBuildersControlLine) {
    QStringList file;
    ASSERT_TRUE(ReadTextLines(QStringLiteral(VELMARIS_SOURCE_DATA_DIR "/") + SampleClnFile, file));
    LineChoice l;
    const ClnApplied a = ApplyClnLines(l, file, true);
    ASSERT_TRUE(a.changed && a.controlLine);
    const LineEnds want = SampleControlLine();
    EXPECT_NEAR(static_cast<double>(l.CtrlLine.Ido1), static_cast<double>(want.Ido1), 1e-6);
    EXPECT_NEAR(static_cast<double>(l.CtrlLine.Kdo1), static_cast<double>(want.Kdo1), 1e-6);
    EXPECT_NEAR(static_cast<double>(l.CtrlLine.Ido2), static_cast<double>(want.Ido2), 1e-6);
    EXPECT_NEAR(static_cast<double>(l.CtrlLine.Kdo2), static_cast<double>(want.Kdo2), 1e-6);
}

TEST(MarkText, TakesExactlyTwoFields) {
    struct Case {
        QString text;
        bool ok;
        double ido, kdo;
    };
    const std::vector<Case> cases = {
        {"35.123456,135.123456", true, 35.123456, 135.123456},
        {" -12.5 , 7 ", true, -12.5, 7},
        {"north,east", true, 0, 0},
        {"35.1", false, 0, 0},
        {"1,2,3", false, 0, 0},
        {"", false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        long double ido = -1, kdo = -1;
        ASSERT_EQ(ParseMarkText(c.text, ido, kdo), c.ok);
        if (!c.ok) continue;
        EXPECT_DOUBLE_EQ(static_cast<double>(ido), c.ido);
        EXPECT_DOUBLE_EQ(static_cast<double>(kdo), c.kdo);
    }
}

// A store of blocks of samples; each sample one step north-east of the last.
struct StoreFixture : ::testing::Test {
    LogStore st;
    StatusList status;

    void SetUp() override { ASSERT_TRUE(st.Allocate()); }

    // Appends n samples one second apart in a new block (a gap of 2 minutes).
    void Block(int n, bool act, double ido0) {
        const double t0 = st.LogItemNum == 0 ? 45000.0 : st.LastLogTm + 120.0 / 86400;
        for (int i = 0; i < n; ++i) {
            TLogItem it;
            it.DtTm = t0 + i / 86400.0;
            it.Ido = ido0 + i * 1e-4;
            it.Kdo = 139.0 + i * 2e-4;
            it.Spd = 40;
            it.sat_used = static_cast<uint8_t>(5 + i);
            st.AppendLogItem(it, status);
        }
        st.LogBlock.last().Act = act;
        st.SetMbActAndRect();
    }
};

TEST_F(StoreFixture, SearchLooksAtTheStartOfTheLastActiveBlock) {
    EXPECT_FALSE(CircuitSearchPos(st));   // empty store
    Block(1, true, 35.0);
    EXPECT_FALSE(CircuitSearchPos(st)) << "a single sample";
    Block(5, true, 36.0);
    Block(5, false, 37.0);
    const std::optional<SearchPos> p = CircuitSearchPos(st);
    ASSERT_TRUE(p);
    EXPECT_DOUBLE_EQ(static_cast<double>(p->ido), 36.0);
    EXPECT_DOUBLE_EQ(static_cast<double>(p->kdo), 139.0);
    const SelRange r = ActiveRange(st);
    EXPECT_EQ(r.first, 0);
    EXPECT_EQ(r.last, 5);

    for (TLogBlock& b : st.LogBlock) b.Act = false;
    st.SetMbActAndRect();
    EXPECT_FALSE(CircuitSearchPos(st));
    EXPECT_TRUE(ActiveRange(st).Single());
    EXPECT_EQ(ActiveRange(st).first, st.LogItemNum - 1);
}

TEST_F(StoreFixture, SelectionRunRecordsKeepActiveSamplesWithTurnedHeading) {
    Block(4, true, 35.0);
    Block(3, false, 35.5);   // left out
    Block(2, true, 36.0);
    const float dirs[] = {0, 180, 270, 90.5f, 10, 20, 30, 359, 180.5f};
    for (int i = 0; i < st.LogItemNum; ++i) st.LogItem[i].Dir = dirs[i];

    const QVector<TLapElmRec> recs = SelectionRunRecords(st);
    ASSERT_EQ(recs.size(), 6);
    const double wantDir[] = {180, 360, 90, 270.5, 179, 0.5};
    const int from[] = {0, 1, 2, 3, 7, 8};
    long double dist = 0;
    for (int k = 0; k < recs.size(); ++k) {
        SCOPED_TRACE(k);
        const TLogItem& it = st.LogItem[from[k]];
        const TLapElmRec& r = recs[k];
        EXPECT_DOUBLE_EQ(static_cast<double>(r.Dir), wantDir[k]);
        EXPECT_EQ(r.DtTm, it.DtTm);
        EXPECT_DOUBLE_EQ(r.Tm, it.DtTm - st.LogItem[0].DtTm);
        EXPECT_NEAR(static_cast<double>(r.Sec), (it.DtTm - st.LogItem[0].DtTm) * 86400, 1e-6);
        EXPECT_EQ(r.UseSat, it.sat_used);
        if (k > 0) {
            // Over the kept samples, the cos of the later one's latitude.
            const TLogItem& pv = st.LogItem[from[k - 1]];
            const long double rad = Pi / 180;
            const long double x = EarthR * std::cos(it.Ido * rad) * (it.Kdo - pv.Kdo) * rad;
            const long double y = EarthR * (it.Ido - pv.Ido) * rad;
            dist += std::sqrt(x * x + y * y) / 1000;
        }
        EXPECT_NEAR(static_cast<double>(r.Dist), static_cast<double>(dist), 1e-12);
    }
    // The bytes are the records one after the other.
    const QByteArray bytes = SelectionRunBytes(st);
    ASSERT_EQ(bytes.size(), 6 * TLapElmRec::Size);
    const TLapElmRec back = ReadLapElm(reinterpret_cast<const uint8_t*>(bytes.constData()) + 5 * TLapElmRec::Size);
    EXPECT_DOUBLE_EQ(static_cast<double>(back.Dir), 0.5);
    EXPECT_EQ(back.UseSat, st.LogItem[8].sat_used);

    // A single active sample gives nothing.
    for (int i = 1; i < st.LogItemNum; ++i) st.LogItem[i].Act = false;
    EXPECT_TRUE(SelectionRunRecords(st).isEmpty());
}

TEST_F(StoreFixture, ShiftMovesEverySample) {
    Block(3, true, 35.0);
    Block(2, false, 36.0);
    ShiftLogItems(st, 1e-5L, -2e-5L);
    EXPECT_DOUBLE_EQ(st.LogItem[0].Ido, 35.0 + 1e-5);
    EXPECT_DOUBLE_EQ(st.LogItem[4].Kdo, 139.0 + 2e-4 - 2e-5);
}

} // namespace
