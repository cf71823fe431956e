// A video-sync file (".vsy") read, and when it is taken, written again and
// read back: the second reading gives the same video path and start.
#include <cmath>
#include "fuzz_script.h"
#include "fuzz_support.h"
#include "video/video_sync.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString path = vel::fuzz::WriteScratch(QStringLiteral("sync.vsy"), data, size);
    vel::VsyFile first;
    QString error;
    if (vel::ReadVsy(path, first, &error) != vel::VsyRead::Ok) return 0;
    const QString again = vel::fuzz::ScratchDir() + QStringLiteral("again.vsy");
    if (!vel::WriteVsy(again, first, &error)) vel::fuzz::Fail("a video-sync file read could not be written");
    vel::VsyFile second;
    if (vel::ReadVsy(again, second, &error) != vel::VsyRead::Ok) vel::fuzz::Fail("a written video-sync file is not read back");
    if (second.VideoPath != first.VideoPath) vel::fuzz::Fail("video path changed by a write and a read");
    // Milliseconds are what the file holds.
    if (std::fabs(second.Start - first.Start) * 86400000.0 >= 0.5) vel::fuzz::Fail("start changed by a write and a read");
    return 0;
}
