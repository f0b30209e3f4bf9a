#include "brenlo24/link/statusrecord.h"

#include "common/bytes.h"

namespace varenta {

int StatusRecord::statusByte(int offset) const
{
    if (offset < 40 || offset > 63)
        return 0;
    return bytes40[static_cast<std::size_t>(offset - 40)];
}

void decodeStatus(const Packet& pk, StatusRecord& r)
{
    const std::uint8_t* p = pk.data();
    r.raw = pk;
    r.marker = p[0];
    r.machineNumber = p[1];
    r.kind = p[2];
    r.checksum = p[3];
    if (!(p[2] & (kKindHasNumber | kKindHasStatus)))
        return;
    r.packetNumber = getU32(p, 4);
    if (!(p[2] & kKindHasStatus))
        return;
    r.second = p[8];
    r.minute = p[9];
    r.hour = p[10];
    r.day = p[11];
    r.month = p[12];
    r.year = p[13];
    r.durationMinutes = p[14];
    r.intervalMinutes = p[15];
    r.measureFlags = p[16];
    r.state = p[17];
    r.word18 = getU16(p, 18);
    r.word20 = getU16(p, 20);
    r.word22 = getU16(p, 22);
    r.sdUsage = getU16(p, 24);
    r.nextMinute = p[26];
    r.nextHour = p[27];
    r.measurementNumber = getU32(p, 28);
    r.number32 = getU32(p, 32);
    r.number36 = getU32(p, 36);
    for (int i = 0; i < 24; ++i)
        r.bytes40[static_cast<std::size_t>(i)] = (40 + i == 55) ? getS8(p, 55) : p[40 + i];
    for (std::size_t i = 0; i < 16; ++i)
        r.channelSlots[i] = p[64 + i];
    for (std::size_t i = 0; i < 5; ++i)
        r.signed80[i] = getS16(p, 80 + 2 * i);
    r.word90 = getU16(p, 90);
    for (std::size_t i = 0; i < 8; ++i)
        r.bytes92[i] = p[92 + i];
    r.word110 = getU16(p, 110);
    r.word112 = getU16(p, 112);
    r.signed116 = getS16(p, 116);
    r.byte120 = p[120];
    r.byte121 = p[121];
    for (std::size_t i = 0; i < 3; ++i) {
        r.signed122[i] = getS16(p, 122 + 2 * i);
        r.word128[i] = getU16(p, 128 + 2 * i);
    }
    r.signed134 = getS8(p, 134);
    for (std::size_t i = 0; i < 11; ++i)
        r.bytes135[i] = p[135 + i];
    r.word146 = getU16(p, 146);
    r.signed150 = getS16(p, 150);
    for (std::size_t i = 0; i < 128; ++i)
        r.values[i] = getS16(p, 256 + 2 * i);
    r.valid = true;
}

}  // namespace varenta
