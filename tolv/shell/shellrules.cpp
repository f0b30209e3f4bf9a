#include "tolv/shell/shellrules.h"

#include "common/format.h"

namespace varenta {

std::optional<ExitQuestion> exitQuestion(std::uint32_t autoWord, std::uint32_t startFlags, bool sessionEnding)
{
    if (sessionEnding || (startFlags & startflag::kNoExitConfirm))
        return std::nullopt;
    std::string list;
    if (autoWord & autofn::kProcessing)
        list += "自動処理､";
    if (autoWord & (autofn::kTablePrint | autofn::kGraphPrint))
        list += "自動印刷､";
    if (autoWord & autofn::kDownload)
        list += "自動ダウンロード､";
    if (list.empty())
        return std::nullopt;
    ExitQuestion q;
    q.title = "自動機能停止の警告";
    q.text = list + "機能が作動しています。 終了してもよろしいですか？\r\n"
                    "［はい］＝終了、［いいえ］＝最小化、［キャンセル］＝そのまま";
    return q;
}

bool popupAllowed(std::uint32_t stateWord) { return (stateWord & kPopupStateMask) != 0; }

PopupItems popupItems(std::uint32_t mask, std::uint32_t stateWord, bool graphActive)
{
    PopupItems p;
    p.execute = mask & popupbit::kExecute;
    p.calculate = mask & popupbit::kCalculate;
    p.conditions = mask & popupbit::kConditions;
    p.errorRow = mask & popupbit::kErrorRow;
    p.modify = mask & popupbit::kModify;
    p.help = mask & popupbit::kHelp;
    p.copy = mask & popupbit::kCopy;
    const bool zoomable = (stateWord & statebit::kTextViewsMask) && graphActive;
    p.zoomIn = zoomable && (mask & popupbit::kZoomIn);
    p.zoomOut = zoomable && (mask & popupbit::kZoomOut);
    return p;
}

bool automaticTimersOn(std::uint32_t autoWord) { return (autoWord & autofn::kAnyTimed) != 0; }

std::string clockText(int hour, int minute, int second, bool withSeconds)
{
    std::string t = formatMask(hour, "00") + ":" + formatMask(minute, "00");
    if (withSeconds)
        t += ":" + formatMask(second, "00");
    return t;
}

std::string scanTickText(std::uint32_t startFlags, bool starting, const std::string& userBase)
{
    std::string t = (startFlags & startflag::kFileMode) ? " ファイルモード" : " フォルダモード";
    t += starting ? "スキャン開始-" : "スキャン終了-";
    return t + userBase;
}

}  // namespace varenta
