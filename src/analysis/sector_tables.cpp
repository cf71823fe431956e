#include "analysis/sector_tables.h"

#include <cmath>
#include "analysis/lap_ranking.h"
#include "analysis/sector_timing.h"
#include "common/datetime.h"
#include "common/parsing.h"

namespace vel {

namespace {

constexpr long double SecPerDay = 86400.0L;

QVector<QStringList> EmptyRows(int rows, int cols) {
    return QVector<QStringList>(rows, QStringList(QList<QString>(cols)));
}

QString Fixed(long double v, int decimals) {
    // Negative zero would show as "-0.0".
    const QString s = FormatFixed(v, decimals);
    return s.startsWith('-') && s.count('0') == s.size() - 2 ? s.mid(1) : s;
}

const TLapDtRec* LapOf(const LoadedLaps& laps, const TDispSlotRec& slot) {
    if (!slot.Active || slot.LapIdx < 0 || slot.LapIdx >= laps.LapDt.size()) return nullptr;
    return &laps.LapDt[slot.LapIdx];
}

void SectHeaders(QStringList& h, int n) {
    for (int i = 0; i <= n; ++i) {
        QString pre;
        if (i == 0) pre = QStringLiteral("-S1");
        else if (i < n) pre = QStringLiteral("S%1-%2").arg(i).arg(i + 1);
        else pre = QStringLiteral("S%1-").arg(n);
        h[5 * i] = pre + QStringLiteral("区間タイム");
        h[5 * i + 1] = pre + QStringLiteral("区間キョリ");
        h[5 * i + 2] = pre + QStringLiteral("平均速度");
        h[5 * i + 3] = pre + QStringLiteral("最高/低速");
        h[5 * i + 4] = i < n ? QStringLiteral("S%1通過タイム").arg(i + 1) : QStringLiteral("タイム");
    }
}

void DriftHeaders(QStringList& h, int n) {
    for (int i = 0; i <= n; ++i) {
        if (i == 0) {
            h[0] = QStringLiteral("-S1最大角+/-");
            h[1] = QStringLiteral("-S1平均角/偏差");
            h[2] = QStringLiteral("-S1角速(区間)");
            h[3] = QStringLiteral("-S1スコア(合計)");
            continue;
        }
        const QString pre = i < n ? QStringLiteral("S%1-%2").arg(i).arg(i + 1) : QStringLiteral("S%1-").arg(n);
        h[4 * i] = pre + QStringLiteral("最大角+/-");
        h[4 * i + 1] = pre + (i < n ? QStringLiteral("平均/偏差") : QStringLiteral("平均角/偏差"));
        h[4 * i + 2] = pre + QStringLiteral("角速(区間)");
        h[4 * i + 3] = pre + QStringLiteral("スコア(合計)");
    }
}

void SlotSectRow(QStringList& row, const TDispSlotRec& s, const TLapDtRec& lap, int n) {
    for (int i = 0; i <= n; ++i) {
        row[5 * i] = LapTimeText(s.SectTm[i]);
        row[5 * i + 1] = Fixed(s.SectLen[i], 3);
        row[5 * i + 2] = Fixed(s.SectAveSpd[i], 2);
        row[5 * i + 3] = TenthText(s.SectMaxSpd[i]) + " / " + TenthText(s.SectMinSpd[i]);
        if (i < n) row[5 * i + 4] = LapTimeText(s.SectStaSec[i]);
    }
    row[5 * n + 4] = LapTimeText(static_cast<long double>(lap.LapTim) * SecPerDay);
}

void SlotDriftRow(QStringList& row, const TDispSlotRec& s, int n) {
    for (int t = 0; t <= n; ++t) {
        row[4 * t] = (s.SectMaxAng[t] == 0 ? QStringLiteral("-.-") : TenthText(s.SectMaxAng[t])) +
                     (s.SectMinAng[t] == 0 ? QStringLiteral(" / -.-") : " / " + TenthText(s.SectMinAng[t]));
        row[4 * t + 1] = TenthText(s.SectAveAng[t]) + " / " + TenthText(s.SectDevAng[t]);
        switch (s.SectJudge[t]) {
        case JudgeSwingOut: row[4 * t + 2] = Fixed(s.SectAngRate[t], 1) + QStringLiteral(" (振り出し)"); break;
        case JudgeHold: row[4 * t + 2] = QStringLiteral("-.- (角度維持)"); break;
        case JudgeSwingBack: row[4 * t + 2] = Fixed(s.SectAngRate[t], 1) + QStringLiteral(" (振り返し)"); break;
        default: row[4 * t + 2] = QStringLiteral("-.- (--)"); break;
        }
        row[4 * t + 3] = (s.SectScore[t] > 0 ? Fixed(s.SectScore[t], 1) : QStringLiteral("-.-")) + " (" +
                         Fixed(s.TotalScore, 1) + ")";
    }
}

} // namespace

QString TenthText(long double v) {
    if (!std::isfinite(v)) return Fixed(v, 1);
    return Fixed(std::nearbyint(v * 10) / 10, 1);
}

SectTables SetSectGrid(const SectorLines& lines, const LoadedLaps& laps, const Comparison& cmp) {
    SectTables t;
    t.sect = EmptyRows(SectGridRows, SectGridCols);
    t.drift = EmptyRows(DriftGridRows, DriftGridCols);
    const int n = lines.Count();
    if (n == 0) return t;
    SectHeaders(t.sect[0], n);
    DriftHeaders(t.drift[0], n);

    for (int k = 0; k < DispSlotNum; ++k) {
        const TDispSlotRec& s = cmp.DispSlot[k];
        const TLapDtRec* lap = LapOf(laps, s);
        if (!lap) continue;
        SlotSectRow(t.sect[1 + k], s, *lap, n);
        if (lap->driftAct) SlotDriftRow(t.drift[1 + k], s, n);
    }

    if (!LapOf(laps, cmp.DispSlot[1])) return t;
    QStringList& ideal = t.sect[IdealRow];
    long double sum = 0;
    bool complete = true;
    for (int i = 0; i <= n; ++i) {
        // A lap that never reached a line has no time there, not the best one.
        int win = -1;
        for (int k = 0; k < DispSlotNum; ++k) {
            const TDispSlotRec& s = cmp.DispSlot[k];
            if (!LapOf(laps, s) || !(s.SectTm[i] > 0)) continue;
            if (win < 0 || s.SectTm[i] < cmp.DispSlot[win].SectTm[i]) win = k;
        }
        if (win < 0) {
            complete = false;
            continue;
        }
        const long double best = cmp.DispSlot[win].SectTm[i];
        ideal[5 * i] = LapTimeText(best);
        sum += best;
        t.sect[1 + win][5 * i] = '*' + t.sect[1 + win][5 * i];
    }
    if (complete) ideal[5 * n + 4] = LapTimeText(sum);
    return t;
}

GridCellLook SectCellLook(int n, int row, int col) {
    GridCellLook look;
    if (row == 0) {
        look.header = true;
        return look;
    }
    if (row >= 1 && row <= 4) look.font = SlotColor[row - 1];
    if (n < 1 || row > IdealRow) return look;
    const int b = col / 5;
    const bool lapTimeCol = col == 5 * n + 4;
    bool shaded = b % 2 == 1 && b <= n;
    // The lap-time column takes the other shade of its block.
    if (lapTimeCol) shaded = n % 2 == 0;
    if (shaded) look.brush = SectBlockShade;
    return look;
}

GridCellLook DriftCellLook(int n, int row, int col) {
    GridCellLook look;
    if (row == 0) {
        look.header = true;
        return look;
    }
    if (row >= 1 && row <= 4) look.font = SlotColor[row - 1];
    if (n >= 1 && (col / 4) % 2 == 1 && col / 4 <= n) look.brush = SectBlockShade;
    return look;
}

} // namespace vel
