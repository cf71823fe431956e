#include <gtest/gtest.h>
#include "logger/framing.h"

using namespace vel;

TEST(Framing, SentenceRoundTrip) {
    struct Case { const char* body; const char* framed; };
    const Case cases[] = {
        {"PMTK605", "$PMTK605*31\r\n"},
        {"PMTK182,7,00010000,800", nullptr},
        {"PTSI777,2,30.00", nullptr},
        {"", "$*00\r\n"},
    };
    for (const Case& c : cases) {
        const QByteArray framed = FrameSentence(c.body);
        if (c.framed) {
            EXPECT_EQ(framed, QByteArray(c.framed)) << c.body;
        }
        // What one side frames the other accepts.
        const QByteArray line = framed.chopped(2);
        EXPECT_EQ(CheckFrame(line), FrameCheck::Ok) << c.body;
    }
}

TEST(Framing, FrameChecks) {
    const QByteArray good = FrameSentence("PMTK705,QK4,V1,K").chopped(2);
    QByteArray lower = good;
    lower[lower.size() - 1] = 'e';
    QByteArray wrong = good;
    wrong[wrong.size() - 1] = 'F';
    struct Case { QByteArray line; FrameCheck want; };
    const Case cases[] = {
        {good, FrameCheck::Ok},
        {wrong, FrameCheck::BadSum},
        {lower, FrameCheck::BadSum},   // the logger writes upper case only
        {"$PMTK705,QK4,V1", FrameCheck::NoStar},
        {"$PMTK705,QK4,V1*3", FrameCheck::NoStar},
        {"$*", FrameCheck::NoStar},
        {"", FrameCheck::NoStar},
    };
    ASSERT_TRUE(good.endsWith("*1E"));
    for (const Case& c : cases) EXPECT_EQ(CheckFrame(c.line), c.want) << c.line.constData();
}

TEST(Framing, Routing) {
    EXPECT_EQ(RouteLine("$PMTK001,605,3*hh"), LineRoute::Pmtk);
    EXPECT_EQ(RouteLine("$PTSI777,1,30.00*hh"), LineRoute::Ptsi);
    for (const char* p : {"$GPRMC,1", "$GNGGA,1", "$GAGSV", "$GLGSV", "$GMX"})
        EXPECT_EQ(RouteLine(p), LineRoute::Nmea) << p;
    for (const char* p : {"$GSA", "$PXYZ", "PMTK001", ""})
        EXPECT_EQ(RouteLine(p), LineRoute::Drop) << p;
}

TEST(LineAssembler, LinesBreaksAndCuts) {
    LineAssembler a;
    auto feed = [&](const QByteArray& bytes, std::vector<std::pair<LineAssembler::Event, QByteArray>>& out) {
        for (char c : bytes) {
            const auto ev = a.Feed(c);
            if (ev == LineAssembler::Event::Line) out.push_back({ev, a.Line()});
            else if (ev != LineAssembler::Event::None) out.push_back({ev, a.Broken()});
        }
    };
    std::vector<std::pair<LineAssembler::Event, QByteArray>> out;
    feed("$PMTK001,605,3*33\r\n$GPRMC,1\r\n", out);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].second, "$PMTK001,605,3*33");
    EXPECT_EQ(out[1].second, "$GPRMC,1");

    // A "$" inside a partial line reports it and starts over.
    out.clear();
    feed("$PMTK70$PMTK705,X*00\r", out);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].first, LineAssembler::Event::Broken);
    EXPECT_EQ(out[0].second, "$PMTK70");
    EXPECT_EQ(out[1].second, "$PMTK705,X*00");

    // A reply partly received is known as such; a position sentence is not.
    out.clear();
    feed("$PMTK182,8,", out);
    EXPECT_TRUE(a.ReplyInProgress());
    feed("\r$GPRMC", out);
    EXPECT_FALSE(a.ReplyInProgress());
    feed("\r", out);

    // An endless line is cut at the buffer's size, once, and the next line is whole.
    out.clear();
    feed("$PMTK" + QByteArray(MaxLineLen + 100, 'A') + "\r$PTSI009,1*00\r", out);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].first, LineAssembler::Event::Cut);
    EXPECT_EQ(out[1].first, LineAssembler::Event::Line);
    EXPECT_EQ(out[1].second, "$PTSI009,1*00");
    EXPECT_LT(a.Partial().size(), MaxLineLen);
}
