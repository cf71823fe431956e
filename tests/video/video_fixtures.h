#pragma once
// Test videos made with the ffmpeg command into a test's own folder.
#include <QString>
#include <QStringList>
#include <vector>

namespace vel::test {

// Runs "ffmpeg -nostdin -v error -y <args>" in folder; empty on success,
// else ffmpeg's message.
QString RunFfmpeg(const QString& folder, const QStringList& args);

// A lavfi source of numbered frames: frame N has luma 16 + 8 N + x / 8 and
// grey chroma, so its number reads back from any pixel (N < 26).
QString NumberedSource(int width, int height, int fps, double seconds);

// Flat numbered frames: frame N has luma 16 + 4 N everywhere (N < 55).
QString FlatNumberedSource(int width, int height, int fps, double seconds);

// Frame number of a shown grey BGRA pixel of a flat numbered frame.
int FrameNumberOfGrey(int grey);

// Frames numbered in black and white blocks: eight blocks side by side,
// block b white when bit b of the frame number is set (N < 256). The blocks
// come through lossy codecs, 10-bit depths and any picture size.
QString BlockNumberedSource(int width, int height, int fps, double seconds);

// Frame number of a shown BGRA picture of block numbered frames, read at the
// centre of each block on the middle row.
int FrameNumberOfBlocks(const unsigned char* bgra, int width, int height, int stride);

// Clips of block numbered frames as cameras write them, 160 x 96 at 30
// frames a second for 4 s, a key frame every 30 frames (one only in the
// 10-bit clip). The MPEG-TS clip starts at 10 s and carries sound.
struct SeekClip {
    QString file;
    QStringList args;  // for RunFfmpeg
};
std::vector<SeekClip> SeekClips();
constexpr int SeekClipFps = 30;

// Makes a clip; empty on success, else why not. Skipped() tells a missing
// encoder of the system's ffmpeg from a failure.
QString MakeClip(const QString& folder, const SeekClip& clip);
inline bool Skipped(const QString& why) { return why.startsWith(QStringLiteral("skip: ")); }

// How many bytes from its start FFmpeg's scaler writes into a w x h picture
// of dstFmt with rows of dstStride bytes, converting from srcFmt with the
// scaler flags: past the last row where it writes whole vector blocks. The
// source is srcW x srcH (0: w x h).
size_t ScalerReach(int srcFmt, int dstFmt, int w, int h, int dstStride, int flags, int srcW = 0, int srcH = 0);

// Frame number of a luma sample at column x.
inline int FrameNumberOf(int luma, int x) { return (luma - 16 - x / 8 + 4) / 8; }

} // namespace vel::test
