#include "import/log_formats.h"

#include <QFileInfo>
#include "import/log_store_loaders.h"

namespace vel {

const QVector<LogFormat>& LogFormats() {
    static const QVector<LogFormat> formats = {
        {".bnx4", LogKind::Bnx4, nullptr, "Velmaris4 GPS data files"},
        {".binx", LogKind::Binx, nullptr, "Velmaris3 GPS data files"},
        {".bin", LogKind::Bin, nullptr, "Velmaris GPS data files"},
        {".dtb", LogKind::Dtb, LoadLapFileBinToLogItems, "Velmaris Record files"},
        {".bon4", LogKind::Bon4, LoadLapFileBle4ToLogItems, "Velmaris GPS ble files"},
        {".bon", LogKind::Bon, LoadLapFileBleToLogItems, "Velmaris GPS ble files"},
        {".bnz4", LogKind::Bnz4, LoadLapFileBleZ4ToLogItems, "Velmaris GPS ble Z files"},
        {".bonz", LogKind::BonZ, LoadLapFileBleZToLogItems, "Velmaris GPS ble Z files"},
    };
    return formats;
}

const LogFormat* LogFormatOf(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    const int dot = name.lastIndexOf('.');
    if (dot < 0) return nullptr;
    const QString ext = name.mid(dot).toUpper();
    for (const LogFormat& f : LogFormats())
        if (ext == f.ext.toUpper()) return &f;
    return nullptr;
}

QStringList LogOpenFilters() {
    // Every format first, then one filter per label, extensions in table order.
    QStringList all;
    QStringList labels;
    QVector<QStringList> patterns;
    for (const LogFormat& f : LogFormats()) {
        const QString pattern = "*" + f.ext;
        all << pattern;
        const qsizetype i = labels.indexOf(f.filter);
        if (i < 0) {
            labels << f.filter;
            patterns << QStringList{pattern};
        } else {
            patterns[i] << pattern;
        }
    }
    QStringList filters = {QStringLiteral("Velmaris GPS data files or Record files (%1)").arg(all.join(' '))};
    for (qsizetype i = 0; i < labels.size(); ++i)
        filters << QStringLiteral("%1 (%2)").arg(labels[i], patterns[i].join(' '));
    return filters;
}

QStringList LogSaveFilters() {
    return {
        QStringLiteral("Velmaris4 GPS data files (*.bnx4 *.binx *.bin)"),
        QStringLiteral("Velmaris GPS data files (*.binx *.bin)"),
    };
}

} // namespace vel
