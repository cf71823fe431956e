// The player's subtitles and the display of sound-only files, with clips
// made by ffmpeg and the system's FFmpeg and SDL.
#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <mutex>
#include <set>
#include <vector>
#include "support/pump_until.h"
#include "video/engine/ff_logger.h"
#include "video/engine/player.h"
#include "video_fixtures.h"
#include "video_support.h"

using namespace vel::video;
using vel::TPlayState;

namespace {

// A VobSub pair (base.idx, base.sub) with one subtitle: a solid rectangle of
// colour rgb over [x0, x1] x [y0, y1] from startMs, for durationMs.
bool WriteVobSub(const QString& base, int x0, int y0, int x1, int y1, int startMs, int durationMs, uint32_t rgb) {
    auto be16 = [](QByteArray& b, int v) {
        b.append(char(v >> 8));
        b.append(char(v & 0xff));
    };
    // Subpicture unit: 2-bit run-length rows ("00 01": colour 1 to the end
    // of the row), both fields from the same rows, then two control
    // sequences: show with colour 1 opaque, hide after the duration.
    QByteArray rows;
    for (int i = 0; i < (y1 - y0 + 2) / 2; ++i) rows.append("\x00\x01", 2);
    const int seq0At = 4 + int(rows.size());
    QByteArray seq0;
    const int seq1At = seq0At + 4 + 3 + 3 + 7 + 5 + 2;
    be16(seq0, 0);
    be16(seq0, seq1At);
    seq0.append("\x03\x00\x10", 3);  // colour 1 -> palette entry 1
    seq0.append("\x04\x00\xf0", 3);  // colour 1 opaque, the rest clear
    seq0.append('\x05');
    seq0.append(char(x0 >> 4)).append(char(((x0 & 15) << 4) | (x1 >> 8))).append(char(x1 & 0xff));
    seq0.append(char(y0 >> 4)).append(char(((y0 & 15) << 4) | (y1 >> 8))).append(char(y1 & 0xff));
    seq0.append('\x06');
    be16(seq0, 4);
    be16(seq0, 4);
    seq0.append("\x01\xff", 2);
    QByteArray seq1;
    be16(seq1, durationMs * 90 / 1024);  // in units of 1024/90 ms
    be16(seq1, seq1At);
    seq1.append("\x02\xff", 2);
    QByteArray spu;
    be16(spu, 4 + int(rows.size() + seq0.size() + seq1.size()));
    be16(spu, seq0At);
    spu += rows + seq0 + seq1;
    // One MPEG program stream pack with the unit in private stream 1.
    const int64_t pts = int64_t(startMs) * 90;
    QByteArray pes("\x81\x80\x05", 3);
    pes.append(char(0x21 | ((pts >> 29) & 0x0e))).append(char((pts >> 22) & 0xff));
    pes.append(char(((pts >> 14) & 0xfe) | 1)).append(char((pts >> 7) & 0xff)).append(char(((pts << 1) & 0xfe) | 1));
    pes.append('\x20');  // subtitle stream 0
    pes += spu;
    QByteArray sub("\x00\x00\x01\xba\x44\x00\x04\x00\x04\x01\x01\x89\xc3\xf8\x00\x00\x01\xbd", 18);
    be16(sub, int(pes.size()));
    sub += pes;
    QFile subFile(base + ".sub"), idxFile(base + ".idx");
    if (!subFile.open(QIODevice::WriteOnly) || subFile.write(sub) != sub.size()) return false;
    if (!idxFile.open(QIODevice::WriteOnly)) return false;
    QStringList palette{"000000", QString::asprintf("%06x", rgb)};
    while (palette.size() < 16) palette << "000000";
    const int s = startMs / 1000, ms = startMs % 1000;
    const QString idx = QStringLiteral("# VobSub index file, v7 (do not modify this line!)\n"
                                       "size: 128x96\npalette: %1\nid: en, index: 0\n"
                                       "timestamp: 00:00:%2:%3, filepos: 000000000\n")
                            .arg(palette.join(", "))
                            .arg(s, 2, 10, QChar('0'))
                            .arg(ms, 3, 10, QChar('0'));
    return idxFile.write(idx.toLatin1()) > 0;
}

struct Shown {
    int64_t pts;
    std::vector<uint8_t> bits;
    int width, stride;
    // BGRA of the pixel at x, y.
    uint32_t At(int x, int y) const {
        const uint8_t* p = bits.data() + size_t(y) * size_t(stride) + size_t(x) * 4;
        return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    }
};

// A player whose pictures, positions and states are kept.
struct Recorder {
    std::mutex m;
    std::vector<Shown> shown;         // in the player's thread
    std::vector<int64_t> positions;   // on the main thread
    std::vector<TPlayState> states;
    int openW = 0;
    TFFPlayer player;  // last: it goes first

