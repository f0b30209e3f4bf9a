#pragma once
// Header sectors made by hand for the tests of every area.
#include "common/masterfile.h"

#include <string>

namespace varenta::testing {

// The header sector of the given fields.
inline Sector headerSector(const HeaderFields& f)
{
    Sector s{};
    encodeHeader(f, s.data());
    return s;
}

// The header of the given fields as the processing program reads it,
// the logger's extra fields included.
inline MeasurementHeader decodedWithExtras(const HeaderFields& f)
{
    const Sector s = headerSector(f);
    HeaderDecodeOptions o;
    o.decodeLoggerExtras = true;
    return decodeHeader(s.data(), o);
}

inline std::string sectorBytes(const Sector& s) { return std::string(reinterpret_cast<const char*>(s.data()), s.size()); }

}  // namespace varenta::testing
