#include "analysis/lap_ranking.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>
#include <QSet>
#include "analysis/row_figures.h"
#include "common/datetime.h"
#include "common/parsing.h"
#include "model/lap_file.h"

namespace vel {

namespace {

constexpr int DataNumberCol = 1;
constexpr int SectCols = 5;
constexpr int DriftCols = 6;   // 13 to 18
constexpr long long NoRank = std::numeric_limits<long long>::max();
constexpr long double TimeBestStart = 999999999.9L;

// Three places by a strict "better": each place takes the best value not
// better than the places above it, from a row not already placed, so equal
// values fill the places in row order.
template <class V, class Better>
RankIdx RankThree(int rows, V start, const std::function<V(int)>& value, Better better) {
    RankIdx idx{-1, -1, -1};
    std::array<V, 3> best{start, start, start};
    for (int p = 0; p < 3; ++p) {
        V run = start;
        int sel = -1;
        for (int r = 0; r < rows; ++r) {
            const V v = value(r);
            if (!better(v, run)) continue;
            bool ok = true;
            for (int q = 0; q < p && ok; ++q)
                if (better(v, best[q]) || r == idx[q]) ok = false;
            if (ok) {
                run = v;
                sel = r;
            }
        }
        idx[p] = sel;
        best[p] = run;
    }
    return idx;
}

// The nearest integer, a half to the even one; 0 for what is no number.
long long RoundInt(long double v) {
    if (!std::isfinite(v) || std::fabs(v) > 1e15L) return 0;
    return std::llrint(v);
}

void ClearPlaces(std::array<std::array<int32_t, 5>, 3>& a) {
    for (auto& place : a) place.fill(-1);
}

int RowsOf(const LapList& list, qsizetype kept) {
    return static_cast<int>(std::min<qsizetype>(list.Rows.size(), kept));
}

// The data numbers of the rows up to the first row without one.
QStringList DataNumbers(const LapList& list) {
    QStringList numbers;
    for (const LapRow& row : list.Rows) {
        if (row.Cells[DataNumberCol].isEmpty()) break;
        numbers << row.Cells[DataNumberCol];
    }
    return numbers;
}

// work(i) for every i below n, spread over a few threads. Each row's
// working file is read and timed on its own, and each i is taken by one
// thread only, writing only its own result.
template <class Work>
void ForEachRow(int n, const Work& work) {
    const int threads = std::min(n, std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, 8));
    if (threads <= 1) {
        for (int i = 0; i < n; ++i) work(i);
        return;
    }
    std::atomic<int> next{0};
    const auto run = [&] {
        for (int i = next.fetch_add(1); i < n; i = next.fetch_add(1)) work(i);
    };
    std::vector<std::thread> pool;
    pool.reserve(threads - 1);
    // A thread the system refuses is no error: the rows it would have taken
    // fall to the others, and the started ones must still be joined.
    try {
        for (int t = 1; t < threads; ++t) pool.emplace_back(run);
    } catch (const std::system_error&) {
    }
    run();
    for (std::thread& t : pool) t.join();
}

bool SameLines(const SectorLines& a, const SectorLines& b) {
    if (a.Count() != b.Count()) return false;
    for (int i = 0; i < a.Count(); ++i) {
        const TSectRec &x = a.Sect[i], &y = b.Sect[i];
        if (x.Kdo1 != y.Kdo1 || x.Kdo2 != y.Kdo2 || x.Ido1 != y.Ido1 || x.Ido2 != y.Ido2 || x.PassNo != y.PassNo)
            return false;
    }
    return true;
}

// The figures of one lap: the samples just written to its working file
// when there are some, else the file read (one read serves the sector times
// and the drift). Null when the file can't be read.
std::shared_ptr<RowFigures> WorkOutFigures(const QVector<TLapElmRec>* written, const QString& tempDir,
                                           const QString& number, const SectorLines& lines, QString* error) {
    auto f = std::make_shared<RowFigures>();
    TLapDtRec work;
    if (written)
        JudgeDriftInto(*written, work, f->drift, f->top);
    else if (!LoadLapFileBinForDAngle(FindWorkingFile(tempDir, number), work, f->drift, f->top, error))
        return nullptr;
    if (lines.Count() > 0) {
        TDispSlotRec sect;
        MakeSectTmList(work, lines, sect);
        f->SectTm = sect.SectTm;
        if (f->drift) {
            CalDriftScore(work, lines, sect);
            f->TotalScore = sect.TotalScore;
            f->SectPeakAng = sect.SectPeakAng;
            f->SectScore = sect.SectScore;
        }
    }
    f->lines = lines;
    return f;
}

// Gives the rows of numbers their figures for lines (rowFigures, none for a
// row whose file can't be read, to be tried again), working them out (on a
// few threads) only where none are kept for the row's file and these lines.
// The first read error is returned. The samples kept from imports are let
// go, and so are the figures of files no row names any more.
QString FillFigures(const QStringList& numbers, const QString& tempDir, const SectorLines& lines,
                    LapRankState& st, std::vector<std::shared_ptr<const RowFigures>>& rowFigures) {
    struct Work {
        int row = 0;
        QString number, file;
        const QVector<TLapElmRec>* written = nullptr;
        std::shared_ptr<RowFigures> figures;
        QString error;
    };
    QVector<Work> todo;
    QHash<QString, std::shared_ptr<const RowFigures>> kept;
    kept.reserve(numbers.size());
    rowFigures.assign(static_cast<size_t>(numbers.size()), nullptr);
    for (int row = 0; row < numbers.size(); ++row) {
        const QString& number = numbers[row];
        QString file = WorkingFileName(tempDir, number);
        const auto f = std::as_const(st.Figures).constFind(file);
        if (f != st.Figures.cend() && *f && SameLines((*f)->lines, lines)) {
            rowFigures[static_cast<size_t>(row)] = *f;
            kept.insert(std::move(file), *f);
            continue;
        }
        // Samples kept for this very file: neither a read nor a look through the folder.
        const auto w = std::as_const(st.Written).constFind(file);
        Work work;
        work.row = row;
        work.number = number;
        work.written = w != st.Written.cend() && !w->isEmpty() ? &*w : nullptr;
        work.file = std::move(file);
        todo.append(std::move(work));
    }
    QString firstError;
    if (!todo.isEmpty()) {
        Work* w = todo.data();   // detached here, before the threads
        ForEachRow(static_cast<int>(todo.size()), [&](int j) {
            w[j].figures = WorkOutFigures(w[j].written, tempDir, w[j].number, lines, &w[j].error);
        });
        for (Work& work : todo) {
            rowFigures[static_cast<size_t>(work.row)] = work.figures;
            if (work.figures) kept.insert(work.file, std::move(work.figures));
            if (firstError.isEmpty()) firstError = work.error;
        }
    }
    st.Figures = std::move(kept);
    st.Written.clear();
    return firstError;
}

// "(%5.1f)"-style score of a cell, or the blank of its width.
QString ScoreText(long long tenths, int width) {
    if (tenths <= 0) return " (" + QString(width + 2, ' ') + ")";
    return " (" + FormatFixed(static_cast<long double>(tenths) / 10, 1).rightJustified(width) + ")";
}

} // namespace