    Recorder() {
        player.AudioDriver = TAudioDriver::adDummy;
        player.OnState = [this](QObject*, TPlayState s) { states.push_back(s); };
        player.OnPosition = [this](QObject*, int64_t p) { positions.push_back(p); };
        player.OnFileOpen = [this](QObject*, int64_t, int w, int, int&, int&) { openW = w; };
    }
    TPictureSink Sink() {
        return [this](std::shared_ptr<const TVideoPicture> pic) {
            std::lock_guard<std::mutex> lock(m);
            shown.push_back({pic->PTS, pic->Bits, pic->Width, pic->Stride});
        };
    }
    std::vector<Shown> Pictures() {
        std::lock_guard<std::mutex> lock(m);
        return shown;
    }
    bool Ended(int times) const { return std::count(states.begin(), states.end(), TPlayState::psEnd) >= times; }
    bool WaitForEnd(int times = 1, int ms = 20000) { return vel::test::PumpUntil([&] { return Ended(times); }, ms); }
};

class PlayerExtras : public vel::test::ClipFolderSuite<PlayerExtras> {
protected:
    static void SetUpTestSuite() {
        dir_ = new QTemporaryDir;
        const QString d = dir_->path();
        ASSERT_TRUE(WriteVobSub(d + "/box", 32, 24, 95, 71, 500, 1500, kMagenta));
        QFile srt(d + "/text.srt");
        ASSERT_TRUE(srt.open(QIODevice::WriteOnly));
        srt.write("1\n00:00:00,500 --> 00:00:02,000\nA line of text\n\n");
        srt.close();
        const QString grey = "color=c=0x808080:s=128x96:r=25:d=3,format=yuv420p";
        const QStringList jobs[] = {
            {"-f", "lavfi", "-i", grey, "-i", "box.idx", "-map", "0:v", "-map", "1:s", "-c:v", "mpeg4", "-q:v", "2",
             "-c:s", "copy", "bitmap.mkv"},
            {"-f", "lavfi", "-i", grey, "-i", "text.srt", "-map", "0:v", "-map", "1:s", "-c:v", "mpeg4", "-q:v", "2",
             "-c:s", "srt", "text.mkv"},
            {"-f", "lavfi", "-i",
             "aevalsrc=exprs='0.8*sin(2*PI*(200+300*t)*t)|0.4*sin(2*PI*600*t)':s=44100:d=1.5", "-c:a", "aac",
             "sound.m4a"},
        };
        for (const QStringList& j : jobs) {
            const QString err = vel::test::RunFfmpeg(d, j);
            ASSERT_TRUE(err.isEmpty()) << err.toStdString();
        }
    }
    static constexpr uint32_t kMagenta = 0xff00ff;
};

bool IsGrey(uint32_t c) {
    const int r = int(c >> 16), g = int((c >> 8) & 0xff), b = int(c & 0xff);
    return std::abs(r - 0x80) < 8 && std::abs(g - 0x80) < 8 && std::abs(b - 0x80) < 8;
}

} // namespace

