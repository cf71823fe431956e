// Every export read back by an independent reader: gpsbabel for the KML and
// the NMEA (against the lap's samples, within the written precision),
// pngcheck and zlib for the PNG, QImage for the PNG and the BMP.
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstring>
#include <set>
#include <sys/resource.h>
#include <zlib.h>
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QtEndian>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include "common/datetime.h"
#include "common/textfile.h"
#include "views/export/kml.h"
#include "views/export/nmea.h"
#include "views/export/picture.h"
#include "support/lap_builder.h"
#include "support/test_folders.h"

using namespace vel;
using namespace vel::test;

namespace {

struct Point {
    double lat = 0, lon = 0, ele = NAN;
    QString time;
};

// Runs a tool; its standard output, or a failure naming what went wrong.
bool RunTool(const QString& tool, const QStringList& args, QByteArray* out, QString* why) {
    if (QStandardPaths::findExecutable(tool).isEmpty()) {
        *why = tool + " is missing (scripts/setup.sh installs it)";
        return false;
    }
    QProcess p;
    p.start(tool, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        *why = tool + " failed: " + QString::fromLocal8Bit(p.readAllStandardError());
        return false;
    }
    *out = p.readAllStandardOutput();
    return true;
}

// The track points gpsbabel reads from file in format fmt, through GPX.
std::vector<Point> GpsbabelTrack(const QString& fmt, const QString& file) {
    QByteArray gpx;
    QString why;
    EXPECT_TRUE(RunTool("gpsbabel", {"-t", "-i", fmt, "-f", file, "-o", "gpx", "-F", "-"}, &gpx, &why))
        << why.toStdString();
    std::vector<Point> pts;
    QXmlStreamReader x(gpx);
    QString in;
    while (!x.atEnd()) {
        x.readNext();
        if (x.isStartElement()) {
            if (x.name() == u"trkpt") {
                Point p;
                p.lat = x.attributes().value("lat").toDouble();
                p.lon = x.attributes().value("lon").toDouble();
                pts.push_back(p);
            }
            in = x.name().toString();
        } else if (x.isCharacters() && !pts.empty()) {
            if (in == "ele") pts.back().ele = x.text().toDouble();
            if (in == "time") pts.back().time = x.text().toString();
        } else if (x.isEndElement()) {
            in.clear();
        }
    }
    EXPECT_FALSE(x.hasError()) << x.errorString().toStdString();
    return pts;
}

QVector<TLapElmRec> Lap() {
    Drive d;
    d.ido = -33.8675L;     // south and east: both hemispheres' signs matter
    d.kdo = 151.2070L;
    d.elv = -3.7L;
    d.start = EncodeDateTime(2015, 6, 1, 8, 30, 0, 250);
    QVector<TLapElmRec> recs = CircleLap(d, 60, Turn::Left);
    for (int i = 0; i < recs.size(); ++i) recs[i].Elv = -3.7L + i * 0.31L;
    return recs;
}

// Picture of a pane that draws lines, text and a gradient: every row filter has work to do.
void DrawBusyPane(QPainter& p, const QRect& r) {
    QLinearGradient g(r.topLeft(), r.bottomRight());
    g.setColorAt(0, QColor(20, 40, 200));
    g.setColorAt(1, QColor(250, 200, 10));
    p.fillRect(r.adjusted(r.width() / 2, 0, 0, 0), g);
    for (int i = 0; i < 60; ++i) {
        p.setPen(QColor::fromHsv(i * 6 % 360, 200, 200));
        p.drawLine(0, i * 7, r.width() / 2, r.height() - i * 5);
    }
    p.setPen(Qt::black);
    p.drawText(QRect(10, 10, 300, 40), "速度 120 km/h");
}

struct PngParts {
    QByteArray ihdr, idat;
    bool ok = false;
};

PngParts ReadPngChunks(const QByteArray& png) {
    PngParts out;
    if (!png.startsWith("\x89PNG\r\n\x1a\n")) return out;
    qsizetype at = 8;
    while (at + 12 <= png.size()) {
        const quint32 len = qFromBigEndian<quint32>(png.constData() + at);
        const QByteArray type = png.mid(at + 4, 4);
        if (at + 12 + qsizetype(len) > png.size()) return out;
        const QByteArray data = png.mid(at + 8, len);
        if (type == "IHDR") out.ihdr = data;
        if (type == "IDAT") out.idat += data;
        at += 12 + len;
        if (type == "IEND") out.ok = true;
    }
    return out;
}

QByteArray Inflate(const QByteArray& z) {
    QByteArray out(64 * 1024 * 1024, '\0');
    uLongf n = uLongf(out.size());
    if (uncompress(reinterpret_cast<Bytef*>(out.data()), &n, reinterpret_cast<const Bytef*>(z.constData()),
                   uLong(z.size())) != Z_OK)
        return {};
    out.resize(qsizetype(n));
    return out;
}

QByteArray Deflate(const QByteArray& raw, int level, int windowBits, int strategy) {
    z_stream s{};
    if (deflateInit2(&s, level, Z_DEFLATED, windowBits, 8, strategy) != Z_OK) return {};
    QByteArray out(qsizetype(deflateBound(&s, uLong(raw.size()))), '\0');
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(raw.constData()));
    s.avail_in = uInt(raw.size());
    s.next_out = reinterpret_cast<Bytef*>(out.data());
    s.avail_out = uInt(out.size());
    const int rc = deflate(&s, Z_FINISH);
    out.resize(qsizetype(s.total_out));
    deflateEnd(&s);
    return rc == Z_STREAM_END ? out : QByteArray();
}

} // namespace

