#include "model/lap_list.h"

namespace vel {

const std::array<QString, LapListColumns>& LapListHeaders() {
    static const std::array<QString, LapListColumns> h = {
        "データ名", "データ番号", "日付", "時刻", "タイム", "最高速 km/h", "キョリ km",
        "ファイル名", "セクタ", "", "", "", "", "ドリフト(スコア)", "セクタ(スコア)",
        "", "", "", "", ""};
    return h;
}

const std::array<int, LapListColumns>& LapListWidths() {
    // Column 7 is column 0's width x 18 / 10.
    static const std::array<int, LapListColumns> w = {
        120, 80, 100, 80, 90, 114, 80, 120 * 18 / 10, 82, 82, 82, 82, 82, 88, 88, 88, 88, 88, 88, 40};
    return w;
}

} // namespace vel
