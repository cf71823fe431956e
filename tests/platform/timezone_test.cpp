#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <gtest/gtest.h>

#include "platform/timezone.h"

namespace {

// Sets TZ for one scope and puts back what was there.
class ScopedTz {
public:
    explicit ScopedTz(const char* tz) {
        if (const char* old = std::getenv("TZ")) old_ = old;
        ::setenv("TZ", tz, 1);
        ::tzset();
    }
    ~ScopedTz() {
        if (old_) ::setenv("TZ", old_->c_str(), 1);
        else ::unsetenv("TZ");
        ::tzset();
    }
    ScopedTz(const ScopedTz&) = delete;
    ScopedTz& operator=(const ScopedTz&) = delete;
private:
    std::optional<std::string> old_;
};

TEST(TimeZoneBias, IsTheStandardOffsetWhateverTheSeason) {
    // Berlin and Sydney keep summer time in opposite halves of the year, so
    // on any day one of them would show a daylight term if it leaked in.
    const struct {
        const char* tz;
        int bias;
    } cases[] = {
        {"Asia/Tokyo", -540},  {"Europe/Berlin", -60},       {"Australia/Sydney", -600},
        {"America/New_York", 300}, {"Asia/Kolkata", -330}, {"UTC", 0},
        {"No/Such_Zone", 0},
        // Its database entry calls summer time standard and winter a
        // negative daylight saving; the standard offset is still GMT.
        {"Europe/Dublin", 0}, {"Europe/London", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tz);
        ScopedTz tz(c.tz);
        EXPECT_EQ(vel::TimeZoneBiasMinutes(), c.bias);
    }
}

TEST(LocalEpochFromBias, ShiftsTheUnixEpochByTheBias) {
    EXPECT_DOUBLE_EQ(vel::LocalEpochFromBias(0), 25569.0);
    EXPECT_DOUBLE_EQ(vel::LocalEpochFromBias(-540), 25569.375);
    EXPECT_DOUBLE_EQ(vel::LocalEpochFromBias(300), 25569.0 - 300.0 / 1440.0);
    EXPECT_DOUBLE_EQ(vel::LocalEpochFromBias(-330), 25569.0 + 330.0 / 1440.0);
}

} // namespace