TEST(ExportReadBack, KmlThroughGpsbabel) {
    QTemporaryDir tmp;
    LoadedLaps laps;
    Comparison cmp;
    TLapDtRec lap;
    lap.DtName = "0000";
    lap.Elm = Lap();
    lap.ElmNum = int32_t(lap.Elm.size());
    laps.LapDt << lap;
    laps.LapDtNum = 1;
    cmp.DispSlot[0] = {};
    cmp.DispSlot[0].Active = true;
    cmp.DispSlot[0].LapIdx = 0;
    const QString file = tmp.path() + "/lap.kml";
    ASSERT_TRUE(WriteTextLines(file, KmlLines("lap", laps, cmp)));

    const std::vector<Point> pts = GpsbabelTrack("kml", file);
    ASSERT_EQ(pts.size(), size_t(lap.ElmNum));
    for (size_t i = 0; i < pts.size(); ++i) {
        const TLapElmRec& e = lap.Elm[qsizetype(i)];
        EXPECT_NEAR(pts[i].lat, double(e.Ido), 0.6e-7) << i;
        EXPECT_NEAR(pts[i].lon, double(e.Kdo), 0.6e-7) << i;
        EXPECT_EQ(pts[i].ele, std::trunc(double(e.Elv))) << i;
    }
}

TEST(ExportReadBack, NmeaThroughGpsbabel) {
    QTemporaryDir tmp;
    const QVector<TLapElmRec> recs = Lap();
    const QString file = tmp.path() + "/lap.nmea";
    ASSERT_TRUE(WriteTextLines(file, NmeaLines(recs, -540)));

    const std::vector<Point> pts = GpsbabelTrack("nmea", file);
    ASSERT_EQ(pts.size(), size_t(recs.size()));
    for (size_t i = 0; i < pts.size(); ++i) {
        const TLapElmRec& e = recs[qsizetype(i)];
        // Six decimals of minutes: 1e-6 / 60 degrees.
        EXPECT_NEAR(pts[i].lat, double(e.Ido), 1e-8) << i;
        EXPECT_NEAR(pts[i].lon, double(e.Kdo), 1e-8) << i;
        // UTC is nine hours before the local time.
        const QString utc = FormatDateTime("yyyy-mm-ddThh:nn:ss", e.DtTm - 9.0 / 24);
        const QString ms = FormatDateTime("zzz", e.DtTm);
        EXPECT_TRUE(pts[i].time.startsWith(utc)) << pts[i].time.toStdString() << " vs " << utc.toStdString();
        if (ms != "000") {
            EXPECT_TRUE(pts[i].time.contains("." + ms)) << pts[i].time.toStdString();
        }
    }
}

