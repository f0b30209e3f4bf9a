#pragma once
// The rules around a change of the logger's device information: the
// permission test, the confirmations with their texts, the mode button
// (NR-5xx / NR-6xx switch and factory reset) and the packets of the two
// table uploads ("index62.txt" for the SD card, "Brenlo2.tbl" for the
// processing-result item table).
#include "brenlo24/config/devinfo.h"
#include "brenlo24/link/packet.h"

#include <cstdint>
#include <optional>
#include <string>

namespace varenta {

namespace devtext {
inline constexpr const char* kDialogTitle = "装置情報の変更";
inline constexpr const char* kChangeTitle = "装置情報変更の注意";
inline constexpr const char* kCannotChange = "この本体の装置情報は変更できません";
inline constexpr const char* kStopFirst = "測定停止して装置を保管状態にして下さい";
inline constexpr const char* kReadFirstSuffix = "を実行してから変更できます";
inline constexpr const char* kCurrentBracket = "[現在値]";
inline constexpr const char* kStoredBracket = "[オリジナル]";
inline constexpr const char* kCoefficientTitle = "係数情報表示不可の注意";
inline constexpr const char* kCoefficientSuffix = "をクリックして表示させます";
inline constexpr const char* kCurrentWide = "［現在値］";
inline constexpr const char* kStoredWide = "［オリジナル］";
inline constexpr const char* kChangeDone = "変更終了";
inline constexpr const char* kCancelled = "キャンセル";
inline constexpr const char* kAfterReset = "変更後、本体を初期化します。保管状態で有効です。";
inline constexpr const char* kEntryTitle = "入力値の注意";
inline constexpr const char* kTableFileTitle = "テーブルファイルの注意";
}  // namespace devtext

// What a change is.
enum class DevChange {
    Fields,       // Command1(0): the fields of the tab on top
    TableUpload,  // "index62.txt" or "Brenlo2.tbl"
    ModelSwitch,  // "57", "67", "37"
};

struct PermissionInputs {
    int modelCode = 0;          // status byte 63
    int stateByte = 0;          // status byte 17 (bits 1-3: pre-measuring, waiting, measuring)
    bool temporaryMode = false; // option flag 0x800
    std::uint8_t lastCommand = 0;
    int lastReceivedKind = 0;   // kind byte of the last packet received
    std::uint32_t optionFlags = 0;
};

struct Refusal {
    std::string title;
    std::string text;
};

// nullopt: the change may go ahead.
std::optional<Refusal> checkPermission(const PermissionInputs& in, DevChange what);

// The confirmation of Command1(0) for the tab on top.
struct Confirmation {
    std::string title;
    std::string text;
};
Confirmation changeConfirmation(DevTab tab, bool temporaryMode);
Confirmation index62Confirmation();
Confirmation itemTableConfirmation();

// Command1(3): caption, tooltip, command code and confirmation, as the
// device-information record allows.  Byte 62 bit 0x01 set: the logger runs
// as an NR-5xx, so the button switches back ("NR-6xx"); an NR-6xx model
// (code 60 and above) may switch to NR-5xx behaviour; any other logger only
// offers the factory reset.
struct ModeButton {
    std::string caption;
    std::string tooltip;
    std::string code;
    Confirmation confirm;
};
ModeButton modeButtonFor(const Packet& deviceInfo);

// The SD card file upload: the bytes of "index62.txt" from offset 4 on,
// byte 0 = 0x5A, byte 1 = machine number, byte 2 = 2.  nullopt (with a
// message) when the file holds more than 508 bytes.
std::optional<Packet> index62Packet(const std::string& fileBytes, int machineNumber, std::string& error);
// The item table upload: the dump's 512 bytes with bytes 0-3 = 0x5A,
// machine number, 0x01, 0x00.
Packet itemTablePacket(const Packet& dump, int machineNumber);

constexpr std::size_t kIndex62MaxBytes = kPacketSize - 4;

}  // namespace varenta