// A bitmap subtitle lies over the pictures of its time (0.5 to 2.0 s) and
// no others, in its place on the video at whatever size the pictures are
// shown; a text subtitle is not drawn; both play to the end.
TEST_F(PlayerExtras, SubtitlesOverThePicturesOfTheirTime) {
    struct {
        const char* file;
        bool drawn;
    } cases[] = {{"bitmap.mkv", true}, {"text.mkv", false}};
    const double scales[] = {1, 2, 0.5};  // 1: no shown size known, the video's own
    for (const auto& c : cases) {
        for (const double k : scales) {
            SCOPED_TRACE(std::string(c.file) + " at x" + std::to_string(k));
            Recorder r;
            if (k != 1) {
                auto shown = std::make_shared<TShownSize>();
                shown->Set(int(128 * k), int(96 * k));
                r.player.ShownSize = shown;
            }
            ASSERT_TRUE(r.player.LoadAVLib(vel::test::LibAVFolder()));
            ASSERT_TRUE(r.player.Open(File(c.file), r.Sink())) << r.player.LastErrMsg().toStdString();
            ASSERT_TRUE(r.WaitForEnd());
            const auto pics = r.Pictures();
            ASSERT_GE(pics.size(), 70u);  // video only: nothing is dropped
            auto at = [k](const Shown& s, int x, int y) { return s.At(int(x * k), int(y * k)); };
            int inside = 0;
            for (const Shown& s : pics) {
                SCOPED_TRACE(s.pts);
                ASSERT_EQ(s.width, int(128 * k));
                EXPECT_TRUE(IsGrey(at(s, 10, 10)));  // outside the box, always the picture
                EXPECT_TRUE(IsGrey(at(s, 28, 48)));  // just left of it
                const bool due = s.pts >= 500000 && s.pts < 2000000;
                const uint32_t centre = at(s, 64, 48);
                if (c.drawn && due) {
                    EXPECT_EQ(centre, kMagenta) << std::hex << centre;
                    EXPECT_EQ(at(s, 36, 48), kMagenta);  // just inside its left edge
                    inside += centre == kMagenta;
                } else if (s.pts < 440000 || s.pts > 2060000 || !c.drawn) {
                    EXPECT_TRUE(IsGrey(centre)) << std::hex << centre;
                }
            }
            // The pictures at 1.0 s and near 2.5 s were among those checked.
            auto has = [&](int64_t pts) {
                return std::any_of(pics.begin(), pics.end(), [&](const Shown& s) { return s.pts == pts; });
            };
            EXPECT_TRUE(has(1000000));
            EXPECT_TRUE(has(2480000));
            if (c.drawn) {
                EXPECT_GE(inside, 30);
            }
        }
    }
}

// A file with sound and no pictures shows its spectrum (unless asked for
// the waveform, or nothing) in pictures that change while it plays; its
// position only moves forward.
TEST_F(PlayerExtras, SoundOnlyFilesShowTheirSound) {
    struct {
        int mode;
        bool pictures;
    } cases[] = {{-1, true}, {1, true}, {0, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        Recorder r;
        r.player.ShowMode = c.mode;
        ASSERT_TRUE(r.player.LoadAVLib(vel::test::LibAVFolder()));
        ASSERT_TRUE(r.player.Open(File("sound.m4a"), r.Sink())) << r.player.LastErrMsg().toStdString();
        EXPECT_EQ(r.openW, -1);
        ASSERT_TRUE(r.WaitForEnd());
        ASSERT_GE(r.positions.size(), 10u);
        for (size_t i = 1; i < r.positions.size(); ++i) EXPECT_GE(r.positions[i], r.positions[i - 1]) << "at " << i;
        EXPECT_GE(r.positions.back(), 1400000);
        const auto pics = r.Pictures();
        if (!c.pictures) {
            EXPECT_TRUE(pics.empty());
            continue;
        }
        ASSERT_GE(pics.size(), 10u);
        std::set<std::vector<uint8_t>> distinct;
        int lit = 0;
        for (const Shown& s : pics) {
            distinct.insert(s.bits);
            bool any = false;
            for (size_t i = 0; i < s.bits.size() && !any; ++i) any = i % 4 != 3 && s.bits[i] > 0;
            lit += any;
        }
        EXPECT_GE(distinct.size(), pics.size() / 2);
        EXPECT_GE(lit, int(pics.size()) / 2);  // the sound is drawn, not only black
        for (size_t i = 1; i < pics.size(); ++i) EXPECT_GE(pics[i].pts, pics[i - 1].pts);
        if (c.mode != -1) continue;
        // A seek back: the position follows it back once, then moves on to the end again.
        const size_t before = r.positions.size();
        r.player.Seek(500000, sfBackward, true);
        ASSERT_TRUE(r.WaitForEnd(2));
        const std::vector<int64_t> after(r.positions.begin() + long(before), r.positions.end());
        const auto back = std::find_if(after.begin(), after.end(), [](int64_t p) { return p < 700000; });
        ASSERT_NE(back, after.end());
        EXPECT_GE(*back, 400000);
        for (auto i = back + 1; i < after.end(); ++i) EXPECT_GE(*i, *(i - 1));
        EXPECT_EQ(after.back(), r.player.Duration());
    }
}
