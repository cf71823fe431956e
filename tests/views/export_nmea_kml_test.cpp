// NMEA sentences (hemispheres, unpadded degrees, minutes carrying into the
// degrees, UTC, checksum) and the KML document (order, colours, elevations,
// the escaped and UTF-8 name), read with QXmlStreamReader.
#include <gtest/gtest.h>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include "common/datetime.h"
#include "views/export/kml.h"
#include "views/export/nmea.h"
#include "support/lap_builder.h"

using namespace vel;
using namespace vel::test;

TEST(Nmea, AnglesHemispheresAndUnpaddedDegrees) {
    struct Case {
        double deg;
        const char* text;
    };
    const Case cases[] = {
        {-33.8675, "3352.050000"},   {151.2070, "15112.420000"}, {5.5, "530.000000"},
        {9.25, "915.000000"},        {0.0, "0.000000"},          {-0.5, "30.000000"},
        // 34 degrees 59.9999999 minutes: the minutes round to 60 and carry.
        {34 + 59.9999999 / 60, "3500.000000"},
        {-(179 + 59.9999996 / 60), "18000.000000"},
    };
    for (const Case& c : cases) EXPECT_EQ(NmeaAngle(c.deg), c.text) << c.deg;

    TLapElmRec e;
    e.DtTm = EncodeDateTime(2015, 6, 1, 8, 30, 0, 250);
    e.Spd = 100;
    struct Hemi {
        double ido, kdo;
        const char* ns;
        const char* ew;
    };
    for (const Hemi& h : {Hemi{-33.8675, 151.2070, "S", "E"}, Hemi{35.0, -0.25, "N", "W"},
                          Hemi{0.0, 0.0, "N", "E"}}) {
        e.Ido = h.ido;
        e.Kdo = h.kdo;
        const QStringList f = RmcSentence(e, -540).split(',');
        ASSERT_EQ(f.size(), 13);
        EXPECT_EQ(f[4], h.ns);
        EXPECT_EQ(f[6], h.ew);
    }
}

TEST(Nmea, SentenceTimeDateSpeedAndChecksum) {
    TLapElmRec e;
    e.DtTm = EncodeDateTime(2015, 6, 1, 8, 30, 0, 250);
    e.Ido = -33.8675L;
    e.Kdo = 151.2070L;
    e.Spd = 100;
    // Local time at a bias of -540 minutes (UTC+9): UTC is the day before.
    const QString s = RmcSentence(e, -540);
    const QString body = "GPRMC,233000.250,A,3352.050000,S,15112.420000,E,54.0,,310515,,,A";
    EXPECT_EQ(s, "$" + body + "*" + NmeaChecksum(body.toLatin1()));
    EXPECT_EQ(NmeaChecksum("GPRMC"), "4B");
    unsigned x = 0;
    for (char c : body.toLatin1()) x ^= uchar(c);
    EXPECT_EQ(s.right(2).toUInt(nullptr, 16), x);
    // Two more sentences, two more lines.
    EXPECT_EQ(NmeaLines({e, e}, 0).size(), 2);
}

namespace {

struct Shown {
    LoadedLaps laps;
    Comparison cmp;
    // n laps of three samples, lap k named "000k", slot k showing lap k.
    explicit Shown(int n) {
        for (int k = 0; k < n; ++k) {
            Drive d;
            d.kdo += k * 0.001L;
            d.elv = k == 0 ? -3.7L : 12.9L;
            TLapDtRec lap;
            lap.DtName = QString("%1").arg(k, 4, 10, QChar('0'));
            lap.Elm = StraightRun(d, 180, 3);
            lap.ElmNum = 3;
            laps.LapDt << lap;
            cmp.DispSlot[k].Active = true;
            cmp.DispSlot[k].LapIdx = k;
        }
        laps.LapDtNum = n;
    }
};

struct KmlRead {
    QString ns, docName;
    QStringList folderNames, colors;
    QList<QStringList> coords;
    bool error = false;
};

KmlRead ReadKml(const QByteArray& bytes) {
    KmlRead out;
    QXmlStreamReader x(bytes);
    QStringList path;
    while (!x.atEnd()) {
        x.readNext();
        if (x.isStartElement()) {
            path << x.name().toString();
            if (x.name() == u"kml") out.ns = x.namespaceUri().toString();
            if (x.name() == u"coordinates") out.coords << QStringList();
        } else if (x.isEndElement()) {
            path.removeLast();
        } else if (x.isCharacters() && !x.isWhitespace()) {
            const QString t = x.text().toString().trimmed();
            const QString at = path.join('/');
            if (at == "kml/Document/name") out.docName = t;
            else if (at == "kml/Document/Folder/name") out.folderNames << t;
            else if (at.endsWith("LineStyle/color")) out.colors << t;
            else if (at.endsWith("coordinates")) out.coords.back() << t.split(QRegularExpression("\\s+"));
        }
    }
    out.error = x.hasError();
    return out;
}

QByteArray Bytes(const QStringList& lines) { return (lines.join("\r\n") + "\r\n").toUtf8(); }

} // namespace

