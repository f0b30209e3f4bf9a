// Fuzz target: "nr40g.txt" read from arbitrary bytes, and a spectrum that
// reads in full analysed and summarised.
#include "tolv/spectra/dirspectrum.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    varenta::DirectionalSpectrum s;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (varenta::parseDirectionalSpectrumBytes(bytes, s) == varenta::Status::Ok && s.complete()) {
        const varenta::DirectionalAnalysis a = varenta::analyseDirectionalSpectrum(s, 5, 7.0);
        (void)varenta::directionalSummaryLines(s, a, 7.0);
    }
    return 0;
}
