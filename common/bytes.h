#pragma once
// Little-endian field access on byte buffers.  Callers check the buffer size
// before reading a field; these helpers do no bounds checks of their own.
#include <cstdint>
#include <cstddef>

namespace varenta {

inline std::uint8_t getU8(const std::uint8_t* p, std::size_t off) { return p[off]; }
inline std::int8_t getS8(const std::uint8_t* p, std::size_t off) { return static_cast<std::int8_t>(p[off]); }
inline std::uint16_t getU16(const std::uint8_t* p, std::size_t off)
{
    return static_cast<std::uint16_t>(p[off] | (p[off + 1] << 8));
}
inline std::int16_t getS16(const std::uint8_t* p, std::size_t off) { return static_cast<std::int16_t>(getU16(p, off)); }
inline std::uint32_t getU32(const std::uint8_t* p, std::size_t off)
{
    return static_cast<std::uint32_t>(p[off]) | (static_cast<std::uint32_t>(p[off + 1]) << 8) |
           (static_cast<std::uint32_t>(p[off + 2]) << 16) | (static_cast<std::uint32_t>(p[off + 3]) << 24);
}
inline std::int32_t getS32(const std::uint8_t* p, std::size_t off) { return static_cast<std::int32_t>(getU32(p, off)); }

inline void putU8(std::uint8_t* p, std::size_t off, unsigned v) { p[off] = static_cast<std::uint8_t>(v); }
inline void putU16(std::uint8_t* p, std::size_t off, unsigned v)
{
    p[off] = static_cast<std::uint8_t>(v);
    p[off + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void putS16(std::uint8_t* p, std::size_t off, int v) { putU16(p, off, static_cast<unsigned>(v) & 0xFFFFu); }
inline void putU32(std::uint8_t* p, std::size_t off, std::uint32_t v)
{
    p[off] = static_cast<std::uint8_t>(v);
    p[off + 1] = static_cast<std::uint8_t>(v >> 8);
    p[off + 2] = static_cast<std::uint8_t>(v >> 16);
    p[off + 3] = static_cast<std::uint8_t>(v >> 24);
}

}  // namespace varenta
