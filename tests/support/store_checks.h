#pragma once
// What must hold of the log store after any load or decode, however bad the input.
#include <cmath>
#include <gtest/gtest.h>
#include "model/log_store.h"
#include "model/status_list.h"

namespace vel::test {

// Counts within bounds, blocks adding up to the samples, every sample in a
// block and every value finite.
inline void ExpectConsistentStore(const LogStore& store, const StatusList& status) {
    EXPECT_LE(store.LogItemNum, LogItemMax);
    EXPECT_LE(status.Lines().size(), StatusList::MaxLines);
    int64_t total = 0;
    for (const TLogBlock& b : store.LogBlock) total += b.RecNum;
    EXPECT_EQ(total, store.LogItemNum);
    for (int32_t i = 0; i < store.LogItemNum; ++i) {
        const TLogItem& s = store.LogItem[i];
        ASSERT_TRUE(s.BlkIdx >= 0 && s.BlkIdx < store.LogBlockNum()) << i;
        ASSERT_TRUE(std::isfinite(s.DtTm) && std::isfinite(s.Ido) && std::isfinite(s.Kdo) &&
                    std::isfinite(s.Elv) && std::isfinite(s.Spd) && std::isfinite(s.Dir))
            << i;
    }
}

} // namespace vel::test