TEST(Kml, FoldersInSlotOrderWithColoursAndTruncatedElevations) {
    const Shown one(1);
    EXPECT_EQ(ReadKml(Bytes(KmlLines("a", one.laps, one.cmp))).folderNames, QStringList{"0000"});

    const Shown four(4);
    const QStringList lines = KmlLines("lap & <b>", four.laps, four.cmp);
    EXPECT_EQ(lines[0], R"(<?xml version="1.0" encoding="UTF-8"?>)");
    EXPECT_EQ(lines[1], R"(<kml xmlns="http://earth.google.com/kml/2.2">)");
    EXPECT_EQ(lines[4], "lap &amp; &lt;b&gt;");
    const KmlRead k = ReadKml(Bytes(lines));
    ASSERT_FALSE(k.error);
    EXPECT_EQ(k.ns, "http://earth.google.com/kml/2.2");
    EXPECT_EQ(k.docName, "lap & <b>");
    EXPECT_EQ(k.folderNames, QStringList({"0000", "0001", "0002", "0003"}));
    EXPECT_EQ(k.colors, QStringList({"AF0000FF", "AFFF0000", "AF808000", "AF008080"}));
    ASSERT_EQ(k.coords.size(), 4);
    const TLapElmRec& e = four.laps.LapDt[0].Elm[1];
    EXPECT_EQ(k.coords[0][1], QString::asprintf("%.7f,%.7f,-3", double(e.Kdo), double(e.Ido)));
    EXPECT_TRUE(k.coords[1][0].endsWith(",12"));
    EXPECT_EQ(k.coords[3].size(), 3);
}

TEST(Kml, NameIsUtf8) {
    const Shown one(1);
    const QString name = QString::fromUtf16(u"\u9234\u9E7F");
    const QByteArray bytes = Bytes(KmlLines(name, one.laps, one.cmp));
    EXPECT_TRUE(bytes.contains(QByteArray("\r\n\xE9\x88\xB4\xE9\xB9\xBF\r\n")));
    EXPECT_EQ(ReadKml(bytes).docName, name);
}

// A file name may hold control characters (U+0001 to U+001F on Linux), which
// XML does not allow in a document and which would break the name's line:
// they are left out of the name, and the document stays well-formed.
TEST(Kml, ControlCharactersLeftOutOfTheName) {
    const Shown one(1);
    const struct Case {
        QString name, shown;
    } cases[] = {
        {QStringLiteral("lap\x01one"), "lapone"},
        {QStringLiteral("\x1f" "a\tb\x0b"), "ab"},
        {QStringLiteral("two\r\nlines"), "twolines"},
        {QStringLiteral("\x07"), ""},
        {QString::fromUtf16(u"\u9234\u0002\u9E7F & <x>"), QString::fromUtf16(u"\u9234\u9E7F & <x>")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown.toStdString());
        const QStringList lines = KmlLines(c.name, one.laps, one.cmp);
        EXPECT_EQ(lines.size(), KmlLines("x", one.laps, one.cmp).size());
        const KmlRead k = ReadKml(Bytes(lines));
        EXPECT_FALSE(k.error);
        EXPECT_EQ(k.docName, c.shown);
        EXPECT_EQ(k.folderNames, QStringList{"0000"});
    }
}