TEST(ExportReadBack, PngPassesPngcheckAtLevelFiveWithEveryFilterAndDecodesBack) {
    QTemporaryDir tmp;
    const QImage img = PanePicture(QSize(640, 400), DrawBusyPane);
    const QString file = tmp.path() + "/pane.png";
    ASSERT_TRUE(WritePicture(img, PictureFormat::Png, file));

    QByteArray out;
    QString why;
    ASSERT_TRUE(RunTool("pngcheck", {"-vv", file}, &out, &why)) << why.toStdString();
    EXPECT_TRUE(out.contains("No errors detected")) << out.toStdString();

    const PngParts png = ReadPngChunks(ReadFile(file));
    ASSERT_TRUE(png.ok);
    ASSERT_EQ(png.ihdr.size(), 13);
    const int colorType = uchar(png.ihdr[9]);
    const int bpp = colorType == 6 ? 4 : 3;
    ASSERT_TRUE(colorType == 2 || colorType == 6) << colorType;
    const QByteArray raw = Inflate(png.idat);
    ASSERT_EQ(raw.size(), qsizetype(400) * (1 + 640 * bpp));
    // The encoder chose among all five filters row by row.
    std::set<int> filters;
    for (int row = 0; row < 400; ++row) filters.insert(uchar(raw[qsizetype(row) * (1 + 640 * bpp)]));
    EXPECT_GE(filters.size(), 3u);
    for (int f : filters) EXPECT_LE(f, 4);
    // The stream is zlib's level 5 deflate of those rows, and not level 6's.
    const int windowBits = (uchar(png.idat[0]) >> 4) + 8;
    bool level5 = false, level6 = false;
    for (int strategy : {Z_DEFAULT_STRATEGY, Z_FILTERED}) {
        level5 = level5 || Deflate(raw, 5, windowBits, strategy) == png.idat;
        level6 = level6 || Deflate(raw, 6, windowBits, strategy) == png.idat;
    }
    EXPECT_TRUE(level5);
    EXPECT_FALSE(level6);

    QImage back(file);
    ASSERT_FALSE(back.isNull());
    EXPECT_EQ(back.convertToFormat(QImage::Format_RGB32), img);
}

TEST(ExportReadBack, BmpDecodesBackIdentical) {
    QTemporaryDir tmp;
    const QImage img = PanePicture(QSize(333, 201), DrawBusyPane);
    const QString file = tmp.path() + "/pane.bmp";
    ASSERT_TRUE(WritePicture(img, PictureFormat::Bmp, file));
    EXPECT_TRUE(ReadFile(file).startsWith("BM"));
    const QImage back(file);
    ASSERT_FALSE(back.isNull());
    EXPECT_EQ(back.convertToFormat(QImage::Format_RGB32), img);
}

TEST(ExportReadBack, PictureIsWhiteWhereThePaneDrawsNothing) {
    const QImage blank = PanePicture(QSize(20, 10), {});
    EXPECT_EQ(blank.size(), QSize(20, 10));
    EXPECT_EQ(blank.pixel(19, 9), qRgb(255, 255, 255));
    // A pane without size still gives a picture to save.
    EXPECT_EQ(PanePicture(QSize(0, 0), {}).size(), QSize(1, 1));
}

TEST(ExportReadBack, FailedWriteLeavesTheOldFileWhole) {
    QTemporaryDir tmp;
    const QString file = tmp.path() + "/pane.png";
    WriteFile(file, "old picture");
    // A null image cannot be written: the writer fails and nothing is replaced.
    QString error;
    EXPECT_FALSE(WritePicture(QImage(), PictureFormat::Png, file, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(ReadFile(file), QByteArray("old picture"));
}

namespace {

// Files may grow to `bytes` at most while the object lives; a write past it
// fails with EFBIG (the signal it would raise is ignored meanwhile).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        oldSignal_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &old_);
        rlimit lim = old_;
        lim.rlim_cur = bytes;
        set_ = setrlimit(RLIMIT_FSIZE, &lim) == 0;
    }
    ~FileSizeLimit() {
        if (set_) setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldSignal_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool set() const { return set_; }

private:
    rlimit old_{};
    void (*oldSignal_)(int) = SIG_DFL;
    bool set_ = false;
};

} // namespace

TEST(ExportReadBack, WriteErrorGivesTheSystemsReasonAndKeepsTheOldFile) {
    // A full disk or a file size limit: both formats say why, in the
    // system's words, as the disk said it.
    const QImage img = PanePicture(QSize(600, 400), DrawBusyPane);
    for (const PictureFormat format : {PictureFormat::Png, PictureFormat::Bmp}) {
        SCOPED_TRACE(format == PictureFormat::Png ? "png" : "bmp");
        QTemporaryDir tmp;
        const QString file = tmp.path() + "/pane.pic";
        WriteFile(file, "old picture");
        QString error;
        bool written = true;
        {
            FileSizeLimit limit(4096);
            ASSERT_TRUE(limit.set());
            written = WritePicture(img, format, file, &error);
        }
        EXPECT_FALSE(written);
        EXPECT_TRUE(error.contains(QString::fromLocal8Bit(std::strerror(EFBIG)))) << error.toStdString();
        EXPECT_EQ(ReadFile(file), QByteArray("old picture"));
        EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files), QStringList{"pane.pic"});
    }
}