LapRankState::LapRankState() {
    ClearPlaces(BestSectTmIdx);
    ClearPlaces(BestSectDrIdx);
}

long long DigitsToInt(const QString& text) {
    long long v = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9') continue;
        const int d = c.unicode() - u'0';
        if (v > (NoRank - d) / 10) return NoRank;
        v = v * 10 + d;
    }
    return v;
}

QString SectTimeCellText(long double seconds) {
    return seconds == 0 ? QString() : SectTimeText(seconds);
}

long long SectTimeMs(long double seconds) {
    if (seconds == 0 || !std::isfinite(seconds) || std::fabs(seconds) > 1e12L) return -1;
    return std::llround(seconds * 1000.0L);
}

long long ScoreTenths(long double score) {
    if (!std::isfinite(score) || score <= 0 || score > 1e15L) return 0;
    return std::llround(score * 10);
}

QString DriftCellText(long double angle, long long tenths, int width) {
    return QString::number(RoundInt(angle)) + ScoreText(tenths, width);
}

QString LapListHeader(const LapRankState& st, int col) {
    if (col >= FirstSectTmCol && col <= 18) return st.Headers[col - FirstSectTmCol];
    if (col >= 0 && col < LapListColumns) return LapListHeaders()[col];
    return {};
}

void SetBestLapRank(const LapList& list, LapRankState& st) {
    const int rows = RowsOf(list, list.LapStrLst.size());
    const auto sec = [&](int r) { return list.LapStrLst[r].Sec; };
    const auto spd = [&](int r) { return list.LapStrLst[r].MaxSpd; };
    st.BestTmIdx = RankThree<long double>(rows, TimeBestStart, sec, [](long double a, long double b) { return a < b; });
    st.BestSpdIdx = RankThree<long double>(rows, 0.0L, spd, [](long double a, long double b) { return a > b; });
}

