#include "views/export/grid_text.h"

namespace vel {

namespace {

QChar SplitChar(GridKind kind) { return kind == GridKind::LapList ? QLatin1Char('(') : QLatin1Char('/'); }

// The second part of a split text after the split character at p: the
// lap list's bracketed text, the sector table's rest.
QString SecondPart(GridKind kind, const QString& s, qsizetype p) {
    if (kind == GridKind::SectTable) return s.mid(p + 1);
    const qsizetype close = s.indexOf(QLatin1Char(')'), p + 1);
    return close < 0 ? QString() : s.mid(p + 1, close - p - 1);
}

// A leading '-' would be read as a formula by a spreadsheet.
QString NotFormula(GridKind kind, const QString& s) {
    return kind == GridKind::SectTable && s.startsWith(QLatin1Char('-')) ? QLatin1Char('\'') + s : s;
}

QString CsvField(const QString& f) {
    if (!f.contains(QLatin1Char(',')) && !f.contains(QLatin1Char('"')) && !f.contains(QLatin1Char('\r')) &&
        !f.contains(QLatin1Char('\n')))
        return f;
    QString q = f;
    q.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

QString TabField(QString f) {
    for (QChar c : {QLatin1Char('\t'), QLatin1Char('\r'), QLatin1Char('\n')}) f.replace(c, QLatin1Char(' '));
    return f;
}

const QString CrLf = QStringLiteral("\r\n");

QString Cell(const QStringList& row, int c) { return c < row.size() ? row[c] : QString(); }

bool FirstRowEmpty(const QVector<QStringList>& rows, int first) {
    return rows.size() <= first || Cell(rows[first], 0).isEmpty();
}

} // namespace

QStringList GridRowFields(GridKind kind, const QStringList& header, const QStringList& row, bool isHeader) {
    const QChar split = SplitChar(kind);
    QStringList out;
    const qsizetype cols = std::max(header.size(), row.size());
    for (int c = 0; c < cols; ++c) {
        const QString cell = Cell(row, c);
        const bool splitCol = Cell(header, c).contains(split);
        if (isHeader) {
            const qsizetype p = cell.indexOf(split);
            if (p < 0) {
                out << NotFormula(kind, cell);
            } else {
                out << NotFormula(kind, cell.left(p)) << SecondPart(kind, cell, p);
            }
        } else if (splitCol) {
            const qsizetype p = cell.indexOf(split);
            if (p < 0) out << cell << QString();
            else out << cell.left(p) << SecondPart(kind, cell, p);
        } else if (kind == GridKind::SectTable && cell.startsWith(QLatin1Char('*'))) {
            out << cell.mid(1);
        } else {
            out << cell;
        }
    }
    return out;
}

QString GridRowLine(GridKind kind, const QStringList& header, const QStringList& row, bool isHeader,
                    GridSep sep) {
    QStringList fields = GridRowFields(kind, header, row, isHeader);
    for (QString& f : fields) f = sep == GridSep::Tab ? TabField(f) : CsvField(f);
    return fields.join(sep == GridSep::Tab ? QLatin1Char('\t') : QLatin1Char(','));
}

QString LapListClipboardText(const QStringList& header, const QVector<QStringList>& rows) {
    const GridKind k = GridKind::LapList;
    QString out = GridRowLine(k, header, header, true, GridSep::Tab) + CrLf;
    if (FirstRowEmpty(rows, 0)) return out;
    for (const QStringList& r : rows) out += GridRowLine(k, header, r, false, GridSep::Tab) + CrLf;
    return out;
}

QString ShownLapsClipboardText(const QStringList& header, const QVector<QStringList>& rows,
                               const QStringList& shownNames) {
    const GridKind k = GridKind::LapList;
    QString out = GridRowLine(k, header, header, true, GridSep::Tab) + CrLf;
    for (const QString& name : shownNames) {
        for (const QStringList& r : rows) {
            if (Cell(r, 1) != name) continue;
            out += GridRowLine(k, header, r, false, GridSep::Tab) + CrLf;
            break;
        }
    }
    return out;
}

QString SectTableClipboardText(const QVector<QStringList>& grid) {
    const GridKind k = GridKind::SectTable;
    if (grid.isEmpty()) return {};
    const QStringList& header = grid[0];
    QString out = GridRowLine(k, header, header, true, GridSep::Tab) + CrLf;
    if (FirstRowEmpty(grid, 1)) return out;
    for (qsizetype r = 1; r < grid.size(); ++r)
        if (!Cell(grid[r], 0).isEmpty()) out += GridRowLine(k, header, grid[r], false, GridSep::Tab) + CrLf;
    return out;
}

QStringList LapListCsvLines(const QStringList& header, const QVector<QStringList>& rows) {
    const GridKind k = GridKind::LapList;
    QStringList lines;
    lines << GridRowLine(k, header, header, true, GridSep::Comma);
    for (const QStringList& r : rows) lines << GridRowLine(k, header, r, false, GridSep::Comma);
    return lines;
}

} // namespace vel
