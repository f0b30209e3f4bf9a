#include "brenlo24/config/devpolicy.h"

#include "brenlo24/link/commsettings.h"

#include <algorithm>

namespace varenta {

std::optional<Refusal> checkPermission(const PermissionInputs& in, DevChange what)
{
    using namespace devtext;
    if (!(in.modelCode == 1 || in.modelCode > 18))
        return Refusal{kChangeTitle, kCannotChange};
    const bool busyState = in.stateByte & 0x0E;
    const bool needsStorage = what != DevChange::Fields || !in.temporaryMode;
    if (needsStorage && busyState)
        return Refusal{kChangeTitle, kStopFirst};
    if (what == DevChange::Fields && !(in.optionFlags & (optflag::kUploadItemTable | optflag::kUploadIndex62))) {
        const std::uint8_t wanted = in.temporaryMode ? 0x20 : 0x10;
        if (in.lastCommand != wanted || packetKindNibble(static_cast<std::uint8_t>(in.lastReceivedKind)) != kKindDeviceInfo)
            return Refusal{kChangeTitle,
                           std::string(in.temporaryMode ? kCurrentBracket : kStoredBracket) + kReadFirstSuffix};
    }
    return std::nullopt;
}

Confirmation changeConfirmation(DevTab tab, bool temporaryMode)
{
    const std::string name = devTabName(tab);
    if (temporaryMode)
        return {name + "の一時変更の注意",
                name + "を一時的に変更します。 よろしいですか？\r\n"
                       "本体のＲＡＭの値を書き換えます。その後、書き換えた値を表示します。"
                       "［初期化］で元の値に戻ります"};
    return {name + "変更の注意", name + "を変更します。 よろしいですか？\r\n"
                                        "本体が保管状態で有効です。変更後、本体を初期化します。\r\n"
                                        "本体のランプ消灯後、[オリジナル]で値を確認します。"};
}

Confirmation index62Confirmation()
{
    return {"index62.txt書き換えの注意",
            std::string("ＳＤカードのindex62.txtを書き換えます。 よろしいですか？\r\n") + devtext::kAfterReset};
}

Confirmation itemTableConfirmation()
{
    return {"処理結果項目テーブル変更の注意",
            std::string("本体の処理結果項目テーブルを変更します。 よろしいですか？\r\n") + devtext::kAfterReset};
}

ModeButton modeButtonFor(const Packet& info)
{
    const std::string after = std::string("\r\n") + devtext::kAfterReset;
    if (info[devinfo::modeFlags] & 0x01)
        return {"NR-6xx", "本体をNR-6xxシリーズの機能と動作に戻します", "67",
                {"NR-6xxモードへ切替の注意", "本体をNR-6xxシリーズの機能と動作に戻します。よろしいですか？" + after}};
    if (info[devinfo::modelCode] >= 60)
        return {"NR-5xx", "本体をNR-5xxシリーズと同等の機能と動作に切り替えます", "57",
                {"NR-5xxモードへ切替の注意",
                 "本体をNR-5xxシリーズと同等の機能と動作に切り替えます。[NR-6xx]で元の機能に戻ります。よろしいですか？" +
                     after}};
    return {"出荷時", "装置を工場出荷時の状態に戻します", "37",
            {"工場出荷時に戻る注意", "本体を工場出荷状態に戻します。よろしいですか？" + after}};
}

std::optional<Packet> index62Packet(const std::string& bytes, int machineNumber, std::string& error)
{
    if (bytes.size() > kIndex62MaxBytes) {
        error = "index62.txtは" + std::to_string(kIndex62MaxBytes) + "バイトまでです（" + std::to_string(bytes.size()) +
                "バイトあります）";
        return std::nullopt;
    }
    Packet p{};
    std::copy(bytes.begin(), bytes.end(), p.begin() + 4);
    p[0] = kPacketMarker;
    p[1] = static_cast<std::uint8_t>(((machineNumber % 256) + 256) % 256);
    p[2] = 2;
    return p;
}

Packet itemTablePacket(const Packet& dump, int machineNumber)
{
    Packet p = dump;
    p[0] = kPacketMarker;
    p[1] = static_cast<std::uint8_t>(((machineNumber % 256) + 256) % 256);
    p[2] = 0x01;
    p[3] = 0x00;
    return p;
}

}  // namespace varenta