void SetBestSectRank(const LapList& list, LapRankState& st) {
    ClearPlaces(st.BestSectTmIdx);
    const int rows = RowsOf(list, st.SectMs.size());
    for (int c = 0; c < SectCols; ++c) {
        // Ranked by the time itself: 1:00:00.000 comes after 59:59.999.
        const auto ms = [&](int r) {
            const long long v = st.SectMs[r][c];
            return v > 0 ? v : NoRank;
        };
        const RankIdx idx = RankThree<long long>(rows, NoRank, ms, [](long long a, long long b) { return a < b; });
        for (int p = 0; p < 3; ++p) st.BestSectTmIdx[p][c] = idx[p];
    }
}

void SetBestDriftRank(const LapList& list, LapRankState& st) {
    st.BestDrIdx = {-1, -1, -1};
    ClearPlaces(st.BestSectDrIdx);
    const int rows = RowsOf(list, st.DriftTenths.size());
    const auto better = [](long long a, long long b) { return std::llabs(a) > std::llabs(b); };
    for (int c = 0; c < DriftCols; ++c) {
        const auto tenths = [&](int r) { return st.DriftTenths[r][c]; };
        const RankIdx idx = RankThree<long long>(rows, 0LL, tenths, better);
        if (c == 0) st.BestDrIdx = idx;
        else
            for (int p = 0; p < 3; ++p) st.BestSectDrIdx[p][c - 1] = idx[p];
    }
}

QString SetSectTmList(LapList& list, const QString& tempDir, const SectorLines& lines, LapRankState& st) {
    ClearPlaces(st.BestSectTmIdx);
    const int n = lines.Count();
    for (int c = 0; c < SectCols; ++c)
        st.Headers[c] = n == 0 ? (c == 0 ? QStringLiteral("セクタ") : QString())
                               : (c <= n ? QStringLiteral("セクタ%1").arg(c + 1) : QString());
    const QStringList numbers = DataNumbers(list);
    // Without lines every time is 0, so no file needs reading.
    std::vector<std::shared_ptr<const RowFigures>> figures(static_cast<size_t>(numbers.size()));
    const QString firstError = n > 0 ? FillFigures(numbers, tempDir, lines, st, figures) : QString();
    st.SectMs.clear();
    st.SectMs.reserve(numbers.size());
    for (qsizetype i = 0; i < numbers.size(); ++i) {
        const RowFigures* f = figures[static_cast<size_t>(i)].get();
        std::array<long long, 5> ms{};
        for (int c = 0; c < SectCols; ++c) {
            const long double tm = f ? f->SectTm[c] : 0;
            list.Rows[i].Cells[FirstSectTmCol + c] = SectTimeCellText(tm);
            ms[c] = SectTimeMs(tm);
        }
        st.SectMs.append(ms);
    }
    // A row without a data number ends the fill before the ranking.
    if (numbers.size() == list.Rows.size()) SetBestSectRank(list, st);
    return firstError;
}

QString SetDriftAngleList(LapList& list, const QString& tempDir, const SectorLines& lines, LapRankState& st) {
    const int n = lines.Count();
    for (int c = 0; c < SectCols; ++c)
        st.Headers[FirstSectDrCol - FirstSectTmCol + c] =
            n == 0 ? (c == 0 ? QStringLiteral("セクタ(スコア)") : QString())
                   : (c <= n ? QStringLiteral("セクタ%1(スコア)").arg(c + 1) : QString());
    const QStringList numbers = DataNumbers(list);
    std::vector<std::shared_ptr<const RowFigures>> figures;
    const QString firstError = FillFigures(numbers, tempDir, lines, st, figures);
    st.DriftTenths.clear();
    st.DriftTenths.reserve(numbers.size());
    for (qsizetype i = 0; i < numbers.size(); ++i) {
        // A file that can't be read shows no drift.
        const RowFigures* f = figures[static_cast<size_t>(i)].get();
        std::array<long long, 6> tenths{};
        QString* cells = list.Rows[i].Cells.data() + DriftCol;
        for (int c = 0; c < DriftCols; ++c) cells[c].clear();
        if (!f || !f->drift) {
            cells[0] = QStringLiteral("-");
            for (int t = 0; t <= n; ++t) cells[1 + t] = QStringLiteral("-");
        } else if (n == 0) {
            cells[0] = QString::number(RoundInt(f->top));
        } else {
            tenths[0] = ScoreTenths(f->TotalScore);
            cells[0] = DriftCellText(f->top, tenths[0], 5);
            for (int t = 0; t <= n; ++t) {
                if (f->SectPeakAng[t] == 0) continue;
                tenths[1 + t] = ScoreTenths(f->SectScore[t]);
                cells[1 + t] = DriftCellText(f->SectPeakAng[t], tenths[1 + t], 4);
            }
        }
        st.DriftTenths.append(tenths);
    }
    if (numbers.size() == list.Rows.size()) SetBestDriftRank(list, st);
    return firstError;
}

