#include "tolv/data/docrules.h"

#include "common/format.h"

#include <algorithm>

namespace varenta {

std::string viewTitle(int kind, bool windData)
{
    switch (kind) {
    case viewkind::kRawTable: return "生データ表";
    case viewkind::kRawGraph: return "生データのグラフ";
    case viewkind::kResultsTable: return "処理結果表";
    case viewkind::kResultsGraph: return "処理結果のグラフ";
    case viewkind::kPowerSpectrum: return "パワースペクトル";
    case viewkind::kDirectional3d: return "方向スペクトル３Ｄグラフ";
    case viewkind::kComponentGraph: return windData ? "成分風速２次元グラフ" : "成分流速２次元グラフ";
    case viewkind::kDirectionalContour: return "方向スペクトルコンターグラフ";
    default: return {};
    }
}

int textPaneHelpContext(int kind, int headerVersion)
{
    if (kind == viewkind::kRawTable)
        return headerVersion == 19 ? 1027 : 1003;
    if (kind == viewkind::kResultsTable)
        return headerVersion == 19 ? 1029 : 1005;
    return 1001;
}

int graphPaneHelpContext(int kind, int headerVersion)
{
    switch (kind) {
    case viewkind::kRawGraph: return headerVersion == 19 ? 1026 : 1002;
    case viewkind::kResultsGraph: return headerVersion == 19 ? 1028 : 1004;
    case viewkind::kPowerSpectrum: return 1006;
    case viewkind::kDirectional3d: return 1019;
    case viewkind::kComponentGraph: return 1024;
    case viewkind::kDirectionalContour: return 1019;
    default: return 1001;
    }
}

std::uint32_t graphPanePopupMask(int kind)
{
    return (kind == viewkind::kRawGraph || kind == viewkind::kResultsGraph) ? popupbit::kRawOrResultsGraph
                                                                              : popupbit::kOtherGraph;
}

long long rawTableDataNumber(long long caret, int valuesPerRow, long long rowCount, int leadWidth)
{
    if (valuesPerRow <= 0 || rowCount <= 0 || caret < 0)
        return 0;
    const long long rowLength = 8LL * valuesPerRow + 1 + std::max(0, leadWidth);
    const long long row = std::min(caret / rowLength, rowCount - 1);
    const long long within = std::max(0LL, caret - row * rowLength - std::max(0, leadWidth));
    return static_cast<long long>(valuesPerRow) * row + within / 8;
}

long long resultsTableMeasurement(long long p, long long L, long long H, long long G)
{
    if (L <= 0 || G <= 0 || p < 0)
        return 0;
    if (H < 0)
        H = 0;
    if (p < L * H)
        return p / L + 1;
    const long long q = p - (L * H + 2);
    if (q < 0)
        return H + 1;  // on the blank line after the headings: the first row below it
    const long long block = L * G + 2;
    return (q / block) * G + H + (q % block) / L + 1;
}

std::string dataNumberText(long long index, long long valuesPerMinute)
{
    std::string t = std::to_string(index);
    if (valuesPerMinute <= 0)
        return t;
    const long long minutes = index / valuesPerMinute;
    const long long seconds = ((index % valuesPerMinute) * 60) / valuesPerMinute;
    return t + "(" + formatMask(static_cast<double>(minutes), "00") + ":" + formatMask(static_cast<double>(seconds), "00") + ")";
}

}  // namespace varenta
