#pragma once
// Test videos made with the ffmpeg command into a test's own folder.
#include <QString>
#include <QStringList>

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

// Frame number of a luma sample at column x.
inline int FrameNumberOf(int luma, int x) { return (luma - 16 - x / 8 + 4) / 8; }

} // namespace vel::test
