#include "logger/logger_requests.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include "common/parsing.h"

namespace vel {

namespace LoggerText {
const char* const EraseAsk = "GPSロガーのログを消去しますか？\r処理に約1分30秒かかります。";
const char* const AbortAsk = "ダウンロードを中止しますか?";
const char* const Erased = "GPSロガーのログを消去しました。";
const char* const SetUp = "GPSロガーをセットアップしました。";
const char* const Only20HzQK4 = "20Hz は、ヴェルマリスⅣ でしか設定できません。";
const char* const FirmwareUpdate = "GPSファームウェアのアップデートが必要です。\rお問い合わせください。";
const char* const SetupNeededQK4 = "GPSロガーのセットアップ(10Hz／5Hz／20Hz)を\r行ってください。";
const char* const SetupNeeded = "GPSロガーのセットアップ(5Hz／10Hz／2Hz)を\r行ってください。";
const char* const UnknownModeAskQK4 = "不明なモードです。\r10Hzモードでのセットアップを実行しますか？";
const char* const UnknownModeAsk = "不明なモードです。\r5Hzモードでのセットアップを実行しますか？";
}

namespace {

// The sentences' numbers in printf formats; the compiler checks each format
// against its argument's type, and a mismatch stops the build.
#pragma GCC diagnostic error "-Wformat"
[[gnu::format(printf, 1, 2)]] QByteArray Fmt(const char* f, ...) {
    char buf[64];
    va_list ap;
    va_start(ap, f);
    std::vsnprintf(buf, sizeof buf, f, ap);
    va_end(ap);
    return buf;
}

QList<QByteArray> List(std::initializer_list<const char*> l) {
    QList<QByteArray> out;
    for (const char* s : l) out << QByteArray(s);
    return out;
}

QByteArray RateRestore(const QByteArray& rate, const char* other) {
    if (rate == "1") return "PMTK300,100,0,0,0,0";
    if (rate == "2") return "PMTK300,200,0,0,0,0";
    if (rate == "5") return "PMTK300,500,0,0,0,0";
    return other;
}

// The set-up of a model for a fix-interval sentence and a QK3 rate code.
QList<QByteArray> SetupSentences(LoggerModel m, const char* fix, const char* rate) {
    if (m == LoggerModel::QK4)
        return List({"PMTK182,1,2,0004103F", "PMTK182,1,3,1", "PMTK182,1,4,0", "PMTK182,1,5,0", "PMTK182,1,6,2",
                     fix, "PTSI990,2,1,27"});
    QList<QByteArray> out{"PMTK182,1,2,8004107D", QByteArray("PMTK182,1,3,") + rate, "PMTK182,1,4,0",
                          "PMTK182,1,5,0", "PMTK182,1,6,2", fix};
    return out;
}

int FixOf(const QByteArray& s) {
    bool ok = false;
    const int v = s.trimmed().toInt(&ok);
    return ok ? v : 9999;
}

} // namespace

QByteArray TrigSentence(LoggerModel model, int n) {
    const QByteArray num = QByteArray::number(n);
    switch (model) {
    case LoggerModel::QK4:
        if (n < 1) return "PTSI777,2,00.01";
        if (n < 10) return "PTSI777,2,0" + num + ".00";
        return "PTSI777,2," + num + ".00";
    case LoggerModel::QK3:
        if (n < 10) return "PTSI777,2,0" + QByteArray::number(std::max(n, 0)) + ".00";
        return "PTSI777,2," + num + ".00";
    case LoggerModel::Older: break;
    }
    return "PTSI777,2," + num + ".0000";
}

SentenceRequest SentencesFor(const QString& req, const AnswerSlots& a, int trigSpd) {
    SentenceRequest r;
    const LoggerModel m = ModelOfRelease(a.LoggerRelease);
    const bool tsi860 = a.LoggerRelease.contains("TSI_860ED");
    r.known = true;
    if (req == Req::CheckStatQK3) {
        r.clearAnswers = true;
        r.keepQK4Set = true;
        r.bodies << "PMTK182,2,8";
        if (m == LoggerModel::QK4) r.bodies << "PMTK182,2,10";
        else if (m == LoggerModel::QK3) r.bodies << "PMTK182,2,3";
        else {
            r.bodies << List({"PMTK182,2,10", "PMTK182,2,2", "PMTK182,2,3", "PMTK182,2,4", "PMTK182,2,5", "PMTK182,2,6",
                              "PMTK400", "PMTK401", "PMTK413", "PMTK492", "PMTK430", "PMTK490", "PMTK414"});
            if (tsi860) r.bodies << "PTSI777,1";
        }
    } else if (req == Req::CheckStat) {
        r.clearAnswers = true;
        r.bodies << List({"PMTK182,2,8", "PMTK182,2,10", "PMTK182,2,2", "PMTK182,2,3", "PMTK182,2,4", "PMTK182,2,5",
                          "PMTK182,2,6", "PMTK400"});
        if (m == LoggerModel::QK4) r.bodies << "PTSI990,2,0" << "PTSI777,1";
        else if (m == LoggerModel::QK3) r.bodies << "PTSI999,9" << "PTSI777,1";
        else {
            r.bodies << List({"PMTK401", "PMTK413", "PMTK492", "PMTK430", "PMTK490", "PMTK414"});
            if (tsi860) r.bodies << "PTSI777,1";
        }
    } else if (req == Req::FormatAll) {
        r.bodies << "PMTK182,6,1";
        // The erase may take the 1 min 30 s the question promises, on every model.
        r.watchdogMs = WatchdogEraseMs;
    } else if (req == Req::Set10Hz) {
        if (m == LoggerModel::Older) {
            const bool fw = a.AnsSettings == "0,10,115200,0,1,0,0,0,0,0,0,0,0,115200" ||
                            (a.AnsSettings == "0,5,115200,0,1,0,0,0,0,0,0,0,2,115200" &&
                             a.AnsMacAdr == "FFFFFF881C00");
            if (!fw) {
                r.refusal = SentenceRequest::Firmware;
                return r;
            }
        }
        r.bodies = SetupSentences(m, "PMTK300,100,0,0,0,0", "1");
        if (m == LoggerModel::Older)
            r.bodies << List({"PMTK301,0", "PMTK313,0", "PMTK330,0", "PMTK314,0,1,0,0,0,0,0,0,0,0,0,0,0,0,0,1,0,0,0"});
    } else if (req == Req::Set5Hz) {
        r.bodies = SetupSentences(m, "PMTK300,200,0,0,0,0", "2");
        if (m == LoggerModel::Older)
            r.bodies << List({"PMTK301,2", "PMTK313,1", "PMTK330,0", "PMTK314,0,1,0,0,0,0,0,0,0,0,0,0,0,0,0,1,0,0,0"});
    } else if (req == Req::Set2Hz20Hz) {
        if (m != LoggerModel::QK4) {
            r.refusal = SentenceRequest::Only20HzQK4;
            return r;
        }
        r.bodies = SetupSentences(m, "PMTK300,50,0,0,0,0", "1");
    } else if (req == Req::SetTrig) {
        r.bodies << TrigSentence(m, trigSpd);
    } else if (req == Req::RetDtFix) {
        r.bodies << RetDtFixSentence(a.AnsLogRate);
    } else {
        r.known = false;
    }
    return r;
}

StatusView EvaluateStatus(const AnswerSlots& a, const QString& portName, bool stat2) {
    StatusView v;
    const LoggerModel m = ModelOfRelease(a.LoggerRelease);
    const int fix = FixOf(a.AnsFixIntv);
    const QString unknown = QStringLiteral("不明なモード");
    bool badMode = false;
    auto setMode = [&](const char* text) {
        v.mode = QString::fromUtf8(text);
        v.modeColour = LabelColour::Black;
    };
    auto setBad = [&] {
        v.mode = unknown;
        v.modeColour = LabelColour::Red;
        badMode = true;
    };
    // 1. mode
    if (m == LoggerModel::QK4) {
        if (a.AnsLogRate != "1") setBad();
        else if (fix == 100) setMode("10Hzモード");
        else if (fix == 200) setMode("5Hzモード");
        else if (fix == 50) setMode("20Hzモード");
        else setBad();
    } else {
        if (a.AnsLogRate == "1") setMode("10Hzモード");
        else if (a.AnsLogRate == "2") setMode("5Hzモード");
        else if (a.AnsLogRate == "5") setMode("2Hzモード");
        else setBad();
    }
    // 2. free memory
    double used = 0, capacity = 1;
    if (m == LoggerModel::QK4) {
        used = HexToInt(a.AnsLogUsed);
        capacity = 16769024;
    } else if (m == LoggerModel::QK3) {
        used = HexToInt(a.AnsLogUsed);
        capacity = 8192000;
    } else {
        used = HexToInt(a.AnsLogRecs);
        capacity = 109504;
    }
    double free = 100.0 - used / capacity * 100.0;
    if (free < 0.8) free = 0;
    v.logStat = QString::asprintf("空き領域 %.1f%%", free);
    v.logStatColour = free > 20 ? LabelColour::Black : LabelColour::Red;
    // 3. port
    v.port = QStringLiteral("ポート = ") + portName;
    // 4. version
    const QString release = QString::fromLatin1(a.LoggerRelease);
    if (m == LoggerModel::QK4) {
        v.version = release + "," + QString::fromLatin1(a.AnsQK4Set);
    } else if (m == LoggerModel::QK3) {
        if (a.LoggerRelease.contains("0006") || a.LoggerRelease.contains("0007")) {
            v.version = release;
        } else {
            v.version = release + QStringLiteral(" (要アップデート、詳細はHP)");
            v.versionColour = LabelColour::Red;
        }
    }
    // 5. log start speed
    const bool tsi860 = a.LoggerRelease.contains("TSI_860ED");
    if (m != LoggerModel::Older || tsi860) {
        v.trigShown = true;
        v.trigSpd = int(std::nearbyint(double(StrToFloatDef0(QString::fromLatin1(a.AnsTrigSpd)))));
        v.trig = QString::asprintf("ログ開始速度 = %d km/h", v.trigSpd);
        if (m != LoggerModel::QK4 && v.trigSpd < 1) {
            v.trigColour = LabelColour::Red;
            v.trig2 = QStringLiteral("この設定はログを停止しません。");
        }
    }
    // 6. mode check
    if (m == LoggerModel::Older) {
        const bool ok = (a.AnsLogRate == "1" && fix == 100) || (a.AnsLogRate == "2" && fix == 200) ||
                        (a.AnsLogRate == "5" && fix == 500) || (!stat2 && a.AnsLogRate == "2" && fix == 100);
        if (!ok) badMode = true;
    }
    // 7. set-up check
    bool wrong = badMode || a.AnsLogDist != "0" || a.AnsLogSpd != "0" || a.AnsLogMethod != "2";
    if (m == LoggerModel::QK4) {
        const uint32_t want = 0x4103F;
        wrong = wrong || a.AnsLogFmt.isEmpty() || (uint32_t(HexToInt(a.AnsLogFmt)) & want) != want ||
                a.AnsQK4Set != "27";
    } else {
        wrong = wrong || a.AnsLogFmt != "8004107D" || fix > 1000;
        if (m == LoggerModel::Older)
            wrong = wrong || a.AnsDatum != "0" ||
                    (a.AnsNmeaOut != "0,1,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0" &&
                     a.AnsNmeaOut != "0,1,0,0,0,0,0,0,0,0,0,0,0,0,0,1,0,0,0");
    }
    v.wrongSetup = wrong;
    if (wrong) {
        v.mode = unknown;
        v.modeColour = LabelColour::Red;
    }
    return v;
}

DownloadPlan PlanQK4(const AnswerSlots& a) {
    DownloadPlan p;
    int blocks = 1;
    if (!a.AnsLogUsed.isEmpty()) {
        const int64_t u = std::max<int64_t>(HexToInt(a.AnsLogUsed), 0);
        blocks = int(std::min<int64_t>((u + 4095) / 4096, 4094));
    }
    p.firstFlag = 0;
    p.flagCount = 2 * blocks;
    p.bodies << Fmt("PMTK182,7,0,%X000", unsigned(blocks)) << "PMTK182,7,FFFFF0,10";
    p.dlTotal = 2 * blocks;
    return p;
}

int LastUsedSector(const AnswerSlots& a) {
    if (a.AnsLogUsed.isEmpty()) return 127;
    return int(std::clamp<int64_t>(std::max<int64_t>(HexToInt(a.AnsLogUsed), 0) / 65536, 0, 127));
}

DownloadPlan PlanSectors(const AnswerSlots& a, LoggerModel model, int first, int last) {
    DownloadPlan p;
    first = std::clamp(first, 0, 127);
    last = std::clamp(last, 0, 127);
    if (last >= first) {
        p.firstFlag = first * 64;
        p.flagCount = (last - first + 1) * 64;
    }
    if (model == LoggerModel::QK3) {
        const QList<QByteArray> f = a.LoggerRelease.split(',');
        bool ok = false;
        int firmware = f.size() > 2 ? f[2].trimmed().toInt(&ok) : 0;
        if (!ok) firmware = 10000;
        for (int s = first; s <= last; ++s) {
            if (firmware > 10000) {
                for (int j = 0; j < 64; ++j) p.bodies << Fmt("PTSI870,7,%.8lld,1024", (long long)s * 65536 + j * 1024);
            } else {
                for (int j = 0; j < 32; ++j) p.bodies << Fmt("PMTK182,7,%.8llX,800", (unsigned long long)s * 65536 + j * 2048);
            }
        }
    } else {
        p.bodies << "PMTK300,1000,0,0,0,0";
        for (int s = first; s <= last; ++s)
            for (int j = 0; j < 32; ++j) p.bodies << Fmt("PMTK182,7,%.8llX,800", (unsigned long long)s * 65536 + j * 2048);
        p.bodies << RateRestore(a.AnsLogRate, "PMTK300,200,0,0,0,0");
    }
    p.dlTotal = int(p.bodies.size());
    return p;
}

QByteArray RetDtFixSentence(const QByteArray& rateCode) {
    return RateRestore(rateCode, "PMTK300,1000,0,0,0,0");
}

LoadRange InitialRange(int lastSector) {
    LoadRange r;
    r.used = lastSector;
    // Ticks that hold every used sector: sector 32 lies in the fourth MiB.
    r.max = std::clamp((lastSector + 16) / 16, 1, 8);
    r.start = 0;
    r.end = r.max;
    return r;
}

void RangeMouseDown(LoadRange& r, int x, int y, int w, int h) {
    const int step = (w - 21) / 16;
    if (step <= 0 || h <= 0) return;   // too narrow to tell the ticks apart
    const int t = ((x - 10) / step + 1) / 2;
    if (y <= h / 3) {
        if (x < 10) {
            r.start = 0;
        } else if (x < w - 11 && t < r.max) {
            r.start = t;
            if (r.end <= r.start) r.end = r.start + 1;
        }
    } else if (y >= 2 * h / 3 && x >= 10) {
        if (x < w - 11) {
            if (t > 0 && t <= r.max) {
                r.end = t;
                if (r.start >= r.end) r.start = r.end - 1;
            }
        } else if (r.max == 8) {
            r.end = 8;
        }
    }
}

void ApplyRange(const LoadRange& r, int& first, int& last) {
    first = r.start * 16;
    if (last > r.end * 16) last = r.end * 16 - 1;
}

} // namespace vel
