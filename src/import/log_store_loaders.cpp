#include "import/log_store_loaders.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <vector>
#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include "common/parsing.h"
#include "common/records.h"
#include "import/bluetooth_records.h"
#include "model/log_store.h"
#include "model/status_list.h"
#include "platform/timezone.h"

namespace vel {

namespace {

// Records read per block: a log of any size is never held whole in memory.
constexpr int64_t BlockRecords = 8192;
// The Bluetooth logs carry no satellite count.
constexpr uint8_t BtSats = 8;
// A fourth-generation BLE log marks its fixes valid.
constexpr uint16_t Bon4Valid = 3;

QString ReadErrorText(const QFile& f, const QString& fn) {
    if (f.error() != QFileDevice::NoError) return f.errorString();
    return QStringLiteral("「%1」の読み込み中にファイルのサイズが変わりました。").arg(QFileInfo(fn).fileName());
}

void ReportRejected(StatusList& status, int64_t rejected) {
    if (rejected > 0) status.Add(QStringLiteral("%1 records rejected").arg(rejected));
}

// What a failed Bluetooth read puts back.
struct StoreMark {
    int32_t itemNum;
    QVector<TLogBlock> blocks;
    double lastLogTm;
    bool logFull;

    explicit StoreMark(const LogStore& s)
        : itemNum(s.LogItemNum), blocks(s.LogBlock), lastLogTm(s.LastLogTm), logFull(s.LogFull) {}
    void Restore(LogStore& s) const {
        s.LogItemNum = itemNum;
        s.LogBlock = blocks;
        s.LastLogTm = lastLogTm;
        s.LogFull = logFull;
    }
};

// Corrects the compass headings of the samples from..LogItemNum - 1 against
// their GPS course; the motion data hold the compass heading in Yaw.
void CorrectStoredHeadings(LogStore& store, int32_t from) {
    const int32_t n = store.LogItemNum - from;
    if (n <= 0) return;
    std::vector<HeadingSample> s(static_cast<size_t>(n));
    for (int32_t k = 0; k < n; ++k) {
        const TLogItem& it = store.LogItem[from + k];
        const TMotionSens& m = store.MotionSens[from + k];
        s[static_cast<size_t>(k)] = HeadingSample{it.DtTm, it.Ido, it.Kdo, it.Spd, m.gX, m.Yaw};
    }
    CorrectHeadings(s);
    for (int32_t k = 0; k < n; ++k) store.LogItem[from + k].Dir = static_cast<float>(s[static_cast<size_t>(k)].Dir);
}

bool LoadBtLog(const QString& fn, BtKind kind, LogStore& store, StatusList& status, QString* error) {
    const QFileInfo info(fn);
    if (!info.isFile()) return false;
    const int64_t count = BtRecordCount(info.size(), kind);
    if (count < 0) return false;
    QFile f(fn);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error) *error = f.errorString();
        return false;
    }
    const int bias = TimeZoneBiasMinutes();
    const bool motion = BtHasMotion(kind);
    const uint16_t valid = kind == BtKind::Bon4 ? Bon4Valid : 0;
    const StoreMark mark(store);

    int64_t rejected = 0;
    const bool ok = ReadBtRecords(f, kind, count, bias, [&](BtSkip skip, const BtRecord& rec) {
        switch (skip) {
        case BtSkip::None:
            break;
        case BtSkip::Speed:
            status.Add(QStringLiteral("spd abnormal %1 km/h").arg(FormatFixed(rec.SpdKmh, 2)));
            return true;
        case BtSkip::BadDate:
        case BtSkip::Short:
            // One bad stamp costs its record, not the rest of the log.
            ++rejected;
            return true;
        default:
            return true;
        }
        TLogItem item;
        item.DtTm = rec.DtTm;
        item.valid = valid;
        item.Ido = rec.Ido;
        item.Kdo = rec.Kdo;
        item.Elv = rec.Elv;
        item.Spd = rec.Spd;
        item.sat_used = BtSats;
        item.sat_view = BtSats;
        item.ms = static_cast<uint16_t>(rec.Ms);
        TMotionSens m;
        if (motion) {
            m = rec.Motion;
            m.Yaw = CompassHeading(rec.Motion.Yaw);
        }
        // A full store keeps nothing later: stop reading.
        return store.AppendLogItem(item, status, m);
    });
    if (!ok) {
        if (error) *error = ReadErrorText(f, fn);
        mark.Restore(store);
        return false;
    }
    if (motion) CorrectStoredHeadings(store, mark.itemNum);
    ReportRejected(status, rejected);
    return true;
}

