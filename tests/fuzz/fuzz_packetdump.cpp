// The packet dumps "Brenlo.tbl" and "Echo.tbl" (read at start-up): the
// parser on the input's text and the file reader on a file of its bytes.
// A dump that parses is written back and must parse to the same packet;
// a refused file leaves the packet as it was.
#include "brenlo24/link/packetdump.h"
#include "fuzz_support.h"

#include <string_view>

using namespace varenta;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const std::optional<Packet> p = parsePacketDump(text)) {
        const std::optional<Packet> again = parsePacketDump(packetDumpText(*p));
        FUZZ_CHECK(again && *again == *p);
    }
    const std::string path = fuzz::writeInput("Brenlo.tbl", data, size);
    Packet p{};
    p[0] = 0xA5;
    const Packet before = p;
    if (readPacketDump(path, p) != Status::Ok)
        FUZZ_CHECK(p == before);
    else
        FUZZ_CHECK(parsePacketDump(text) && *parsePacketDump(text) == p);
    return 0;
}
