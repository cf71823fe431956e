#pragma once
// Tables as text for a spreadsheet: the lap list and the sector table, row
// by row, with split columns written as two fields; tab-separated for the
// clipboard, comma-separated for the lap-list CSV.
#include <QString>
#include <QStringList>
#include <QVector>

namespace vel {

enum class GridKind {
    LapList,     // split columns: header holds "(": "a(b)" gives a and b
    SectTable,   // split columns: header holds "/": "a/b" gives a and b
};

enum class GridSep { Tab, Comma };

// The fields of one row. header is the grid's row 0; isHeader says whether
// row is that row itself.
QStringList GridRowFields(GridKind kind, const QStringList& header, const QStringList& row, bool isHeader);

// One row as a line (without its line end). Tab: tab, CR and LF inside a
// field become blanks. Comma: a field holding a comma, a double quote or a
// line end is quoted (RFC 4180), others are written as they are.
QString GridRowLine(GridKind kind, const QStringList& header, const QStringList& row, bool isHeader,
                    GridSep sep);

// The whole lap list (header, then every row unless the first row has no
// data name), each line ending with CR LF.
QString LapListClipboardText(const QStringList& header, const QVector<QStringList>& rows);
// The header and, for each shown lap in order, the first row whose data
// number (column 1) is the lap's name.
QString ShownLapsClipboardText(const QStringList& header, const QVector<QStringList>& rows,
                               const QStringList& shownNames);
// The sector table (grid row 0 the header): the header and, unless the
// first row has no text in column 0, every row that has.
QString SectTableClipboardText(const QVector<QStringList>& grid);
// The lap-list CSV: the header and every row, empty ones included.
QStringList LapListCsvLines(const QStringList& header, const QVector<QStringList>& rows);

} // namespace vel