// A value the sample's field can hold.
bool FitsDouble(long double v) { return std::isfinite(v) && std::fabs(v) <= DBL_MAX; }
bool FitsFloat(long double v) { return std::isfinite(v) && std::fabs(v) <= FLT_MAX; }

} // namespace

bool LogItemOfLapElm(const TLapElmRec& r, TLogItem& item) {
    // Narrowing a value beyond a field's range is undefined, and a sample
    // that is no number spoils every lap cut through it.
    if (!std::isfinite(r.DtTm) || !FitsDouble(r.Ido) || !FitsDouble(r.Kdo) || !FitsFloat(r.Elv) ||
        !FitsFloat(r.Spd) || !FitsFloat(r.Dir))
        return false;
    item = TLogItem{};
    item.DtTm = r.DtTm;
    item.Ido = static_cast<double>(r.Ido);
    item.Kdo = static_cast<double>(r.Kdo);
    item.Elv = static_cast<float>(r.Elv);
    item.Spd = static_cast<float>(r.Spd);
    item.Dir = static_cast<float>(r.Dir);
    item.sat_used = static_cast<uint8_t>(r.UseSat & 0xFF);
    item.sat_view = item.sat_used;
    return true;
}

bool LoadLapFileBleToLogItems(const QString& fn, LogStore& store, StatusList& status, QString* error) {
    return LoadBtLog(fn, BtKind::Bon, store, status, error);
}

bool LoadLapFileBle4ToLogItems(const QString& fn, LogStore& store, StatusList& status, QString* error) {
    return LoadBtLog(fn, BtKind::Bon4, store, status, error);
}

bool LoadLapFileBleZToLogItems(const QString& fn, LogStore& store, StatusList& status, QString* error) {
    return LoadBtLog(fn, BtKind::BonZ, store, status, error);
}

bool LoadLapFileBleZ4ToLogItems(const QString& fn, LogStore& store, StatusList& status, QString* error) {
    return LoadBtLog(fn, BtKind::Bnz4, store, status, error);
}

bool LoadLapFileBinToLogItems(const QString& fn, LogStore& store, StatusList& status, QString* error) {
    const QFileInfo info(fn);
    if (!info.isFile()) return false;
    const int64_t size = info.size();
    if (size % TLapElmRec::Size != 0) return false;
    QFile f(fn);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error) *error = f.errorString();
        return false;
    }
    int64_t left = size / TLapElmRec::Size;
    int64_t rejected = 0;
    QByteArray block(static_cast<qsizetype>(std::min(left, BlockRecords) * TLapElmRec::Size), Qt::Uninitialized);
    const auto* data = reinterpret_cast<const uint8_t*>(block.constData());
    bool full = false;
    while (left > 0 && !full) {
        const int64_t n = std::min(left, BlockRecords);
        const int64_t bytes = n * TLapElmRec::Size;
        if (f.read(block.data(), bytes) != bytes) {
            ReportRejected(status, rejected);
            if (error) *error = ReadErrorText(f, fn);
            return false;
        }
        left -= n;
        for (int64_t i = 0; i < n; ++i) {
            TLogItem item;
            if (!LogItemOfLapElm(ReadLapElm(data + i * TLapElmRec::Size), item)) {
                ++rejected;
                continue;
            }
            if (!store.AppendLogItem(item, status)) {
                full = true;
                break;
            }
        }
    }
    ReportRejected(status, rejected);
    return true;
}

} // namespace vel
