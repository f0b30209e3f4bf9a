#pragma once
// Positioned reads and writes of whole byte runs on an open file
// descriptor: short transfers go on where they stopped, a call cut short
// by a signal is repeated.
#include <cstddef>
#include <cstdint>

namespace varenta {

// Reads n bytes at offset; false on an error or at the end of the file
// before n bytes.
bool readAllAt(int fd, char* p, std::size_t n, std::uint64_t offset);
// Writes n bytes at offset; false on an error.
bool writeAllAt(int fd, const char* p, std::size_t n, std::uint64_t offset);

}  // namespace varenta
