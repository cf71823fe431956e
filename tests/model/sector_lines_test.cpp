#include <clocale>
#include <gtest/gtest.h>
#include <QLocale>
#include <QFile>
#include <QTemporaryDir>
#include "model/sector_lines.h"
#include "support/test_folders.h"

using namespace vel;

namespace {

struct LineWant {
    long double ido1, kdo1, ido2, kdo2;
    int32_t passNo;
};

} // namespace

TEST(SectFileReader, FieldsSkipsAndPassNumbers) {
    struct Case {
        const char* name;
        QStringList lines;
        std::vector<LineWant> want;
    };
    const Case cases[] = {
        {"a full line", {"35.1,139.2,35.3,139.4,2"}, {{35.1L, 139.2L, 35.3L, 139.4L, 2}}},
        {"no pass number reads 1", {"1,2,3,4"}, {{1, 2, 3, 4, 1}}},
        {"pass number not an integer reads 1", {"1,2,3,4,x", "1,2,3,4,2.5", "1,2,3,4,"},
         {{1, 2, 3, 4, 1}, {1, 2, 3, 4, 1}, {1, 2, 3, 4, 1}}},
        {"pass number 0 or below reads 1", {"1,2,3,4,0", "1,2,3,4,-3"}, {{1, 2, 3, 4, 1}, {1, 2, 3, 4, 1}}},
        {"pass number beyond 32 bits reads 1", {"1,2,3,4,99999999999"}, {{1, 2, 3, 4, 1}}},
        {"bad numbers read 0, extra fields ignored", {"a,,3,1e5000,3,9,9"}, {{0, 0, 3, 0, 3}}},
        {"short lines and empty lines skipped",
         {"", "1,2,3", "1,2,3,4,2", "x"}, {{1, 2, 3, 4, 2}}},
        {"a comma-decimal line is not a number",
         {"35,5;139,7;1;2"}, {}},
        {"stops after four lines",
         {"1,1,1,1", "2,2,2,2", "3,3,3,3", "4,4,4,4", "5,5,5,5", "6,6,6,6"},
         {{1, 1, 1, 1, 1}, {2, 2, 2, 2, 1}, {3, 3, 3, 3, 1}, {4, 4, 4, 4, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SectorLines s = ParseSectLines(c.lines);
        ASSERT_EQ(s.SectNum, static_cast<int32_t>(c.want.size()));
        for (size_t i = 0; i < c.want.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(s.Sect[i].Ido1, c.want[i].ido1);
            EXPECT_EQ(s.Sect[i].Kdo1, c.want[i].kdo1);
            EXPECT_EQ(s.Sect[i].Ido2, c.want[i].ido2);
            EXPECT_EQ(s.Sect[i].Kdo2, c.want[i].kdo2);
            EXPECT_EQ(s.Sect[i].PassNo, c.want[i].passNo);
        }
    }
}

TEST(SectFile, WritesSixDecimalsInTheCLocaleAndReadsBack) {
    // A user locale with a decimal comma must not reach the file.
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    const std::string oldNumeric = old ? old : "C";
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");

    QTemporaryDir dir;
    SectorLines s;
    s.SectNum = 2;
    s.Sect[0] = {139.5L, 139.25L, 35.0L, 35.1234567L, 1};
    s.Sect[1] = {-0.5L, -0.25L, -12.000001L, 12.0L, 3};
    s.Sect[2] = {9, 9, 9, 9, 9};   // behind SectNum: never written
    const QString path = dir.path() + "/x.sci";
    ASSERT_TRUE(WriteSectFile(path, s));
    EXPECT_EQ(test::ReadFile(path),
              "35.000000,139.500000,35.123457,139.250000,1\r\n"
              "-12.000001,-0.500000,12.000000,-0.250000,3\r\n");

    SectorLines back;
    ASSERT_TRUE(ReadSectFile(path, back));
    ASSERT_EQ(back.SectNum, 2);
    EXPECT_EQ(SectFileLines(back), SectFileLines(s));
    EXPECT_EQ(back.Sect[1].PassNo, 3);

    std::setlocale(LC_NUMERIC, oldNumeric.c_str());
    QLocale::setDefault(before);
}

// Reading stops after the fourth accepted line: whatever follows, however
// large, is never read.
TEST(SectFile, ReadingStopsAfterFourAcceptedLines) {
    QTemporaryDir dir;
    const QString path = dir.path() + "/big.sci";
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("1,2,3,4,2\r\njunk\r\n5,6,7,8\r\n9,10,11,12,x\r\n,,,\r\n");
        ASSERT_TRUE(f.resize(65LL * 1024 * 1024));   // sparse: past the text-file limit
    }
    SectorLines s;
    QString error;
    ASSERT_TRUE(ReadSectFile(path, s, &error)) << error.toStdString();
    ASSERT_EQ(s.SectNum, 4);
    EXPECT_EQ(s.Sect[0].PassNo, 2);
    EXPECT_EQ(s.Sect[1].Ido1, 5);
    EXPECT_EQ(s.Sect[2].PassNo, 1);
    EXPECT_EQ(s.Sect[3].Kdo2, 0);

    // Three lines and then the same bulk: past the limit before the fourth.
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("1,2,3,4\r\n1,2,3,4\r\n1,2,3,4\r\n");
        ASSERT_TRUE(f.resize(65LL * 1024 * 1024));
    }
    EXPECT_FALSE(ReadSectFile(path, s, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(s.SectNum, 4);   // kept
}

TEST(SectFile, UnreadableFileLeavesTheTableAndReportsWhy) {
    QTemporaryDir dir;
    SectorLines s;
    s.SectNum = 1;
    s.Sect[0] = {1, 2, 3, 4, 1};
    QString error;
    EXPECT_FALSE(ReadSectFile(dir.path() + "/none.sci", s, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(s.SectNum, 1);
    EXPECT_EQ(s.Sect[0].Kdo2, 2);
}
