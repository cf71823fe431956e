// A decoded image cut into laps: the first byte picks the layout, the line
// crosses the track between two of the log's own samples (picked by the
// next bytes), and every block is selected, as the dialog allows.
#include "fuzz_support.h"
#include "common/geodesy.h"
#include "import/lap_cutting.h"
#include "import/memory_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const bool blocks = data[0] & 1;
    const uint8_t pick = data[1];
    const bool startGoal = data[2] & 1;
    data += 3;
    size -= 3;
    vel::Session& s = vel::fuzz::FreshSession();
    vel::LogStore& st = s.logStore;
    st.Clear();
    const int64_t n = st.PutLogImage(data, static_cast<int64_t>(size));
    const int32_t unit = blocks ? vel::LogBlockSize : vel::LogSectorSize;
    vel::DecodeLogImage(st, blocks ? vel::LogImageLayout::Blocks4K : vel::LogImageLayout::Sectors64K,
                        static_cast<int32_t>((n + unit - 1) / unit), s.LocalEpoch, s.statusList);
    if (st.LogItemNum < 2) return 0;
    for (vel::TLogBlock& b : st.LogBlock) b.Act = true;
    st.SetMbActAndRect();

    const int32_t i = pick % (st.LogItemNum - 1);
    const vel::TLogItem& a = st.LogItem[i];
    const vel::TLogItem& b = st.LogItem[i + 1];
    const long double half = 20.0L / vel::EarthR * 180.0L / vel::Pi;
    const long double ido = (static_cast<long double>(a.Ido) + b.Ido) / 2;
    const long double kdo = (static_cast<long double>(a.Kdo) + b.Kdo) / 2;
    vel::LineChoice lines;
    lines.CtrlLine = {ido - half, kdo, ido + half, kdo};
    QString error;
    if (startGoal) {
        const vel::TLogItem& g = st.LogItem[st.LogItemNum - 1 - i];
        lines.StaLineSet = lines.FinLineSet = true;
        lines.FinLine = {g.Ido - half, g.Kdo, g.Ido + half, g.Kdo};
        lines.RallySta = pick & 0x80;
        vel::CutLapStaGoal(s, lines, &error);
    } else {
        lines.CtrlLineSet = true;
        vel::CutLapCircuit(s, lines, &error);
    }
    return 0;
}
