#include "import/control_lines.h"

#include <cmath>
#include "common/geodesy.h"
#include "common/parsing.h"

namespace vel {

namespace {

LineEnds EndsAt(const QStringList& file, int first) {
    LineEnds e;
    e.Ido1 = StrToFloatDef0(file[first]);
    e.Kdo1 = StrToFloatDef0(file[first + 1]);
    e.Ido2 = StrToFloatDef0(file[first + 2]);
    e.Kdo2 = StrToFloatDef0(file[first + 3]);
    return e;
}

void AppendEnds(QStringList& out, const LineEnds& e) {
    out << FormatFixed(e.Ido1, 6) << FormatFixed(e.Kdo1, 6) << FormatFixed(e.Ido2, 6)
        << FormatFixed(e.Kdo2, 6);
}

bool BlockActive(const LogStore& store, int32_t blk) {
    return blk >= 0 && blk < store.LogBlockNum() && store.LogBlock[blk].Act;
}

int32_t ItemCount(const LogStore& store) {
    // Never beyond what the arrays hold.
    const int32_t cap = static_cast<int32_t>(store.LogItem.size);
    return store.LogItemNum < 0 ? 0 : (store.LogItemNum > cap ? cap : store.LogItemNum);
}

} // namespace

ClnApplied ApplyClnLines(LineChoice& lines, const QStringList& file, bool byLoad) {
    ClnApplied out;
    if (file.size() <= 4) return out;
    if (file[0] == QLatin1String("1")) {
        lines.CtrlLineSet = true;
        lines.StaLineSet = lines.FinLineSet = false;
        lines.CtrlLine = EndsAt(file, 1);
        lines.RallySta = false;
        out.changed = true;
        out.controlLine = true;
        out.rallyBox = false;
    } else if (file[0] == QLatin1String("2") && file.size() > 8) {
        lines.CtrlLineSet = false;
        lines.StaLineSet = lines.FinLineSet = true;
        lines.CtrlLine = EndsAt(file, 1);
        lines.FinLine = EndsAt(file, 5);
        if (byLoad && file.size() > 9) {
            lines.RallySta = file[9] == QLatin1String("1");
            out.rallyBox = lines.RallySta;
        }
        out.changed = true;
    }
    return out;
}

bool CanSaveCln(const LineChoice& lines) {
    return lines.CtrlLineSet || (lines.StaLineSet && lines.FinLineSet);
}

QStringList ClnFileLines(const LineChoice& lines) {
    QStringList out;
    if (lines.CtrlLineSet) {
        out << QStringLiteral("1");
        AppendEnds(out, lines.CtrlLine);
        return out;
    }
    out << QStringLiteral("2");
    AppendEnds(out, lines.CtrlLine);
    AppendEnds(out, lines.FinLine);
    out << (lines.RallySta ? QStringLiteral("1") : QStringLiteral("0"));
    return out;
}

SelRange ActiveRange(const LogStore& store) {
    const int32_t n = ItemCount(store);
    SelRange r;
    if (n <= 0) return r;
    r.first = n - 1;
    for (int32_t i = 0; i < n; ++i)
        if (store.LogItem[i].Act) {
            r.first = i;
            break;
        }
    r.last = r.first;
    for (int32_t i = n - 1; i > r.first; --i)
        if (store.LogItem[i].Act) {
            r.last = i;
            break;
        }
    return r;
}

std::optional<SearchPos> CircuitSearchPos(const LogStore& store) {
    const int32_t n = ItemCount(store);
    if (n <= 0) return std::nullopt;
    auto counts = [&](int32_t i) { return store.LogItem[i].Act && BlockActive(store, store.LogItem[i].BlkIdx); };
    int32_t f = n - 1;
    for (int32_t i = 0; i < n; ++i)
        if (counts(i)) {
            f = i;
            break;
        }
    int32_t l = f;
    for (int32_t i = n - 1; i > f; --i)
        if (counts(i)) {
            l = i;
            break;
        }
    if (l == f) return std::nullopt;
    int32_t p = l;
    while (p > f && store.LogItem[p - 1].BlkIdx == store.LogItem[l].BlkIdx) --p;
    return SearchPos{store.LogItem[p].Ido, store.LogItem[p].Kdo};
}

bool ParseMarkText(const QString& text, long double& ido, long double& kdo) {
    QStringList fields;
    SplitToList(fields, text, ',');
    if (fields.size() != 2) return false;
    ido = StrToFloatDef0(fields[0]);
    kdo = StrToFloatDef0(fields[1]);
    return true;
}

void ShiftLogItems(LogStore& store, long double dIdo, long double dKdo) {
    const int32_t n = ItemCount(store);
    for (int32_t i = 0; i < n; ++i) {
        TLogItem& it = store.LogItem[i];
        it.Ido = static_cast<double>(it.Ido + dIdo);
        it.Kdo = static_cast<double>(it.Kdo + dKdo);
    }
}

QVector<TLapElmRec> SelectionRunRecords(const LogStore& store) {
    QVector<TLapElmRec> out;
    const SelRange r = ActiveRange(store);
    if (r.first < 0 || r.Single()) return out;
    const long double rad = Pi / 180;
    const double t0 = store.LogItem[r.first].DtTm;
    long double dist = 0;
    const TLogItem* prev = nullptr;
    for (int32_t i = r.first; i <= r.last; ++i) {
        const TLogItem& it = store.LogItem[i];
        if (!it.Act) continue;
        if (prev) {
            const long double x = EarthR * std::cos(it.Ido * rad) * ((it.Kdo - prev->Kdo) * rad);
            const long double y = EarthR * ((it.Ido - prev->Ido) * rad);
            dist += std::sqrt(x * x + y * y) / 1000;
        }
        TLapElmRec rec;
        rec.DtTm = it.DtTm;
        rec.Tm = it.DtTm - t0;
        rec.Sec = static_cast<long double>(rec.Tm) * 86400;
        rec.Ido = it.Ido;
        rec.Kdo = it.Kdo;
        rec.Elv = it.Elv;
        rec.Spd = it.Spd;
        // 180 becomes 360, not 0: run files have always carried it so.
        rec.Dir = static_cast<long double>(it.Dir) + 180;
        if (rec.Dir > 360) rec.Dir -= 360;
        rec.Dist = dist;
        rec.UseSat = it.sat_used;
        out << rec;
        prev = &it;
    }
    return out;
}

QByteArray SelectionRunBytes(const LogStore& store) {
    const QVector<TLapElmRec> recs = SelectionRunRecords(store);
    QByteArray out(recs.size() * TLapElmRec::Size, '\0');
    for (qsizetype i = 0; i < recs.size(); ++i)
        EncodeLapElm(recs[i], reinterpret_cast<uint8_t*>(out.data()) + i * TLapElmRec::Size);
    return out;
}

} // namespace vel
