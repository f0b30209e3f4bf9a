#pragma once
// The main window's device commands: which code each button sends, in
// which mode, after which confirmation.  The confirmation is the shared
// input dialog (through the Prompter); sending goes through the link's
// SendCommand (a function here, so that tests can watch it).
#include "brenlo24/link/link.h"
#include "brenlo24/link/statusrecord.h"
#include "common/prompter.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace varenta {

namespace cmdtext {
inline constexpr const char* kSdTitle = "ＳＤカード情報";
inline constexpr const char* kSdUnusable = "ＳＤカード使用不可！";
inline constexpr const char* kStartTitle = "測定起動の注意";
inline constexpr const char* kStartMessage =
    "測定起動します。設定値をセットしてください。よろしいですか？\r\n装置を初期化する場合は、［初期化］を先に実行して下さい";
inline constexpr const char* kStopTitle = "測定停止の注意";
inline constexpr const char* kStopMessage = "測定停止します。よろしいですか？";
inline constexpr const char* kInitTitle = "初期化の注意";
inline constexpr const char* kInitMessage =
    "本体を初期化します。よろしいですか？"
    "[SDﾌｧｲﾙ]をチェックをすると、ＳＤカードのファイルも初期化します。本体が保管状態の時に有効です。"
    "[OK]で、本体の動作確認ランプが10秒間点灯します";
inline constexpr const char* kInitCheck = "SDﾌｧｲﾙ";
inline constexpr const char* kCancelled = "キャンセル！";
inline constexpr const char* kResultsTitle = "データ処理";
inline constexpr const char* kResultsMessage = "処理結果ファイルだけを回収します。よろしいですか？";
inline constexpr const char* kResultsExtendedMessage =
    "処理結果ファイルだけを回収します。よろしいですか？\r\n[処理]をチェックした場合、処理を再実行します";
inline constexpr const char* kResultsCheck = "処理";
inline constexpr const char* kCollectTitle = "データ回収";
inline constexpr const char* kCollectMessage = "データを回収します。よろしいですか？\r\n";
inline constexpr const char* kMonitor = "モニタ";
inline constexpr const char* kApn = "ＡＰＮ登録";
inline constexpr const char* kCalibration = "校正";
inline constexpr const char* kStartSuffix = "開始";
inline constexpr const char* kStopSuffix = "終了";
inline constexpr const char* kStartQuestion = "を開始します。よろしいですか？";
inline constexpr const char* kStopQuestion = "を停止します。よろしいですか？";
}  // namespace cmdtext

// The general confirmation: title, message in a read-only box, flags 1
// (input box with comboText), 2 (check box with checkCaption), 4 (ticked),
// 8 (message in dark red).
struct ConfirmAnswer {
    bool cancelled = true;
    bool checked = false;
    std::string text;  // the input box text (empty when it is hidden)
};
InputRequest confirmRequest(const std::string& message, const std::string& title, int flags = 0,
                            const std::string& comboText = {}, const std::string& checkCaption = {});
ConfirmAnswer confirm(Prompter& prompter, const InputRequest& request);

// The confirmations of the buttons.
InputRequest startConfirmation();
InputRequest stopConfirmation();
InputRequest initConfirmation();
// Collect button: with the results box, extended operation adds the
// check box "処理".
InputRequest collectConfirmation(bool resultsBox, bool extended);
// "26"/"16" with the results box (checked: the "処理" box), else "44"/"54".
std::string collectCode(bool resultsBox, bool checked);

// The name of the monitor run: "モニタ" with neither calibration flag,
// otherwise "ＡＰＮ登録" with option flag 0x4000 and "校正" without.
std::string monitorRunName(bool flag1, bool flag2, std::uint32_t optionFlags);
// The start code: "34" in normal operation; in extended operation "05" with
// bit 4 for flag 1 and bit 5 for flag 2, and with option flag 0x4000 "45"
// when flag 1 alone is ticked and nothing otherwise.
std::optional<std::string> monitorStartCode(bool extended, std::uint32_t optionFlags, bool flag1, bool flag2);
InputRequest monitorConfirmation(const std::string& runName, bool start);

// What the window passes to a command.
struct CommandInputs {
    std::uint32_t optionFlags = 0;
    bool resultsBox = false;   // Check3(6)
    bool calFlag1 = false;     // Check3(3)
    bool calFlag2 = false;     // Check3(4)
    bool extended() const { return optionFlags & 0x8000u; }
};

struct CommandOutcome {
    enum class Kind { Sent, Cancelled, Refused, NothingToSend, Busy, Failed };
    Kind kind = Kind::Cancelled;
    std::string code;  // the code sent (or meant)
    bool sent() const { return kind == Kind::Sent; }
};

class DeviceCommands {
public:
    using Sender = std::function<DeviceLink::SendResult(std::string_view code, int mode)>;
    using StatusSink = std::function<void(const std::string&)>;

    DeviceCommands(Prompter& prompter, Sender send, StatusSink status)
        : prompter_(prompter), send_(std::move(send)), status_(std::move(status))
    {
    }

    // "00" in mode 2, no confirmation.
    CommandOutcome check();
    // "81" in mode 2; refused with a message box when the SD usage of the
    // last status is 10000 or more.
    CommandOutcome startMeasuring(const StatusRecord& last);
    // "03" in mode 2.
    CommandOutcome stopMeasuring();
    // "07" (box "SDﾌｧｲﾙ" ticked) or "17" in mode 4; the caller re-opens the
    // port when it was sent.  Cancel shows "キャンセル！".
    CommandOutcome initialise();
    // "54" / "44", or "16" / "26" with the results box, in mode 2.
    CommandOutcome collect(const CommandInputs& in);
    // Monitor, calibration or APN start and stop, in mode 4.
    CommandOutcome monitorStart(const CommandInputs& in);
    CommandOutcome monitorStop(const CommandInputs& in);

private:
    CommandOutcome sendCode(const std::string& code, int mode);

    Prompter& prompter_;
    Sender send_;
    StatusSink status_;
};

}  // namespace varenta
