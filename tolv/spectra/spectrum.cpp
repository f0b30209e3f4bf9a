#include "tolv/spectra/spectrum.h"

#include "common/numeric.h"
#include "tolv/spectra/fft.h"

#include <algorithm>
#include <cmath>

namespace varenta {

const char* const kConversionSkippedText =
    "チャンネル0が水圧でないため水深が求まらず、表面波への換算をしませんでした";

namespace {

const char* const kDivisorInvalidText =
    "水圧の換算係数が0以下のため、表面波への換算をしませんでした";

constexpr float kMissing = -32768.0f;

}  // namespace

SpectrumConversion conversionForChannel(int channel)
{
    if (channel == 0)
        return SpectrumConversion::Pressure;
    if (channel == 1 || channel == 2)
        return SpectrumConversion::Velocity;
    return SpectrumConversion::None;
}

int spectrumLength(int requested, int measurementLength)
{
    if (requested <= 0 || requested > measurementLength)
        return measurementLength;
    return std::max(4, powerOfTwoAtMost(requested));
}

SpectrumPlan planSpectrum(const SpectrumRecord& rec, const SpectrumSettings& set)
{
    SpectrumPlan p;
    p.measurementLength = fftLengthAbove(rec.sampleCount);
    p.length = spectrumLength(set.requestedLength, p.measurementLength);
    const float z = std::max(set.gaugeHeight, 0.0001f);
    if (rec.channel0Kind == kPressureChannelKind && set.pressureDivisor > 0.0f) {
        float h = rec.channel0Mean * 0.01f / set.pressureDivisor + z;
        if (h < z)
            h = z;
        p.depth = h;
        p.depthKnown = std::isfinite(h);
    }
    return p;
}

void smoothSpectrum(std::vector<float>& density, int passes)
{
    const std::size_t half = density.size();
    if (half < 2 || passes <= 0)
        return;
    std::vector<float> next(half);
    for (int pass = 0; pass < passes; ++pass) {
        const float* r = density.data();
        float* w = next.data();
        w[0] = (r[0] + r[1]) * 0.5f;
        w[half - 1] = (r[half - 2] + r[half - 1]) * 0.5f;
        for (std::size_t b = 1; b + 1 < half; ++b)
            w[b] = (r[b - 1] + r[b + 1]) * 0.25f + r[b] * 0.5f;
        density.swap(next);
    }
}

Status PowerSpectrumCompute(std::span<const float> samples, int channel, const SpectrumRecord& rec,
                            const SpectrumSettings& set, Spectrum& out, std::string* note)
{
    out = Spectrum{};
    out.channel = channel;
    if (!(rec.dt > 0.0f) || !std::isfinite(rec.dt))
        return Status::DataFormat;
    const SpectrumPlan plan = planSpectrum(rec, set);
    if (plan.measurementLength < 4)
        return Status::DataFormat;
    const int n = plan.length;
    const int half = n / 2;
    const float dt = rec.dt;

    // Conversion: only with a known depth; the pressure conversion also
    // divides by the pressure-head divisor.
    const SpectrumConversion kind = conversionForChannel(channel);
    bool convert = set.convertToSurface && kind != SpectrumConversion::None;
    if (convert && !plan.depthKnown) {
        convert = false;
        if (note)
            *note = set.pressureDivisor > 0.0f ? kConversionSkippedText : kDivisorInvalidText;
    }
    const float h = plan.depth;
    const float z = std::max(set.gaugeHeight, 0.0001f);

    // Fill: metres (per second); zeros beyond the record.  A sample still
    // marked missing takes the previous valid value (the first valid one at
    // the start) so that a marker never reaches the transform.
    std::vector<float> re(static_cast<std::size_t>(n), 0.0f);
    std::vector<float> im(static_cast<std::size_t>(n), 0.0f);
    const std::size_t used = std::min(samples.size(), static_cast<std::size_t>(n));
    float held = 0.0f;
    for (std::size_t i = 0; i < samples.size(); ++i)
        if (samples[i] != kMissing) {
            held = samples[i];
            break;
        }
    for (std::size_t i = 0; i < used; ++i) {
        const float v = samples[i];
        if (v != kMissing)
            held = v;
        re[i] = held * 0.01f;
    }

    if (Fft(n, -1, re, im) != Status::Ok)
        return Status::DataFormat;

    const float df = 1.0f / (static_cast<float>(n - 1) * dt);
    // Density per Hz: |X|^2 N 2 dt for a record that fills the transform.
    // A record padded with zeros holds only `used` of the N points, so the
    // density is raised by N / used; the variance of the record then equals
    // the area under its spectrum, whatever the padding.
    const float scale = static_cast<float>(n) * 2.0f * dt *
                        (used > 0 ? static_cast<float>(n) / static_cast<float>(used) : 1.0f);
    const float limit = set.factorLimit;
    out.density.resize(static_cast<std::size_t>(half));
    out.frequency.resize(static_cast<std::size_t>(half));

    float k = 0.0f;
    for (int b = 1; b <= half; ++b) {
        const float f = static_cast<float>(b) * df;
        float r = re[static_cast<std::size_t>(b - 1)];
        float m = im[static_cast<std::size_t>(b - 1)];
        if (convert) {
            // Once K has reached the cap it is kept for every higher bin.
            if (k < limit) {
                const float t = 1.0f / f;
                const float wk = WaveNumber(t, h);
                const float cz = CoshF(wk * z);
                if (kind == SpectrumConversion::Pressure)
                    k = CoshF(wk * h) / cz / set.pressureDivisor;
                else
                    k = SinhF(wk * h) / (f * 6.283185f * cz);
                if (k > limit)
                    k = limit;
            }
            r = k * r;
            m = k * m;
        }
        out.density[static_cast<std::size_t>(b - 1)] = (r * r + m * m) * scale;
        out.frequency[static_cast<std::size_t>(b - 1)] = f;
    }

    smoothSpectrum(out.density, set.smoothingPasses);

    for (float v : out.density)
        if (!std::isfinite(v)) {
            out.density.clear();
            out.frequency.clear();
            return Status::DataFormat;
        }

    out.length = n;
    out.df = df;
    out.depth = plan.depthKnown ? h : 0.0f;
    out.converted = convert;
    return Status::Ok;
}

}  // namespace varenta
