#include <gtest/gtest.h>
#include "import/log_formats.h"
#include "import/run_formats.h"

namespace vel {
namespace {

// The dialogs' filter texts are built from the tables: they must stay these.
TEST(FormatTables, DialogFiltersKeepTheirTexts) {
    EXPECT_EQ(LogOpenFilters(),
              QStringList({"Velmaris GPS data files or Record files "
                           "(*.bnx4 *.binx *.bin *.dtb *.bon4 *.bon *.bnz4 *.bonz)",
                           "Velmaris4 GPS data files (*.bnx4)", "Velmaris3 GPS data files (*.binx)",
                           "Velmaris GPS data files (*.bin)", "Velmaris Record files (*.dtb)",
                           "Velmaris GPS ble files (*.bon4 *.bon)", "Velmaris GPS ble Z files (*.bnz4 *.bonz)"}));
    EXPECT_EQ(RunOpenFilter(), "Velmaris Data files (*.dtb *.bon *.bonz)");
}

TEST(FormatTables, LogExtensionsMatchInAnyCase) {
    const struct {
        const char* name;
        bool known;
        LogKind kind;
    } cases[] = {
        {"a.BnX4", true, LogKind::Bnx4}, {"a.bin", true, LogKind::Bin}, {"a.x.DTB", true, LogKind::Dtb},
        {"a.bonz", true, LogKind::BonZ}, {"a.bon4", true, LogKind::Bon4}, {"bin", false, LogKind::Bin},
        {"a.bin.txt", false, LogKind::Bin}, {"a.", false, LogKind::Bin},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const LogFormat* f = LogFormatOf(QString("/x/") + c.name);
        ASSERT_EQ(f != nullptr, c.known);
        if (f) {
            EXPECT_EQ(f->kind, c.kind);
        }
    }
}

} // namespace
} // namespace vel
