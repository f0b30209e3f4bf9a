#include "tolv/spectra/spectrum.h"

#include "common/numeric.h"
#include "tolv/spectra/fft.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace varenta {

const char* const kConversionSkippedText =
    "チャンネル0が水圧でないため水深が求まらず、表面波への換算をしませんでした";

namespace {

const char* const kDivisorInvalidText =
    "水圧の換算係数が0以下のため、表面波への換算をしませんでした";

constexpr float kMissing = -32768.0f;

// The surface conversion factor K of bins 1..half: K(f) for f = b df until
// it reaches the cap, the cap for every higher bin.  The table depends only
// on its arguments, so the last two (a pressure and a velocity table) are
// kept per thread: the two current channels of a record, and a record drawn
// again, reuse it.
const std::vector<float>& conversionFactors(SpectrumConversion kind, int half, float df, float h, float z,
                                            float limit, float divisor)
{
    struct Table {
        bool valid = false;
        int half = 0;
        float df = 0, h = 0, z = 0, limit = 0, divisor = 0;
        std::vector<float> k;
        bool same(int n, float d, float hh, float zz, float l, float dv) const
        {
            auto eq = [](float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; };
            return valid && half == n && eq(df, d) && eq(h, hh) && eq(z, zz) && eq(limit, l) && eq(divisor, dv);
        }
    };
    thread_local Table tables[2];
    Table& t = tables[kind == SpectrumConversion::Pressure ? 0 : 1];
    if (t.same(half, df, h, z, limit, divisor))
        return t.k;
    t.valid = false;
    t.k.resize(static_cast<std::size_t>(half));
    float k = 0.0f;
    int b = 1;
    for (; b <= half && k < limit; ++b) {
        const float f = static_cast<float>(b) * df;
        const float tp = 1.0f / f;
        const float wk = WaveNumber(tp, h);
        const float cz = CoshF(wk * z);
        if (kind == SpectrumConversion::Pressure)
            k = CoshF(wk * h) / cz / divisor;
        else
            k = SinhF(wk * h) / (f * 6.283185f * cz);
        if (k > limit)
            k = limit;
        t.k[static_cast<std::size_t>(b - 1)] = k;
    }
    // Once K has reached the cap (or is not a number) it is kept.
    for (; b <= half; ++b)
        t.k[static_cast<std::size_t>(b - 1)] = k;
    t.half = half;
    t.df = df;
    t.h = h;
    t.z = z;
    t.limit = limit;
    t.divisor = divisor;
    t.valid = true;
    return t.k;
}

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

namespace {

// One smoothing pass from r to w (half >= 2).  Built for AVX2 as well: the
// same operations on wider vectors, no multiply-add fused, so the same bits.
VARENTA_AVX2_CLONES void smoothPass(const float* r, float* w, std::size_t half)
{
    w[0] = (r[0] + r[1]) * 0.5f;
    w[half - 1] = (r[half - 2] + r[half - 1]) * 0.5f;
    for (std::size_t b = 1; b + 1 < half; ++b)
        w[b] = (r[b - 1] + r[b + 1]) * 0.25f + r[b] * 0.5f;
}

}  // namespace

void smoothSpectrum(std::vector<float>& density, int passes)
{
    const std::size_t half = density.size();
    if (half < 2 || passes <= 0)
        return;
    std::vector<float> next(half);
    for (int pass = 0; pass < passes; ++pass) {
        smoothPass(density.data(), next.data(), half);
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
    bool anyMissing = false;
    for (std::size_t i = 0; i < used; ++i)
        anyMissing |= samples[i] == kMissing;
    if (!anyMissing) {
        for (std::size_t i = 0; i < used; ++i)
            re[i] = samples[i] * 0.01f;
    } else {
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

    float* density = out.density.data();
    float* frequency = out.frequency.data();
    for (int b = 1; b <= half; ++b)
        frequency[b - 1] = static_cast<float>(b) * df;
    const float* rp = re.data();
    const float* ip = im.data();
    if (convert) {
        const float* kv = conversionFactors(kind, half, df, h, z, limit, set.pressureDivisor).data();
        for (int i = 0; i < half; ++i) {
            const float r = kv[i] * rp[i];
            const float m = kv[i] * ip[i];
            density[i] = (r * r + m * m) * scale;
        }
    } else {
        for (int i = 0; i < half; ++i)
            density[i] = (rp[i] * rp[i] + ip[i] * ip[i]) * scale;
    }

    smoothSpectrum(out.density, set.smoothingPasses);

    bool finite = true;
    for (float v : out.density)
        finite &= std::isfinite(v);
    if (!finite) {
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
