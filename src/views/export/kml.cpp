#include "views/export/kml.h"

#include <string>
#include "model/colors.h"
#include "views/export/fixed_text.h"

namespace vel {

namespace {

// Element text: the three characters that would end or break it escaped,
// and control characters (a Linux file name may hold them) left out: XML
// allows none but tab and line ends, and those would break the name's line.
QString XmlText(QString s) {
    s.removeIf([](QChar c) { return c.unicode() < 0x20; });
    s.replace(QLatin1Char('&'), QLatin1String("&amp;"));
    s.replace(QLatin1Char('<'), QLatin1String("&lt;"));
    s.replace(QLatin1Char('>'), QLatin1String("&gt;"));
    return s;
}

} // namespace

QString KmlColor(int slot) {
    const uint32_t c = 0xAF000000u | (SlotColor[size_t(slot) % SlotColor.size()] & 0xFFFFFFu);
    return QStringLiteral("%1").arg(c, 8, 16, QLatin1Char('0')).toUpper();
}

QStringList KmlLines(const QString& name, const LoadedLaps& laps, const Comparison& cmp) {
    QStringList lines;
    lines << QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>")
          << QStringLiteral("<kml xmlns=\"%1\">").arg(KmlNamespace) << QStringLiteral("<Document>")
          << QStringLiteral("<name>") << XmlText(name) << QStringLiteral("</name>");
    std::string s;
    const int shown = std::min<int>(laps.LapDtNum, DispSlotNum);
    for (int k = 0; k < shown; ++k) {
        const int idx = cmp.DispSlot[k].LapIdx;
        if (idx < 0 || idx >= laps.LapDt.size()) continue;
        const TLapDtRec& lap = laps.LapDt[idx];
        lines << QStringLiteral("<Folder>") << QStringLiteral("<name>") << XmlText(lap.DtName)
              << QStringLiteral("</name>") << QStringLiteral("<Placemark>") << QStringLiteral("<Style>")
              << QStringLiteral("<LineStyle>") << QStringLiteral("<color>") + KmlColor(k) + QStringLiteral("</color>")
              << QStringLiteral("<width>4</width>") << QStringLiteral("</LineStyle>") << QStringLiteral("</Style>")
              << QStringLiteral("<LineString>") << QStringLiteral("<tessellate>1</tessellate>")
              << QStringLiteral("<coordinates>");
        for (const TLapElmRec& e : lap.Elm) {
            s.clear();
            AppendFixed(s, double(e.Kdo), 7);
            s += ',';
            AppendFixed(s, double(e.Ido), 7);
            s += ',';
            AppendInt(s, TruncToInt(double(e.Elv)));
            lines << QString::fromLatin1(s.data(), qsizetype(s.size()));
        }
        lines << QStringLiteral("</coordinates>") << QStringLiteral("</LineString>") << QStringLiteral("</Placemark>")
              << QStringLiteral("</Folder>");
    }
    lines << QStringLiteral("</Document>") << QStringLiteral("</kml>");
    return lines;
}

} // namespace vel
