// The grid-to-text rule of the clipboard copies and the lap-list CSV: split
// columns, headers, the sector table's marks, which rows go, and cells that
// would break a line or a field.
#include <gtest/gtest.h>
#include "views/export/grid_text.h"

using namespace vel;

namespace {

const QStringList LapHeader = {"データ名", "データ番号", "ドリフト(スコア)", "セクタ(スコア)extra", "タイム(秒"};

QVector<QStringList> Lines(const QString& text) {
    QVector<QStringList> out;
    for (const QString& l : text.split("\r\n", Qt::SkipEmptyParts)) out << l.split('\t');
    return out;
}

// An RFC 4180 reader: fields separated by commas, records by CR LF, quoted
// fields may hold commas, line ends and doubled quotes.
QVector<QStringList> ReadCsv(const QString& text) {
    QVector<QStringList> records;
    QStringList rec;
    QString field;
    bool quoted = false, wasQuoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"' && field.isEmpty() && !wasQuoted) {
            quoted = wasQuoted = true;
        } else if (c == ',') {
            rec << field;
            field.clear();
            wasQuoted = false;
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            rec << field;
            records << rec;
            rec.clear();
            field.clear();
            wasQuoted = false;
            ++i;
        } else {
            field += c;
        }
    }
    EXPECT_FALSE(quoted) << "unterminated quote";
    EXPECT_TRUE(rec.isEmpty() && field.isEmpty()) << "last record without CR LF";
    return records;
}

} // namespace

TEST(GridText, LapListSplitColumns) {
    EXPECT_EQ(GridRowFields(GridKind::LapList, LapHeader, LapHeader, true),
              QStringList({"データ名", "データ番号", "ドリフト", "スコア", "セクタ", "スコア", "タイム", ""}));
    struct Case {
        QString drift;
        QStringList fields;
    };
    const Case cases[] = {
        {"12.5 ( 3)", {"12.5 ", " 3"}},   // number, blank, bracketed value
        {"( 7)", {"", " 7"}},             // only the bracketed value
        {"42", {"42", ""}},               // no brackets
        {"", {"", ""}},
        {"8 (9", {"8 ", ""}},             // no closing bracket
    };
    for (const Case& c : cases) {
        const QStringList row = {"name", "0001", c.drift, "", "1:02.345"};
        const QStringList f = GridRowFields(GridKind::LapList, LapHeader, row, false);
        ASSERT_EQ(f.size(), 8) << c.drift.toStdString();
        EXPECT_EQ(f.mid(2, 2), c.fields) << c.drift.toStdString();
        // A column whose header has "(" without ")" is split too; plain cells stay.
        EXPECT_EQ(f[6], "1:02.345");
        EXPECT_EQ(f[0], "name");
    }
}

TEST(GridText, SectorTableHeadersMarksAndSplits) {
    const QStringList header = {"-", "タイム/秒", "-差/秒", "ベスト", "-区間"};
    EXPECT_EQ(GridRowFields(GridKind::SectTable, header, header, true),
              QStringList({"'-", "タイム", "秒", "'-差", "秒", "ベスト", "'-区間"}));
    // The lap list's headers never get the mark, whether split or not.
    EXPECT_EQ(GridRowFields(GridKind::LapList, {"-a", "-b(c)"}, {"-a", "-b(c)"}, true),
              QStringList({"-a", "-b", "c"}));
    const QStringList row = {"*1", "*23.4/5", "/9", "-0.5", "*best"};
    EXPECT_EQ(GridRowFields(GridKind::SectTable, header, row, false),
              QStringList({"1", "*23.4", "5", "", "9", "-0.5", "best"}));
}

TEST(GridText, WhichRowsEachCopyTakes) {
    const QStringList h = {"データ名", "データ番号"};
    const QVector<QStringList> rows = {{"a", "0000"}, {"", ""}, {"b", "0001"}, {"c", "0001"}};
    EXPECT_EQ(Lines(LapListClipboardText(h, rows)).size(), 5);
    // An empty list: the header alone.
    EXPECT_EQ(LapListClipboardText(h, {{"", ""}}), "データ名\tデータ番号\r\n");
    EXPECT_EQ(LapListClipboardText(h, {}), "データ名\tデータ番号\r\n");
    // Shown laps in their order, the first row of each number; a lap with no row adds nothing.
    EXPECT_EQ(ShownLapsClipboardText(h, rows, {"0001", "0009", "0000"}),
              "データ名\tデータ番号\r\nb\t0001\r\na\t0000\r\n");
    EXPECT_EQ(ShownLapsClipboardText(h, rows, {}), "データ名\tデータ番号\r\n");

    const QVector<QStringList> sect = {{"h", "x"}, {"r1", "1"}, {"", "2"}, {"r3", "3"}};
    EXPECT_EQ(SectTableClipboardText(sect), "h\tx\r\nr1\t1\r\nr3\t3\r\n");
    EXPECT_EQ(SectTableClipboardText({{"h", "x"}, {"", "1"}, {"r", "2"}}), "h\tx\r\n");

    // The CSV keeps empty rows.
    EXPECT_EQ(LapListCsvLines(h, rows), QStringList({"データ名,データ番号", "a,0000", ",", "b,0001", "c,0001"}));
}

TEST(GridText, CellsThatWouldBreakTheTextAreQuotedOrBlanked) {
    const QStringList header = {"データ名", "データ番号", "ドリフト(スコア)"};
    const QVector<QStringList> rows = {
        {"Suzuka, east", "0000", "3 (\"x\")"},
        {"two\r\nlines", "0001", "a\tb"},
        {"plain", "0002", "1 (2)"},
    };
    const QStringList csv = LapListCsvLines(header, rows);
    EXPECT_EQ(csv[3], "plain,0002,1 ,2");
    const QVector<QStringList> read = ReadCsv(csv.join("\r\n") + "\r\n");
    ASSERT_EQ(read.size(), 4);
    for (int r = 0; r < 3; ++r)
        EXPECT_EQ(read[r + 1], GridRowFields(GridKind::LapList, header, rows[r], false)) << r;
    EXPECT_EQ(read[1][0], "Suzuka, east");
    EXPECT_EQ(read[1][3], "\"x\"");
    EXPECT_EQ(read[2][0], "two\r\nlines");

    const QVector<QStringList> clip = Lines(LapListClipboardText(header, rows));
    ASSERT_EQ(clip.size(), 4);
    EXPECT_EQ(clip[2], QStringList({"two  lines", "0001", "a b", ""}));
}
