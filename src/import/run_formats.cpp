#include "import/run_formats.h"

#include <QStringList>
#include "common/file_names.h"
#include "import/motec_csv.h"

namespace vel {

namespace {

const RunFormat* FormatOf(const QString& path) {
    const QString ext = ExtensionOf(path).toLower();
    for (const RunFormat& f : RunFormats())
        if (ext == f.ext) return &f;
    return nullptr;
}

} // namespace

const QVector<RunFormat>& RunFormats() {
    static const QVector<RunFormat> formats = {
        {".dtb", RunFileKind::Dtb, LoadLapFileToGrigBin, true, true},
        {".bon", RunFileKind::Bon, LoadLapFileToGrigBon, true, true},
        {".bonz", RunFileKind::BonZ, LoadLapFileToGrigBonZ, true, false},
        {".bond", RunFileKind::BonD, LoadLapFileToGrigBonD, false, true},
        {".csv", RunFileKind::Motec, LoadLapFileToGrigMotecCsv, false, false},
        {".csvv", RunFileKind::LapCsv, LoadLapFileToGrig, false, false},
    };
    return formats;
}

RunReader RunReaderOf(RunFileKind kind) {
    for (const RunFormat& f : RunFormats())
        if (f.kind == kind) return f.reader;
    return nullptr;
}

RunFileKind LoadDispatch(const QString& path) {
    const RunFormat* f = FormatOf(path);
    return f ? f->kind : RunFileKind::Skip;
}

RunFileKind DropDispatch(const QString& path) {
    const RunFormat* f = FormatOf(path);
    return f && f->dropped ? f->kind : RunFileKind::Skip;
}

QString RunOpenFilter() {
    QStringList patterns;
    for (const RunFormat& f : RunFormats())
        if (f.listed) patterns << "*" + f.ext;
    return QStringLiteral("Velmaris Data files (%1)").arg(patterns.join(' '));
}

} // namespace vel
