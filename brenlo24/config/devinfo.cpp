#include "brenlo24/config/devinfo.h"

#include "common/bytes.h"
#include "common/numeric.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace varenta {

namespace {

// One-byte boxes of the first tab.
struct ByteField {
    const char* control;
    const char* name;
    std::size_t offset;
};
const ByteField kConnectionBytes[] = {
    {"Text2_0", "自動送信の測定数", devinfo::autoCount},
    {"Text2_3", "定時送信の基準分", devinfo::baseMinute},
    {"Text2_2", "定時送信の基準時", devinfo::baseHour},
    {"Text2_1", "定時送信の間隔（分）", devinfo::sendInterval},
    {"Text2_4", "自動送信までの待ち時間（秒）", devinfo::sendDelay},
};

struct BoxBit {
    const char* control;
    std::size_t offset;
    std::uint8_t bit;
};
const BoxBit kConnectionBits[] = {
    {"Check1_9", devinfo::optionFlags, 0x01},
    {"Check1_0", devinfo::optionFlags, 0x02},
    {"Check1_1", devinfo::optionFlags + 1, 0x01},
    {"Check1_7", devinfo::autoStart, 0x01},
};

// Blanks at either end, the full-width blank (E3 80 80) among them.
std::string trim(const std::string& s)
{
    auto blankAt = [&s](std::size_t i, bool back) -> std::size_t {
        const char c = s[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
            return 1;
        if (!back && s.compare(i, 3, "\xe3\x80\x80") == 0)
            return 3;
        if (back && i >= 2 && s.compare(i - 2, 3, "\xe3\x80\x80") == 0)
            return 3;
        return 0;
    };
    std::size_t a = 0, b = s.size();
    while (a < b) {
        const std::size_t n = blankAt(a, false);
        if (n == 0)
            break;
        a += n;
    }
    while (b > a) {
        const std::size_t n = blankAt(b - 1, true);
        if (n == 0 || n > b - a)
            break;
        b -= n;
    }
    return s.substr(a, b - a);
}

std::optional<double> parseNumber(const std::string& text)
{
    const std::string t = trim(text);
    if (t.empty())
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(t.c_str(), &end);
    if (end == t.c_str() || *end != '\0' || errno == ERANGE || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::string fixed(double v, int decimals)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    std::string s = buf;
    if (s == "-0" || s.rfind("-0.", 0) == 0) {
        // no negative zero
        bool allZero = true;
        for (char c : s)
            if (c >= '1' && c <= '9')
                allZero = false;
        if (allZero)
            s.erase(0, 1);
    }
    return s;
}

std::string two(int v)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

std::string rangeMessage(const std::string& name, const std::string& lo, const std::string& hi)
{
    return name + "は" + lo + "～" + hi + "の範囲で入力して下さい";
}

std::string numberMessage(const std::string& name) { return name + "に数値を入力して下さい"; }

long long storedMin(int width, bool isSigned) { return isSigned ? -(1LL << (8 * width - 1)) : 0; }
long long storedMax(int width, bool isSigned) { return isSigned ? (1LL << (8 * width - 1)) - 1 : (1LL << (8 * width)) - 1; }

long long getField(const Packet& p, std::size_t off, int width, bool isSigned)
{
    if (width == 1)
        return isSigned ? getS8(p.data(), off) : getU8(p.data(), off);
    return isSigned ? getS16(p.data(), off) : getU16(p.data(), off);
}

void putField(Packet& p, std::size_t off, int width, long long v)
{
    if (width == 1)
        p[off] = static_cast<std::uint8_t>(v & 0xFF);
    else
        putU16(p.data(), off, static_cast<unsigned>(v & 0xFFFF));
}

// A text for a scaled field -> the stored integer, or an error.
std::optional<FieldError> scaledEntry(const std::string& control, const std::string& name, const std::string& text,
                                      int width, bool isSigned, int scale, int decimals, long long& out)
{
    const auto v = parseNumber(text);
    if (!v)
        return FieldError{control, numberMessage(name)};
    const double scaled = *v * scale;
    const long long lo = storedMin(width, isSigned), hi = storedMax(width, isSigned);
    if (scaled < static_cast<double>(lo) - 0.5 || scaled > static_cast<double>(hi) + 0.5 ||
        roundEven(scaled) < lo || roundEven(scaled) > hi)
        return FieldError{control, rangeMessage(name, fixed(static_cast<double>(lo) / scale, decimals),
                                                fixed(static_cast<double>(hi) / scale, decimals))};
    // More decimals than the field holds would be rounded away unseen.
    if (std::fabs(scaled - std::nearbyint(scaled)) > 1e-6 * std::max(1.0, std::fabs(scaled)))
        return FieldError{control, decimals == 0 ? name + "は整数で入力して下さい"
                                                 : name + "は小数" + std::to_string(decimals) + "桁までで入力して下さい"};
    out = roundEven(scaled);
    return std::nullopt;
}

const std::string* find(const FieldTexts& t, const std::string& key)
{
    auto it = t.find(key);
    return it == t.end() ? nullptr : &it->second;
}

bool ticked(const std::string& s) { return trim(s) == "1"; }

std::string ipText(const Packet& p)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%03d.%03d.%03d.%03d", p[devinfo::ftpAddress], p[devinfo::ftpAddress + 1],
                  p[devinfo::ftpAddress + 2], p[devinfo::ftpAddress + 3]);
    return buf;
}

std::optional<std::array<std::uint8_t, 4>> parseIp(const std::string& text)
{
    const std::string t = trim(text);
    std::array<std::uint8_t, 4> out{};
    std::size_t pos = 0;
    for (int i = 0; i < 4; ++i) {
        const std::size_t dot = i < 3 ? t.find('.', pos) : t.size();
        if (dot == std::string::npos)
            return std::nullopt;
        const std::string part = t.substr(pos, dot - pos);
        if (part.empty() || part.size() > 3)
            return std::nullopt;
        int v = 0;
        for (char c : part) {
            if (c < '0' || c > '9')
                return std::nullopt;
            v = v * 10 + (c - '0');
        }
        if (v > 255)
            return std::nullopt;
        out[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v);
        pos = dot + 1;
    }
    return out;
}

std::string resetSpeedText(const Packet& p)
{
    const int code = p[devinfo::resetSpeed] >> 4;
    if (auto s = resetSpeedOf(code))
        return std::to_string(*s);
    return "コード" + std::to_string(code);
}

std::optional<FieldError> writeConnection(Packet& img, const FieldTexts& t, const MainWindowFields& main)
{
    // From the main window.
    const CommandParameters& par = main.params;
    img[devinfo::duration] = static_cast<std::uint8_t>(par.durationMinutes);
    img[devinfo::interval] = static_cast<std::uint8_t>(par.intervalMinutes);
    img[devinfo::startMinute] = static_cast<std::uint8_t>(par.startMinute);
    img[devinfo::startHour] = static_cast<std::uint8_t>(par.startHour);
    img[devinfo::measureFlags] = measurementFlags(par.flagBoxes, main.lastStatusFlags);
    for (std::size_t i = 0; i < 4; ++i)
        img[devinfo::channelSlots + i] = par.channelSlots[i];

    if (const std::string* s = find(t, "Text1_4")) {
        const std::string h = trim(*s);
        std::uint32_t v = 0;
        bool ok = !h.empty() && h.size() <= 8;
        for (char c : h) {
            int d = -1;
            if (c >= '0' && c <= '9')
                d = c - '0';
            else if (c >= 'A' && c <= 'F')
                d = c - 'A' + 10;
            else if (c >= 'a' && c <= 'f')
                d = c - 'a' + 10;
            if (d < 0) {
                ok = false;
                break;
            }
            v = v * 16 + static_cast<std::uint32_t>(d);
        }
        if (!ok)
            return FieldError{"Text1_4", "オプションフラグは８桁までの１６進数で入力して下さい"};
        putU32(img.data(), devinfo::optionFlags, v);
    }
    for (const BoxBit& b : kConnectionBits)
        if (const std::string* s = find(t, b.control)) {
            if (ticked(*s))
                img[b.offset] |= b.bit;
            else
                img[b.offset] &= static_cast<std::uint8_t>(~b.bit);
        }
    for (const ByteField& f : kConnectionBytes)
        if (const std::string* s = find(t, f.control)) {
            long long v = 0;
            if (auto e = scaledEntry(f.control, f.name, *s, 1, false, 1, 0, v))
                return e;
            img[f.offset] = static_cast<std::uint8_t>(v);
        }
    if (const std::string* s = find(t, "Text1_2")) {
        // A code the dialog cannot name stays as read while its text is.
        if (trim(*s) != resetSpeedText(img)) {
            const auto v = parseNumber(*s);
            const auto code = v && *v == std::floor(*v) && *v > 0 && *v < 1e7 ? resetSpeedCode(static_cast<int>(*v))
                                                                               : std::nullopt;
            if (!code)
                return FieldError{"Text1_2",
                                  "リセット後の通信速度は1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, "
                                  "230400, 460800, 921600のいずれかを入力して下さい"};
            img[devinfo::resetSpeed] =
                static_cast<std::uint8_t>((*code << 4) | (img[devinfo::resetSpeed] & 0x0F));
        }
    }
    if (const std::string* s = find(t, "Text1_3")) {
        const auto v = parseNumber(*s);
        if (!v)
            return FieldError{"Text1_3", numberMessage("周波数カウンタ値")};
        const int model = img[devinfo::modelCode];
        const double stored = (model != 20 && model < 24) ? (*v * 100.0 - 3276800.0) / 2.0 : (*v - 32768.0) / 0.032768;
        if (!(stored > -128.5 && stored < 127.5) || roundEven(stored) < -128 || roundEven(stored) > 127) {
            char lo[32], hi[32];
            std::snprintf(lo, sizeof lo, "%.2f", frequencyReading(-128, model));
            std::snprintf(hi, sizeof hi, "%.2f", frequencyReading(127, model));
            return FieldError{"Text1_3", rangeMessage("周波数カウンタ値", lo, hi)};
        }
        img[devinfo::frequency] = static_cast<std::uint8_t>(frequencyStored(*v, model) & 0xFF);
    }
    if (const std::string* s = find(t, "Text3_2")) {
        const auto ip = parseIp(*s);
        if (!ip)
            return FieldError{"Text3_2", "FTPサーバーのIPアドレスは000.000.000.000の形（各0～255）で入力して下さい"};
        for (std::size_t i = 0; i < 4; ++i)
            img[devinfo::ftpAddress + i] = (*ip)[i];
    }
    return std::nullopt;
}

std::optional<FieldError> writeProcessing(Packet& img, const FieldTexts& t)
{
    for (const ProcessingField& f : processingFields()) {
        const std::string control = "Text4_" + std::to_string(f.index);
        if (const std::string* s = find(t, control)) {
            long long v = 0;
            if (auto e = scaledEntry(control, f.name, *s, f.width, f.isSigned, f.scale, f.decimals, v))
                return e;
            putField(img, f.offset, f.width, v);
        }
    }
    for (const ProcessingBit& b : processingBits())
        if (const std::string* s = find(t, "Check4_" + std::to_string(b.index))) {
            if (ticked(*s))
                img[devinfo::processingBits] |= b.bit;
            else
                img[devinfo::processingBits] &= static_cast<std::uint8_t>(~b.bit);
        }
    return std::nullopt;
}

std::optional<FieldError> writeCoefficients(Packet& img, const FieldTexts& t, bool high)
{
    for (int box = 0; box < 32; ++box) {
        const std::string control = "Text5_" + std::to_string(box);
        if (const std::string* s = find(t, control)) {
            const int ch = (high ? 17 : 1) + box / 2;
            const std::string name = "CH" + std::to_string(ch) + (box % 2 == 0 ? "の係数A" : "の係数B");
            long long v = 0;
            if (auto e = scaledEntry(control, name, *s, 2, true, 1, 0, v))
                return e;
            putS16(img.data(), devinfo::coefficients + 2 * static_cast<std::size_t>(coefficientSlot(box, high)),
                   static_cast<int>(v));
        }
    }
    return std::nullopt;
}

}  // namespace

