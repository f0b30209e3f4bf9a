#include "brenlo24/link/statuspanel.h"

#include "common/format.h"

#include <cstdio>

namespace varenta {

StatusPanel statusPanelFor(const StatusRecord& r, int pageOffset, bool deviceInfo)
{
    StatusPanel p;
    char buf[48];
    // The logger's "measurement starts at power-on" flag (status byte 61,
    // bit 0) makes the final digit 1.
    const int automatic = r.statusByte(61) & 0x01;
    p.number = std::to_string(r.measurementNumber) + "-" + std::to_string(r.machineNumber) + std::to_string(automatic);
    std::snprintf(buf, sizeof buf, "%02d/%02d/%02d", r.year % 100, r.month % 100, r.day % 100);
    p.date = buf;
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", r.hour % 100, r.minute % 100, r.second % 100);
    p.time = buf;
    p.schedule = std::to_string(r.durationMinutes) + "/" + std::to_string(r.intervalMinutes);
    p.next = formatMask(r.nextHour, "00:") + formatMask(r.nextMinute, "00");
    p.sdUsage = formatMask(r.sdUsage / 100.0, "##0.00");
    p.battery = formatMask(r.batteryTenths() / 10.0, "#0.0");

    const int offset = ((pageOffset % kPageWrap) + kPageWrap) % kPageWrap;
    for (int i = 0; i < kPageValues; ++i) {
        const int n = offset + i;  // value number n + 1
        p.valueNumbers[static_cast<std::size_t>(i)] = formatMask(n + 1, "000");
        p.values[static_cast<std::size_t>(i)] =
            deviceInfo ? std::string("-----") : std::to_string(r.values[static_cast<std::size_t>(n % 128)]);
    }

    using namespace indicator;
    p.indicators |= kSample10 << (r.measureFlags & 3);
    if (r.measureFlags & 0x80)
        p.indicators |= kUp;
    if (r.measureFlags & 0x40)
        p.indicators |= kFixed;
    if (r.measureFlags & 0x20)
        p.indicators |= kXY;
    if (r.state & 0x01)
        p.indicators |= kStorage;
    if (r.state & 0x02)
        p.indicators |= kPreMeasure;
    if (r.state & 0x04)
        p.indicators |= kWaiting;
    if (r.state & 0x08)
        p.indicators |= kMeasuring;
    for (int k = 0; k < 8; ++k)
        if (r.channelSlots[static_cast<std::size_t>(k)] & 0x80)
            p.indicators |= kChannel1 << k;
    return p;
}

int pageUp(int offset)
{
    const int n = offset + kPageStep;
    return n >= kPageWrap ? 0 : n;
}

int pageDown(int offset)
{
    const int n = offset - kPageStep;
    return n < 0 ? kPageWrap - kPageStep : n;
}

void ChannelSettings::setSlots(const std::array<std::uint8_t, 16>& s)
{
    slotValues = s;
    inUse.clear();
    mask = 0;
    packed = 0;
    int i = 0;
    for (std::uint8_t v : slotValues) {
        if (!(v & 0x80))
            continue;
        inUse.push_back(v);
        mask = (mask << 1) | 1u;
        packed |= static_cast<std::uint64_t>(v & 0x0F) << (4 * i);
        ++i;
    }
}

void ChannelSettings::setSlot(int k, std::uint8_t value)
{
    if (k < 0 || k >= 16)
        return;
    auto s = slotValues;
    s[static_cast<std::size_t>(k)] = value;
    setSlots(s);
}

}  // namespace varenta
