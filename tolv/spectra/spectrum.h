#pragma once
// One-sided power spectral density of one channel, with the optional
// conversion of pressure and current spectra to surface elevation by
// linear wave theory, and the repeated 3-point smoothing.
#include "common/status.h"

#include <span>
#include <string>
#include <vector>

namespace varenta {

// The channel kind code of a water-pressure channel (bits 5-0 of the
// channel byte).
constexpr int kPressureChannelKind = 1;

enum class SpectrumConversion { None, Pressure, Velocity };

// Which conversion a channel takes: channel 0 the pressure conversion,
// channels 1 and 2 the velocity conversion, the others none.
SpectrumConversion conversionForChannel(int channel);

// The settings the spectrum reads.  Each field names its home in the
// initialization table; the caller parses the texts.
struct SpectrumSettings {
    int requestedLength = 0;      // item 97 value 6: 0 or above N0 -> N0
    bool convertToSurface = false;  // item 97 value 2 non-zero
    int smoothingPasses = 0;      // item 68 value 2
    float factorLimit = 12.0f;    // item 99 value 3: cap of the factor K
    float gaugeHeight = 0.0f;     // item 67 value 0 (m); below 0.0001 -> 0.0001
    float pressureDivisor = 1.0f; // item 99 value 4
};

// What the spectrum needs of the measurement.
struct SpectrumRecord {
    int sampleCount = 0;         // n, samples per channel
    float dt = 1.0f;             // sampling interval (s)
    int channel0Kind = 0;        // kind code of channel 0
    float channel0Mean = 0.0f;   // mean of channel 0 (cm), after conditioning
};

// Spectrum of one channel.  density[b-1] and frequency[b-1] hold bin b,
// b = 1..N/2.
struct Spectrum {
    int channel = -1;
    int length = 0;              // N used for the transform
    float df = 0.0f;             // 1 / ((N - 1) dt)
    float depth = 0.0f;          // water depth h used (m); 0 when none
    bool converted = false;      // the factor K was applied
    std::vector<float> density;
    std::vector<float> frequency;
};

// The depth and the transform length a spectrum of this record uses.
struct SpectrumPlan {
    int measurementLength = 0;   // N0: the power of two above n
    int length = 0;              // N
    float depth = 0.0f;          // h (m); 0 when channel 0 is not pressure
    bool depthKnown = false;
};
SpectrumPlan planSpectrum(const SpectrumRecord& rec, const SpectrumSettings& set);

// The N used for a requested length: 0 or above N0 gives N0; a length that
// is not a power of two is taken down to the power of two below it (at
// least 4).
int spectrumLength(int requested, int measurementLength);

// Status text shown when the conversion is switched on but cannot be made
// because channel 0 is not a pressure channel (no water depth).
extern const char* const kConversionSkippedText;

// Computes the spectrum of one channel from its conditioned samples (cm or
// cm/s; the length may differ from n, missing samples still marked -32768
// take the previous valid value).  When the conversion is wanted but no
// depth is known the channel's spectrum is left unconverted and `note`
// receives kConversionSkippedText.  DataFormat when the record is too short
// (N0 < 4), dt is not positive, or a value overflowed; `out` is then empty.
Status PowerSpectrumCompute(std::span<const float> samples, int channel, const SpectrumRecord& rec,
                            const SpectrumSettings& set, Spectrum& out, std::string* note = nullptr);

// The repeated 3-point average over a density array (in place).
void smoothSpectrum(std::vector<float>& density, int passes);

}  // namespace varenta