const char* devTabName(DevTab t)
{
    switch (t) {
    case DevTab::Connection: return "装置／接続情報";
    case DevTab::Processing: return "処理パラメータ";
    default: return "係数情報";
    }
}

const std::vector<ProcessingField>& processingFields()
{
    static const std::vector<ProcessingField> fields = {
        {1, "水圧計の海底からの高さ", 128, 2, false, 100, 2, "水圧計の海底からの高さ（ｍ）"},
        {2, "来襲波向範囲の開始", 130, 2, false, 1, 0, "海岸に来襲する波向の範囲の開始（度、初期値０）"},
        {3, "来襲波向範囲の終了", 132, 2, false, 1, 0, "海岸に来襲する波向の範囲の終了（度、初期値３６０）"},
        {4, "磁気偏角", 134, 1, true, 1, 0, "磁気偏角（反時計回りの度）"},
        {5, "水圧伝達係数の限界", 135, 1, false, 1, 0, "理論水圧伝達係数の限界値（通常１２）"},
        {6, "ノイズフィルターのレベル", 136, 1, false, 1, 0,
         "ノイズフィルターのレベル（１０～５０、標準３５。小さいほど強く除去）"},
        {7, "ノイズフィルターの回数", 137, 1, false, 1, 0, "ノイズフィルターの繰返し回数（１～５、通常１）"},
        {8, "波向計算の最小有義波高", 138, 1, false, 100, 2, "波向を計算する最小の有義波高（ｍ、標準０．１５）"},
        {9, "流向計算の最小流速", 139, 1, false, 100, 2, "流向を計算する最小の流速（ｍ／ｓ、標準０．０１）"},
        {10, "海水密度", 140, 2, false, 10000, 4, "海水の密度（１．０２４８）"},
        {11, "長周期フィルターの下限周期", 142, 1, false, 1, 0, "長周期波処理：フィルターの下限周期（秒、通常３０）"},
        {12, "バンドパスフィルターの上限周期", 143, 1, false, 1, 0,
         "長周期波処理：バンドパスフィルターの上限周期（秒、０はなし）"},
        {13, "自動ゼロ補正の閾値", 146, 2, false, 1, 0, "水圧チャンネルの自動ゼロ補正の閾値（通常５０）"},
        {0, "Ｙマークの方位", 150, 2, true, 1, 0, "本体のＹマークの方位（度、通常３６０。コンパスを使わない時に必要）"},
    };
    return fields;
}

