#include "tolv/data/headertext.h"

#include "common/format.h"
#include "common/masterfile.h"

#include <cstdio>

namespace varenta {

namespace {

std::string hexUpper(std::uint32_t v)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%X", v);
    return buf;
}

std::string hexTwo(std::uint32_t v)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02X", v);
    return buf;
}

const char* const kCrLf = "\r\n";

}  // namespace

int monthLengthTwoDigitYear(int month, int year)
{
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 31;
    if (month == 2 && year % 4 == 0)
        return 29;
    return days[month - 1];
}

int timeShiftMinutes(const Settings& s, int durationMinutes)
{
    const std::string mode = s.trimmed(66, 0);
    if (mode == "1")
        return durationMinutes / 2;
    if (mode == "2")
        return durationMinutes;
    return 0;
}

void shiftHeaderTime(std::uint8_t* p, int minutes)
{
    if (minutes <= 0)
        return;
    int minute = p[hdr::minute] + minutes;
    int hour = p[hdr::hour];
    int day = p[hdr::day];
    int month = p[hdr::month];
    int year = p[hdr::year];
    while (minute >= 60) {
        minute -= 60;
        ++hour;
    }
    while (hour > 23) {
        hour -= 24;
        ++day;
    }
    if (day > monthLengthTwoDigitYear(month, year)) {
        ++month;
        day = 1;
    }
    if (month > 12) {
        ++year;
        month = 1;
    }
    if (year >= 100)
        year = 0;
    p[hdr::minute] = static_cast<std::uint8_t>(minute);
    p[hdr::hour] = static_cast<std::uint8_t>(hour);
    p[hdr::day] = static_cast<std::uint8_t>(day);
    p[hdr::month] = static_cast<std::uint8_t>(month);
    p[hdr::year] = static_cast<std::uint8_t>(year);
}

HeaderDecodeOptions decodeOptionsFrom(const Settings& s)
{
    HeaderDecodeOptions o;
    o.decodeLoggerExtras = s.trimmed(96, 0) == "1";
    if (!s.isBlank(86, 5))
        o.processingFlags = static_cast<int>(s.hex(86, 5) & 0xFF);
    if (!s.isBlank(96, 4)) {
        const double sec = s.real(96, 4);
        if (sec > 0)
            o.intervalSeconds = sec;
    }
    return o;
}

std::string headerInfoText(const MeasurementHeader& h, bool showErrorCode, int dataErrorCode, bool loggerSettings)
{
    std::string t;
    t += "機械番号=" + std::to_string(h.machineNumber) + "-" + std::to_string(h.modelCode) + kCrLf;
    t += "パケット情報=" + hexUpper(static_cast<std::uint32_t>(h.packetInfo)) + kCrLf;
    t += "収録アドレス=" + std::to_string(h.recordAddress) + kCrLf;
    t += "日時=" + h.dateText + " " + h.timeText + kCrLf;
    t += "測定番号=" + std::to_string(h.measurementNumber) + kCrLf;
    t += "測定条件=" + hexUpper(static_cast<std::uint32_t>(h.measureCondition)) + kCrLf;
    t += "サンプル間隔=" + formatMask(h.intervalTenths / 10.0, "##0.0#") + "sec" + kCrLf;
    t += "平均方位=" + std::to_string(h.meanBearing) + kCrLf;
    if (h.findChannel(2) >= 0)
        t += "平均水温=" + std::to_string(h.meanWaterTemperature) + kCrLf;
    if (h.modelCode > 19)
        t += "ＣＰＵ電源電圧=" + formatMask(h.cpuVoltage / 10.0, "#0.0") + "v" + kCrLf;
    t += "測定電源電圧=" + formatMask(h.measureVoltage / 10.0, "#0.0") + "v" + kCrLf;
    t += "ＳＤ使用量=" + formatMask(h.sdUsage / 100.0, "#0.00") + "%" + kCrLf;
    t += "オプションフラグ= " + hexUpper(static_cast<std::uint32_t>(h.optionFlagsHigh)) +
         hexUpper(static_cast<std::uint32_t>(h.optionFlagsLow)) + kCrLf;
    if (h.modelCode > 23) {
        t += "プログラム番号= " + std::to_string(h.programNumber) + kCrLf;
        t += "データ異常= ";
        if (showErrorCode)
            t += hexTwo(static_cast<std::uint32_t>(dataErrorCode) & 0xFFu);
        else if (loggerSettings)
            t += hexTwo(static_cast<std::uint32_t>(h.dataErrorFlags) & 0xFFu);
        t += kCrLf;
    }
    return t;
}

std::string mnoText(const MeasurementHeader& h, std::int64_t latestNumber)
{
    return "No." + formatMask(h.machineNumber, "##0") + "-" + formatMask(static_cast<double>(latestNumber), "####0") +
           " " + formatMask(h.durationMinutes, "#0/") + formatMask(h.intervalMinutes, "##0");
}

std::string snoText(const MeasurementHeader& h, std::int64_t currentNumber, const Settings& s)
{
    if (h.modelCode < s.integer(91, 4))
        return std::to_string(currentNumber);
    return std::to_string(currentNumber) + "(" + std::to_string(h.subNumber) + ")";
}

void applyLoggerSettings(Settings& s, RuntimeState& state, const MeasurementHeader& h)
{
    if (h.packetKind() != kPacketKindHeader)
        return;
    if (h.modelCode < 19)
        s.set(96, 0, "0");
    if (s.trimmed(96, 0) != "1")
        return;
    s.set(67, 0, formatMask(h.ext128 / 100.0, "#0.0#"));
    s.set(67, 2, formatMask(h.ext130, "##0"));
    s.set(67, 3, formatMask(h.ext132, "##0"));
    s.set(99, 6, formatMask(h.ext134, "###0"));
    s.set(99, 3, formatMask(h.ext135, "##0"));
    s.set(68, 0, formatMask(h.ext136, "##0"));
    s.set(68, 1, formatMask(h.ext137, "##0"));
    s.set(67, 1, formatMask(h.ext138 / 100.0, "#0.0#"));
    s.set(99, 5, formatMask(h.ext139 / 100.0, "#0.0#"));
    s.set(99, 4, formatMask(h.ext140 / 10000.0, "0.0#####"));
    s.set(97, 0, formatMask(h.ext142, "###0"));
    s.set(97, 1, formatMask(h.ext143, "###0"));
    s.set(79, 1, formatMask(h.ext150, "###0"));
    const int flags = h.processingFlags;
    s.set(99, 7, (flags & 0x02) ? "1" : "0");
    state.noSignReversal = (flags & 0x40) != 0;
    std::uint32_t w = s.hex(95, 4);
    const bool b5 = (flags & 0x20) != 0;
    const bool b2 = (flags & 0x04) != 0;
    if (b5)
        w = (w & 0x8Fu) | 0x50u;
    if (b2)
        w |= 0x70u;
    if (!b5 && !b2)
        w &= 0xEFu;
    s.setHex(95, 4, w);
}

bool wantsAlternateItems(const MeasurementHeader& h) { return h.findChannel(4) >= 0 && h.findChannel(0) < 0; }

}  // namespace varenta