void KeepWritten(LapRankState& st, const QString& file, const QVector<TLapElmRec>& samples) {
    st.Written.insert(file, samples);
    st.Figures.remove(file);
}

void ForgetGoneRows(const LapList& list, const QString& tempDir, LapRankState& st) {
    if (st.Figures.isEmpty() && st.Written.isEmpty()) return;
    QSet<QString> named;
    named.reserve(list.Rows.size());
    for (const LapRow& row : list.Rows) named.insert(WorkingFileName(tempDir, row.Cells[DataNumberCol]));
    st.Figures.removeIf([&](decltype(st.Figures)::iterator f) { return !named.contains(f.key()); });
    st.Written.removeIf([&](decltype(st.Written)::iterator w) { return !named.contains(w.key()); });
}

int LapCellRank(const LapRankState& st, int row, int col) {
    const int r = row - 1;
    if (r < 0) return 0;
    for (int p = 0; p < 3; ++p) {
        int idx = -1;
        if (col == TimeCol) idx = st.BestTmIdx[p];
        else if (col == SpdCol) idx = st.BestSpdIdx[p];
        else if (col >= FirstSectTmCol && col < FirstSectTmCol + SectCols) idx = st.BestSectTmIdx[p][col - FirstSectTmCol];
        else if (col == DriftCol) idx = st.BestDrIdx[p];
        else if (col >= FirstSectDrCol && col < FirstSectDrCol + SectCols) idx = st.BestSectDrIdx[p][col - FirstSectDrCol];
        else return 0;
        if (idx == r) return p + 1;
    }
    return 0;
}

CellColours LapCellColours(const LapList& list, const LoadedLaps& laps, const LapRankState& st, int row, int col) {
    CellColours c;
    if (row < 1 || row > list.Rows.size() || col < 0 || col >= LapListColumns) return c;
    const LapRow& r = list.Rows[row - 1];
    const QString& number = r.Cells[DataNumberCol];
    const int loaded = static_cast<int>(std::min<qsizetype>({laps.LapDtNum, laps.LapDt.size(), 4}));
    if (!number.isEmpty()) {
        for (int k = 0; k < loaded; ++k) {
            if (laps.LapDt[k].DtName == number) {
                c.font = SlotColor[k];
                break;
            }
        }
    }
    if (col == GroupCol) return {ColorWhite, ColorWhite};
    long long grp = 0;
    if (!StrToIntStrict(r.Cells[GroupCol], grp)) grp = 0;
    if (grp % 2 != 0) c.brush = GroupShade;
    if (const int place = LapCellRank(st, row, col)) c.brush = RankColor[place - 1];
    return c;
}

void LapRanking::SetBestLapRank() {
    vel::SetBestLapRank(session_.lapList, state_);
    ForgetGoneRows(session_.lapList, session_.folders.TempDir, state_);
    Changed();
}

void LapRanking::SetSectTmList() {
    Report(vel::SetSectTmList(session_.lapList, session_.folders.TempDir, lines_, state_));
    Changed();
}

void LapRanking::SetDriftAngleList() {
    Report(vel::SetDriftAngleList(session_.lapList, session_.folders.TempDir, lines_, state_));
    Changed();
}

void LapRanking::RowWritten(const QString& file, const QVector<TLapElmRec>& samples) {
    KeepWritten(state_, file, samples);
}

void LapRanking::SetBestSectRank() {
    vel::SetBestSectRank(session_.lapList, state_);
    Changed();
}

void LapRanking::SetBestDriftRank() {
    vel::SetBestDriftRank(session_.lapList, state_);
    Changed();
}

void LapRanking::Changed() {
    if (onChanged) onChanged();
}

void LapRanking::Report(const QString& error) {
    if (!error.isEmpty() && onError) onError(error);
}

} // namespace vel
