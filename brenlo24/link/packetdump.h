#pragma once
// Text dumps of one packet ("Echo.tbl", "Brenlo.tbl", "Brenlo2.tbl"): 32
// lines of 16 bytes, each byte as two upper-case hexadecimal digits, bytes
// separated by one space, lines ended by CR LF.
#include "brenlo24/link/packet.h"

#include <string>

namespace varenta {

std::string packetDumpText(const Packet& p);
// Parses a dump: exactly 512 two-digit hexadecimal bytes separated by
// blanks and line ends (CR LF or LF).  nullopt for anything else.
std::optional<Packet> parsePacketDump(std::string_view text);

// Writes the dump (whole file replaced at once).
Status writePacketDump(const std::string& path, const Packet& p);
// Reads a dump; on any failure p is left unchanged.
Status readPacketDump(const std::string& path, Packet& p);

}  // namespace varenta