const std::vector<ProcessingBit>& processingBits()
{
    static const std::vector<ProcessingBit> bits = {
        {0, 0x01, "長周期波処理"},      {1, 0x02, "平均風速は最後の１０分で計算"},
        {7, 0x04, "ナウファス（超音波）"}, {4, 0x08, "真水"},
        {5, 0x10, "フィルターオン"},     {8, 0x20, "ナウファス（水圧）"},
        {6, 0x40, "座標変換"},          {2, 0x80, "スペクトル有義波"},
    };
    return bits;
}

std::optional<int> resetSpeedCode(int speed)
{
    static const int speeds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600};
    for (int s : speeds)
        if (s == speed) {
            // e = log2(speed div 1200) up to 38400, else log2(speed / 57600) + 6
            const double e = speed <= 38400 ? std::log2(speed / 1200) : std::log2(speed / 57600.0) + 6.0;
            return static_cast<int>(roundEven(e));
        }
    return std::nullopt;
}

std::optional<int> resetSpeedOf(int code)
{
    if (code >= 0 && code <= 5)
        return 1200 << code;
    if (code >= 6 && code <= 10)
        return 57600 << (code - 6);
    return std::nullopt;
}

double frequencyReading(int stored, int modelCode)
{
    if (modelCode != 20 && modelCode < 24)
        return (stored * 2.0 + 3276800.0) / 100.0;
    return stored * 0.032768 + 32768.0;
}

