#include "brenlo24/link/packetdump.h"

#include "common/settings.h"
#include "common/textfile.h"

namespace varenta {

std::string packetDumpText(const Packet& p)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    s.reserve(32 * 49);
    for (std::size_t line = 0; line < 32; ++line) {
        for (std::size_t i = 0; i < 16; ++i) {
            const std::uint8_t b = p[line * 16 + i];
            if (i)
                s += ' ';
            s += digits[b >> 4];
            s += digits[b & 15];
        }
        s += "\r\n";
    }
    return s;
}

std::optional<Packet> parsePacketDump(std::string_view text)
{
    Packet p{};
    std::size_t n = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++i;
            continue;
        }
        if (i + 1 >= text.size())
            return std::nullopt;
        const int hi = hexDigit(c);
        const int lo = hexDigit(text[i + 1]);
        if (hi < 0 || lo < 0 || n >= kPacketSize)
            return std::nullopt;
        if (i + 2 < text.size()) {
            const char next = text[i + 2];
            if (next != ' ' && next != '\t' && next != '\r' && next != '\n')
                return std::nullopt;
        }
        p[n++] = static_cast<std::uint8_t>(hi * 16 + lo);
        i += 2;
    }
    if (n != kPacketSize)
        return std::nullopt;
    return p;
}

Status writePacketDump(const std::string& path, const Packet& p)
{
    return writeFileBytesAtomic(path, packetDumpText(p));
}

Status readPacketDump(const std::string& path, Packet& p)
{
    std::string bytes;
    const Status st = readFileBytes(path, bytes);
    if (st != Status::Ok)
        return st;
    auto parsed = parsePacketDump(bytes);
    if (!parsed)
        return Status::DataFormat;
    p = *parsed;
    return Status::Ok;
}

}  // namespace varenta
