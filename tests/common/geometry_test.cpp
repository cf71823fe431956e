#include <cmath>
#include <cstdint>
#include <vector>
#include <gtest/gtest.h>
#include "common/geometry.h"

namespace vel {
namespace {

constexpr long double Unset = -999.0L;
constexpr long double E = GeomEps;

struct Pt {
    long double x, y;
};

TEST(Geometry, SegCross) {
    struct Case {
        const char* name;
        Pt a1, a2, b1, b2;   // line A, then step B
        bool crosses;
        Pt at;
    };
    const Case cases[] = {
        {"step of no length on the line", {0, -1}, {0, 1}, {0, 0}, {0, 0}, false, {}},
        {"step of no length off the line", {0, -1}, {0, 1}, {5, 5}, {5, 5}, false, {}},
        // A line of no length would otherwise pass the end test for every step.
        {"line of no length, step through it", {1, 1}, {1, 1}, {0, 0}, {2, 2}, false, {}},
        {"line of no length, step far away", {1, 1}, {1, 1}, {5, 0}, {6, 0}, false, {}},
        {"line of no length, step ending on it", {1, 1}, {1, 1}, {0, 0}, {1, 1}, false, {}},
        {"line shorter than the tolerance", {1, 1}, {1 + E / 2, 1}, {0, 0}, {2, 2}, false, {}},
        {"sloping step over a vertical line", {1, 0}, {1, 2}, {0, 0}, {2, 2}, true, {1, 1}},
        {"sloping step over a horizontal line", {0, 1}, {2, 1}, {0, 0}, {2, 2}, true, {1, 1}},
        {"step along x over a vertical line", {1, -1}, {1, 1}, {0, 0}, {2, 0}, true, {1, 0}},
        {"step along y over a horizontal line", {-1, 1}, {1, 1}, {0, 0}, {0, 2}, true, {0, 1}},
        {"step against x over a vertical line", {1, -1}, {1, 1}, {2, 0.5L}, {0, 0.5L}, true, {1, 0.5L}},
        {"sloping line and sloping step", {0, 0}, {4, 4}, {0, 4}, {4, 0}, true, {2, 2}},
        {"step short of the line", {1, -1}, {1, 1}, {0, 0}, {0.5L, 0}, false, {}},
        {"step over the line beyond its end", {1, -1}, {1, 1}, {0, 3}, {2, 3}, false, {}},
        {"parallel, apart", {0, 0}, {2, 0}, {0, 1}, {2, 1}, false, {}},
        {"parallel vertical, apart", {0, 0}, {0, 2}, {1, 0}, {1, 2}, false, {}},
        {"step ending on the line", {1, -1}, {1, 1}, {0, 0}, {1, 0}, true, {1, 0}},
        {"step starting on the line", {1, -1}, {1, 1}, {1, 0}, {2, 0}, true, {1, 0}},
        {"step ending on the line's extension", {1, -1}, {1, 1}, {0, 5}, {1, 5}, false, {}},
        {"step starting on the line's extension", {1, -1}, {1, 1}, {1, -5}, {2, -5}, false, {}},
        {"collinear overlapping", {0, 0}, {2, 0}, {1, 0}, {3, 0}, true, {1, 0}},
        // |a| equal to the tolerance and a horizontal step: the formula that
        // divides by a must be taken, not the one dividing by d = 0.
        {"slope term at the tolerance", {-1, 0}, {1, E}, {-0.5L, E / 2}, {0.5L, E / 2}, true, {0, E / 2}},
        {"a sample step over a line at 35 N",
         {139.0000L, 35.0001L}, {139.0002L, 35.0001L},
         {139.0001L, 35.00005L}, {139.0001L, 35.00015L}, true, {139.0001L, 35.0001L}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        long double x = Unset, y = Unset;
        const bool got = SegCross(x, y, c.a1.x, c.a1.y, c.a2.x, c.a2.y, c.b1.x, c.b1.y, c.b2.x, c.b2.y);
        ASSERT_EQ(got, c.crosses);
        if (c.crosses) {
            EXPECT_NEAR(static_cast<double>(x), static_cast<double>(c.at.x), 1e-12);
            EXPECT_NEAR(static_cast<double>(y), static_cast<double>(c.at.y), 1e-12);
            EXPECT_TRUE(std::isfinite(x) && std::isfinite(y));
        } else {
            EXPECT_EQ(x, Unset);
            EXPECT_EQ(y, Unset);
        }
    }
}

TEST(Geometry, SegCrossReportsALineThroughASampleOnBothSteps) {
    // Samples 0 -> 1 -> 2 with sample 1 exactly on the line.
    const Pt s0{0, 0}, s1{1, 0}, s2{2, 0};
    long double x = Unset, y = Unset;
    ASSERT_TRUE(SegCross(x, y, 1, -1, 1, 1, s0.x, s0.y, s1.x, s1.y));
    EXPECT_EQ(x, 1.0L);
    x = y = Unset;
    ASSERT_TRUE(SegCross(x, y, 1, -1, 1, 1, s1.x, s1.y, s2.x, s2.y));
    EXPECT_EQ(x, 1.0L);
    EXPECT_EQ(y, 0.0L);
}

// The quick test never turns away a step SegCross takes: the table's steps
// touching the line's ends, running along it or over its box's edge, and
// random steps around lines of every direction, sample-sized at 35 N.
TEST(Geometry, SegmentBoxClearsNoStepThatCrosses) {
    struct Step {
        Pt a1, a2, b1, b2;
    };
    std::vector<Step> steps = {
        {{1, -1}, {1, 1}, {0, 1}, {1, 1}},              // ending on the line's end
        {{1, -1}, {1, 1}, {1, -1}, {2, -2}},            // starting on the other end
        {{0, 0}, {2, 0}, {2, 0}, {3, 0}},               // collinear, touching the end
        {{0, 0}, {2, 0}, {-1, 0}, {3, 0}},              // collinear, over all of it
        {{0, 0}, {0, 2}, {0, 2}, {0, 3}},               // vertical, end to end
        {{0, 0}, {2, 0}, {1, E / 2}, {1, -E / 2}},      // a step within the tolerance
        {{0, 0}, {2, 0}, {2 + E / 2, 1}, {2 + E / 2, -1}},   // over the line's end by less than the tolerance
    };
    uint64_t r = 88172645463325252ull;
    const auto next = [&] {   // xorshift: the same steps on every run
        r ^= r << 13;
        r ^= r >> 7;
        r ^= r << 17;
        return static_cast<long double>(r % 2000001) / 1000000.0L - 1.0L;   // -1 .. 1
    };
    for (int k = 0; k < 20000; ++k) {
        const long double cx = 139.7L, cy = 35.6L, s = 1e-4L;   // about 10 m
        const Pt a1{cx + s * next(), cy + s * next()}, a2{cx + s * next(), cy + s * next()};
        Pt b1{cx + s * next(), cy + s * next()}, b2{cx + s * next(), cy + s * next()};
        if (k % 4 == 0) b1 = a1;   // on an end
        if (k % 7 == 0) b2 = {a1.x + (a2.x - a1.x) * 1.5L, a1.y + (a2.y - a1.y) * 1.5L};   // on the extension
        steps.push_back({a1, a2, b1, b2});
    }
    int crossed = 0;
    for (const Step& t : steps) {
        long double x = 0, y = 0;
        if (!SegCross(x, y, t.a1.x, t.a1.y, t.a2.x, t.a2.y, t.b1.x, t.b1.y, t.b2.x, t.b2.y)) continue;
        ++crossed;
        const SegmentBox box(t.a1.x, t.a1.y, t.a2.x, t.a2.y);
        EXPECT_FALSE(box.Clear(static_cast<double>(t.b1.x), static_cast<double>(t.b1.y), static_cast<double>(t.b2.x),
                               static_cast<double>(t.b2.y)))
            << static_cast<double>(t.b1.x) << "," << static_cast<double>(t.b1.y);
    }
    EXPECT_GT(crossed, 2000);   // the random steps cross often enough to mean something
    // And it does clear steps well away.
    EXPECT_TRUE(SegmentBox(0, 0, 1, 0).Clear(2, 1, 3, 1));
    EXPECT_FALSE(SegmentBox(0, 0, 1, 0).Clear(0.5, 1, 0.5, -1));
}

TEST(Geometry, InterpDir) {
    struct Case {
        const char* name;
        long double v, va, vb, ha, hb;
        long double heading;
    };
    const Case cases[] = {
        {"350 to 10 wraps to 0", 0.5L, 0, 1, 350, 10, 0},
        {"10 to 350 wraps to 0", 0.5L, 0, 1, 10, 350, 0},
        {"0 to 180 does not wrap", 0.5L, 0, 1, 0, 180, 90},
        {"0 to 190 goes through 360", 0.5L, 0, 1, 0, 190, 275},
        {"350 to 10 at a quarter", 0.25L, 0, 1, 350, 10, 355},
        {"350 to 10 at three quarters", 0.75L, 0, 1, 350, 10, 5},
        {"10 to 350 at a quarter", 0.25L, 0, 1, 10, 350, 5},
        {"10 to 350 at three quarters", 0.75L, 0, 1, 10, 350, 355},
        {"plain step in seconds", 12.3L, 12.2L, 12.4L, 90, 100, 95},
        {"at the first end", 3, 3, 4, 350, 10, 350},
        {"at the second end", 4, 3, 4, 20, 40, 40},
        {"equal ends give the first heading", 5, 5, 5, 350, 10, 350},
        {"not clamped: extrapolates", 2, 0, 1, 10, 20, 30},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const long double h = InterpDir(c.v, c.va, c.vb, c.ha, c.hb);
        EXPECT_NEAR(static_cast<double>(h), static_cast<double>(c.heading), 1e-12);
    }
}

TEST(Geometry, InterpolationWithEqualEndsTakesTheFirstEnd) {
    EXPECT_EQ(InterpVal(7, 7, 7, 1.5L, 9.5L), 1.5L);
    long double x = Unset, y = Unset;
    InterpPt(7, 7, 7, 139.1L, 35.1L, 139.2L, 35.2L, x, y);
    EXPECT_EQ(x, 139.1L);
    EXPECT_EQ(y, 35.1L);
}

TEST(Geometry, InterpolationAlongAStep) {
    EXPECT_NEAR(static_cast<double>(InterpVal(1.25L, 1, 2, 100, 200)), 125.0, 1e-12);
    EXPECT_NEAR(static_cast<double>(InterpVal(3, 1, 2, 100, 200)), 300.0, 1e-12);   // extrapolates
    long double x = Unset, y = Unset;
    InterpPt(0.1L, 0, 0.4L, 139.0L, 35.0L, 139.0004L, 35.0008L, x, y);
    EXPECT_NEAR(static_cast<double>(x - 139.0L), 0.0001, 1e-15);
    EXPECT_NEAR(static_cast<double>(y - 35.0L), 0.0002, 1e-15);
}

TEST(Geometry, PtDist) {
    EXPECT_EQ(PtDist(139.1L, 35.2L, 139.1L, 35.2L), 0.0L);
    EXPECT_NEAR(static_cast<double>(PtDist(1, 2, 4, 6)), 5.0, 1e-15);
    EXPECT_NEAR(static_cast<double>(PtDist(4, 6, 1, 2)), 5.0, 1e-15);
}

} // namespace
} // namespace vel