long long frequencyStored(double reading, int modelCode)
{
    if (modelCode != 20 && modelCode < 24)
        return roundEven((reading * 100.0 - 3276800.0) / 2.0);
    return roundEven((reading - 32768.0) / 0.032768);
}

int coefficientSlot(int box, bool highChannels) { return (highChannels ? 32 : 0) + box; }

MainWindowFields mainWindowFieldsOf(const Packet& image)
{
    MainWindowFields m;
    m.params.durationMinutes = image[devinfo::duration];
    m.params.intervalMinutes = image[devinfo::interval];
    m.params.startMinute = image[devinfo::startMinute];
    m.params.startHour = image[devinfo::startHour];
    const std::uint8_t f = image[devinfo::measureFlags];
    m.params.flagBoxes[static_cast<std::size_t>(f & 3)] = true;
    m.params.flagBoxes[4] = f & kFlagUpward;
    m.params.flagBoxes[5] = f & kFlagFixed;
    m.params.flagBoxes[6] = f & kFlagXY;
    m.params.flagBoxes[7] = f & kFlagStillWater;
    m.lastStatusFlags = f;
    for (std::size_t i = 0; i < m.params.channelSlots.size(); ++i)
        m.params.channelSlots[i] = image[devinfo::channelSlots + i];
    return m;
}

