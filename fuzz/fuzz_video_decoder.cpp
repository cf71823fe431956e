// The frame decoder opening a clip and decoding its first pictures, with
// the system's FFmpeg bound at run time. Reads are broken off once an input
// has taken its time, so one slow clip does not stall the run.
#include <chrono>
#include "fuzz_script.h"
#include "fuzz_support.h"
#include "video/engine/decoder.h"
#include "video/engine/interrupt.h"
#include "video/engine/thread_helpers.h"

using namespace vel::video;

namespace {

using Clock = std::chrono::steady_clock;
Clock::time_point deadline;

bool PastDeadline(void*) { return Clock::now() > deadline; }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool libs = [] {
        vel::fuzz::ScratchDir();   // the application object first
        TFFDecoder probe;
        if (!probe.LoadAVLib(QString())) {
            std::fprintf(stderr, "fuzz_video_decoder: no FFmpeg libraries: %s\n", qPrintable(probe.LastErrMsg()));
            std::abort();
        }
        InterruptCB().Add(CurrentThreadID(), nullptr, PastDeadline);
        return true;
    }();
    (void)libs;
    deadline = Clock::now() + std::chrono::seconds(2);
    const QString path = vel::fuzz::WriteScratch(QStringLiteral("clip.bin"), data, size);
    TFFDecoder dec;
    if (!dec.LoadFile(path)) return 0;
    for (int i = 0; i < 8 && Clock::now() < deadline; ++i) {
        if (!dec.Decode()) break;
        if (dec.GetBitmapPtr() == nullptr) break;
    }
    if (Clock::now() < deadline && dec.Seek(0, sfBackward)) dec.Decode();
    dec.CloseFile();
    return 0;
}
