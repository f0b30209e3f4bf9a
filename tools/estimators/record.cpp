#include "tools/estimators/record.h"

#include "common/fileio.h"
#include "common/numeric.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <fcntl.h>
#include <unistd.h>

namespace varenta::est {

bool readMeasurement(const std::string& path, long long start, Measurement& out, std::string& why)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        why = "cannot open the data file " + path;
        return false;
    }
    const std::uint64_t offset = static_cast<std::uint64_t>(start - 1);
    Sector head{};
    bool ok = readAllAt(fd, reinterpret_cast<char*>(head.data()), head.size(), offset);
    if (!ok) {
        ::close(fd);
        why = "the data file ends before the measurement at byte " + std::to_string(start);
        return false;
    }
    if (readHeader(head.data(), head.size(), out.header) != Status::Ok || out.header.packetKind() != kPacketKindHeader) {
        ::close(fd);
        why = "no valid measurement header at byte " + std::to_string(start) + " of " + path;
        return false;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(out.header.sectorsPerMeasurement) * 512);
    const long long got = readUpToAt(fd, bytes.data(), bytes.size(), offset);
    ::close(fd);
    if (got < 512) {
        why = "cannot read the measurement from " + path;
        return false;
    }
    out.truncated = unpackSamples(out.header, bytes.data(), static_cast<std::size_t>(got), out.interleaved) != Status::Ok;
    return true;
}

std::vector<double> channelValues(const Measurement& m, int channel, double factor)
{
    const int c = m.header.channelCount;
    const int n = c > 0 ? static_cast<int>(m.interleaved.size()) / c : 0;
    std::vector<double> x(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const std::int16_t v = m.interleaved[static_cast<std::size_t>(i * c + channel)];
        x[static_cast<std::size_t>(i)] = v == kMissingSample ? std::nan("") : factor * v * 0.01;
    }
    return x;
}

int prepareRecord(std::vector<double>& x)
{
    const int n = static_cast<int>(x.size());
    int valid = 0, last = -1;
    for (int i = 0; i < n; ++i) {
        if (std::isnan(x[static_cast<std::size_t>(i)]))
            continue;
        ++valid;
        if (last < 0) {
            for (int j = 0; j < i; ++j)
                x[static_cast<std::size_t>(j)] = x[static_cast<std::size_t>(i)];
        } else if (i - last > 1) {
            const double a = x[static_cast<std::size_t>(last)], b = x[static_cast<std::size_t>(i)];
            for (int j = last + 1; j < i; ++j)
                x[static_cast<std::size_t>(j)] = a + (b - a) * (j - last) / (i - last);
        }
        last = i;
    }
    if (last < 0)
        return 0;
    for (int j = last + 1; j < n; ++j)
        x[static_cast<std::size_t>(j)] = x[static_cast<std::size_t>(last)];
    // Remove the least-squares line a + b i.
    double si = 0.0, sx = 0.0, sii = 0.0, six = 0.0;
    for (int i = 0; i < n; ++i) {
        si += i;
        sx += x[static_cast<std::size_t>(i)];
        sii += static_cast<double>(i) * i;
        six += i * x[static_cast<std::size_t>(i)];
    }
    const double den = n * sii - si * si;
    const double b = den != 0.0 ? (n * six - si * sx) / den : 0.0;
    const double a = (sx - b * si) / n;
    for (int i = 0; i < n; ++i)
        x[static_cast<std::size_t>(i)] -= a + b * i;
    return valid;
}

CrossSpectra::CrossSpectra(const std::vector<std::vector<double>>& records, double dt)
    : channels_(static_cast<int>(records.size())), dt_(dt)
{
    n_ = records.empty() ? 0 : static_cast<int>(records.front().size());
    bins_ = n_ / 2 + 1;
    df_ = n_ > 0 ? 1.0 / (n_ * dt) : 1.0;
    if (n_ < 2)
        return;
    // A complex transform of the real record: FFTW plans it several times
    // faster than the real-input transform of a length like 2400, which
    // matters for a program that runs once per burst.
    fftw_complex* in = fftw_alloc_complex(static_cast<std::size_t>(n_));
    fftw_complex* out = fftw_alloc_complex(static_cast<std::size_t>(n_));
    fftw_plan plan = fftw_plan_dft_1d(n_, in, out, FFTW_FORWARD, FFTW_ESTIMATE);
    for (const std::vector<double>& r : records) {
        for (int i = 0; i < n_; ++i) {
            in[i][0] = r[static_cast<std::size_t>(i)];
            in[i][1] = 0.0;
        }
        fftw_execute(plan);
        std::vector<std::complex<double>> s(static_cast<std::size_t>(bins_));
        for (int b = 0; b < bins_; ++b)
            s[static_cast<std::size_t>(b)] = {out[b][0], out[b][1]};
        spectra_.push_back(std::move(s));
    }
    fftw_destroy_plan(plan);
    fftw_free(out);
    fftw_free(in);
}

CrossSpectrum CrossSpectra::at(double f, int bins) const
{
    CrossSpectrum c;
    c.channels = channels_;
    c.value.assign(static_cast<std::size_t>(channels_ * channels_), {0.0, 0.0});
    if (n_ < 2)
        return c;
    const int centre = static_cast<int>(std::lround(f / df_));
    int lo = centre - (bins - 1) / 2, hi = lo + bins - 1;
    // Keep the band inside 1..n/2 - 1 (no mean, no Nyquist bin).
    const int top = std::max(1, (n_ - 1) / 2);
    if (lo < 1) {
        hi += 1 - lo;
        lo = 1;
    }
    if (hi > top) {
        lo = std::max(1, lo - (hi - top));
        hi = top;
    }
    const double scale = 2.0 * dt_ / n_ / (hi - lo + 1);
    for (int m = 0; m < channels_; ++m)
        for (int k = m; k < channels_; ++k) {
            std::complex<double> s{0.0, 0.0};
            for (int b = lo; b <= hi; ++b)
                s += spectra_[static_cast<std::size_t>(m)][static_cast<std::size_t>(b)] *
                     std::conj(spectra_[static_cast<std::size_t>(k)][static_cast<std::size_t>(b)]);
            c.at(m, k) = s * scale;
            c.at(k, m) = std::conj(s * scale);
        }
    return c;
}

double CrossSpectra::variance(int channel) const
{
    double s = 0.0;
    for (int b = 1; b < bins_; ++b)
        s += std::norm(spectra_[static_cast<std::size_t>(channel)][static_cast<std::size_t>(b)]);
    return n_ > 0 ? 2.0 * s / (static_cast<double>(n_) * n_) : 0.0;
}

}  // namespace varenta::est