FieldTexts showFields(const Packet& p, DevTab tab, bool high)
{
    FieldTexts t;
    switch (tab) {
    case DevTab::Connection: {
        const int model = p[devinfo::modelCode];
        std::string id = std::to_string(p[1]) + "-" + std::to_string(model);
        if (model >= 24)
            id += "-" + std::to_string(getU16(p.data(), devinfo::productWord));
        t["Text1_0"] = id;
        t["Text1_1"] = two(p[devinfo::madeYear]) + "/" + two(p[devinfo::madeMonth]);
        t["Text1_2"] = resetSpeedText(p);
        t["Text1_3"] = fixed(frequencyReading(getS8(p.data(), devinfo::frequency), model), 2);
        char hex[16];
        std::snprintf(hex, sizeof hex, "%08X", getU32(p.data(), devinfo::optionFlags));
        t["Text1_4"] = hex;
        for (const ByteField& f : kConnectionBytes)
            t[f.control] = std::to_string(p[f.offset]);
        t["Text2_5"] = std::to_string(p[devinfo::antenna]);
        t["Text3_2"] = ipText(p);
        t["Text6_12"] = std::to_string(p[devinfo::pppRetries]);
        t["Text6_11"] = std::to_string(p[devinfo::receiveErrors]);
        t["Text6_10"] = std::to_string(p[devinfo::tcpRetries]);
        t["Check5_0"] = (p[devinfo::connected] & 0x01) ? "1" : "0";
        for (const BoxBit& b : kConnectionBits)
            t[b.control] = (p[b.offset] & b.bit) ? "1" : "0";
        break;
    }
    case DevTab::Processing:
        for (const ProcessingField& f : processingFields()) {
            const long long v = getField(p, f.offset, f.width, f.isSigned);
            t["Text4_" + std::to_string(f.index)] = fixed(static_cast<double>(v) / f.scale, f.decimals);
        }
        for (const ProcessingBit& b : processingBits())
            t["Check4_" + std::to_string(b.index)] = (p[devinfo::processingBits] & b.bit) ? "1" : "0";
        break;
    case DevTab::Coefficients:
        for (int box = 0; box < 32; ++box)
            t["Text5_" + std::to_string(box)] = std::to_string(
                getS16(p.data(), devinfo::coefficients + 2 * static_cast<std::size_t>(coefficientSlot(box, high))));
        break;
    }
    return t;
}

std::optional<FieldError> writeFields(Packet& image, DevTab tab, const FieldTexts& texts, const MainWindowFields& main,
                                      bool highChannels)
{
    Packet work = image;
    std::optional<FieldError> e;
    switch (tab) {
    case DevTab::Connection: e = writeConnection(work, texts, main); break;
    case DevTab::Processing: e = writeProcessing(work, texts); break;
    case DevTab::Coefficients: e = writeCoefficients(work, texts, highChannels); break;
    }
    if (!e)
        image = work;
    return e;
}

}  // namespace varenta
