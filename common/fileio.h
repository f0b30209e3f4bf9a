#pragma once
// Positioned reads and writes of whole byte runs on an open file
// descriptor: short transfers go on where they stopped, a call cut short
// by a signal is repeated.
#include "common/status.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace varenta {

// Reads n bytes at offset; false on an error or at the end of the file
// before n bytes.
bool readAllAt(int fd, char* p, std::size_t n, std::uint64_t offset);
// Reads up to n bytes at offset, fewer only at the end of the file; the
// count read, or -1 on an error.
long long readUpToAt(int fd, std::uint8_t* p, std::size_t n, std::uint64_t offset);
// Writes n bytes at offset; false on an error.
bool writeAllAt(int fd, const char* p, std::size_t n, std::uint64_t offset);

// Replaces the file at path by bytes, for exports written again at every
// display step: written to a temporary name beside it and renamed over it,
// so that it is never seen half written, without waiting for the disk.
// Io on failure, with the target unchanged and no temporary file left.
Status replaceFileQuickly(const std::string& path, const std::string& bytes);

}  // namespace varenta
