#include "tolv/spectra/dirspectrum.h"

#include "common/format.h"
#include "common/numeric.h"
#include "common/settings.h"
#include "common/textfile.h"
#include "tolv/spectra/spectrumgraph.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace varenta {

namespace {

constexpr std::size_t kField = 12;
constexpr int kPerLine = 6;

bool hasNaN(const std::string& line) { return line.find("NaN") != std::string::npos; }

// The trimmed text of columns first..first+width-1 (1-based), "" when the
// line ends before them.
std::string columns(const std::string& line, std::size_t first, std::size_t width)
{
    if (line.size() < first)
        return {};
    return trimBlanks(std::string_view(line).substr(first - 1, width));
}

bool readReal(const std::string& text, float& v)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    const double d = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(d))
        return false;
    v = static_cast<float>(d);
    return std::isfinite(v);
}

bool readCount(const std::string& text, int& v)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    const long n = std::strtol(text.c_str(), &end, 10);
    if (end != text.c_str() + text.size())
        return false;
    v = static_cast<int>(std::clamp<long>(n, -1, 1L << 30));
    return true;
}

std::string field6(double v, const char* mask) { return rightAlign(formatMask(v, mask), 6); }

}  // namespace

Status parseDirectionalSpectrum(const std::vector<std::string>& lines, DirectionalSpectrum& out)
{
    out = DirectionalSpectrum{};
    if (lines.empty() || hasNaN(lines[0]))
        return Status::DataFormat;
    int nf = 0, nd = 0;
    if (!readCount(columns(lines[0], 41, 5), nf) || !readCount(columns(lines[0], 46, 5), nd) || nf < 1 ||
        nd < 1 || nf > kMaxFrequencies || nd > kMaxDirections)
        return Status::DataFormat;
    out.nf = nf;
    out.nd = nd;
    // Room for what the lines can hold, not for what the header claims.
    out.frequency.reserve(std::min<std::size_t>(static_cast<std::size_t>(nf), lines.size()));
    out.density.reserve(std::min<std::size_t>(static_cast<std::size_t>(nf) * static_cast<std::size_t>(nd),
                                              lines.size() * kPerLine));
    std::size_t row = 1;
    for (int i = 1; i <= nf; ++i) {
        if (row >= lines.size() || hasNaN(lines[row]))
            return Status::DataFormat;
        float f = 0;
        if (!readReal(columns(lines[row++], 1, kField), f))
            return Status::DataFormat;
        out.frequency.push_back(f);
        for (int left = nd; left > 0; left -= kPerLine) {
            if (row >= lines.size() || hasNaN(lines[row]))
                return Status::DataFormat;
            const std::string& line = lines[row++];
            for (int k = 0; k < std::min(left, kPerLine); ++k) {
                float v = 0;
                if (!readReal(columns(line, static_cast<std::size_t>(k) * kField + 1, kField), v))
                    return Status::DataFormat;
                out.density.push_back(v);
            }
        }
    }
    return Status::Ok;
}

Status parseDirectionalSpectrumBytes(std::string_view bytes, DirectionalSpectrum& out)
{
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find('\n', pos);
        std::string line(bytes.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos));
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        if (end == std::string_view::npos)
            break;
        pos = end + 1;
    }
    return parseDirectionalSpectrum(lines, out);
}

double directionAngle(int index, int nd)
{
    if (nd < 1)
        return 0;
    double a = (index - 1) * 360.0 / nd;
    if (a >= 360)
        a -= 360;
    return a;
}

double correctDeclination(double angle, double declination)
{
    double a = angle - declination;
    if (a < 0)
        a += 360;
    if (a >= 359.5)
        a -= 360;
    return a;
}

int halfDirections(int nd) { return roundEvenInt(nd / 2.0); }

DirectionalAnalysis analyseDirectionalSpectrum(const DirectionalSpectrum& spectrum, int maxPeaks, double declination)
{
    DirectionalAnalysis a;
    const int nf = spectrum.nf, nd = spectrum.nd;
    a.directionSums.assign(static_cast<std::size_t>(nd), 0.0);
    double bestSum = 0, sx = 0, sy = 0;
    bool any = false;
    for (int j = 1; j <= nd; ++j) {
        double e = 0;
        for (int i = 1; i <= nf; ++i) {
            const float v = spectrum.at(i, j);
            e += v;
            if (v > a.largest) {
                a.largest = v;
                a.largestDirection = j;
                a.largestFrequency = i;
            }
        }
        a.directionSums[static_cast<std::size_t>(j - 1)] = e;
        if (e > bestSum) {
            bestSum = e;
            a.energyDirection = j;
        }
        const double r = directionAngle(j, nd) * 3.14159265358979323846 / 180.0;
        sx += e * std::cos(r);
        sy += e * std::sin(r);
        any = any || e != 0;
    }

    // Local maxima above a quarter of the largest density.
    const float threshold = a.largest / 4;
    const int limit = std::max(maxPeaks, 0);
    for (int j = 1; j <= nd && static_cast<int>(a.peaks.size()) < limit; ++j) {
        const int left = j == 1 ? nd : j - 1, right = j == nd ? 1 : j + 1;
        for (int i = 1; i <= nf && static_cast<int>(a.peaks.size()) < limit; ++i) {
            const float v = spectrum.at(i, j);
            if (!(v > threshold))
                continue;
            bool peak = v > spectrum.at(i, left) && v > spectrum.at(i, right);
            for (int r : {i - 1, i + 1}) {
                if (!peak || r < 1 || r > nf)
                    continue;
                peak = v > spectrum.at(r, left) && v > spectrum.at(r, j) && v > spectrum.at(r, right);
            }
            if (peak)
                a.peaks.push_back({v, j, i});
        }
    }
    for (std::size_t p = 0; p < a.peaks.size(); ++p)
        for (std::size_t q = p + 1; q < a.peaks.size(); ++q)
            if (a.peaks[p].value < a.peaks[q].value)
                std::swap(a.peaks[p], a.peaks[q]);
    if (a.peaks.empty())
        a.peaks.push_back({});
    a.peaks[0] = {a.largest, a.largestDirection, a.largestFrequency};

    a.peakAngle = correctDeclination(directionAngle(a.largestDirection, nd), declination);
    a.energyAngle = correctDeclination(directionAngle(a.energyDirection, nd), declination);
    if (any && (sx != 0 || sy != 0)) {
        double m = std::atan2(sy, sx) * 180.0 / 3.14159265358979323846;
        if (m < 0)
            m += 360;
        if (m >= 360)
            m -= 360;
        a.meanAngle = correctDeclination(m, declination);
    }
    return a;
}

std::vector<std::string> directionalSummaryLines(const DirectionalSpectrum& spectrum, const DirectionalAnalysis& a,
                                                 double declination)
{
    std::vector<std::string> lines{field6(a.meanAngle, "#####0"), field6(a.energyAngle, "#####0")};
    for (const SpectralPeak& p : a.peaks) {
        const double dir = correctDeclination(directionAngle(p.direction, spectrum.nd), declination);
        const float f = p.frequency >= 1 && p.frequency <= spectrum.nf ? spectrum.frequency[static_cast<std::size_t>(p.frequency - 1)] : 0;
        const double period = f > 0 ? 1.0 / f : 0.0;
        lines.push_back(field6(dir, "#####0") + field6(period, "##0.00") + field6(p.value, "##0.00"));
    }
    return lines;
}

std::string datedDirectionalName(const std::string& prefix, int machineNumber, int year, int month, int day,
                                 int hour, int minute)
{
    std::string name = datedSpectrumTextName(prefix, machineNumber, year, month, day, hour, minute);
    // Built as the power spectrum's dated copy, ending in "dg.txt".
    name.replace(name.size() - 6, 1, "d");
    return name;
}

int DirectionalLoader::load(const DirectionalRequest& req, ProcessRunner& runner, const Progress& progress,
                            const std::function<void(const std::string&)>& status)
{
    if (loaded_ && req.measurement == last_ && (req.startFlags & dirflag::kAlwaysEstimate) == 0)
        return 0;
    loaded_ = false;
    last_ = req.measurement;
    spectrum_ = DirectionalSpectrum{};
    analysis_ = DirectionalAnalysis{};
    const std::string folder = req.estimator.programFolder;
    const std::string output = folder + "/" + kEstimatorOutput;
    const std::string summary = folder + "/" + kDirectionalSummary;
    // A run that fails must never find an earlier measurement's spectrum.
    std::remove(output.c_str());

    bool prepared = true;
    if (req.estimator.transform)
        prepared = writeRotatedMeasurement(req.estimator, req.rotationSetting, req.meanBearing,
                                           req.measureCondition) == Status::Ok;
    if (prepared)
        runDirectionalEstimator(req.estimator, runner, progress, status);

    title_ = trimBlanks(req.titleText) + " No." + std::to_string(req.estimator.machineNumber);
    std::string bytes;
    const bool haveOutput = prepared && readFileBytes(output, bytes) == Status::Ok;
    int result = 1;
    if (haveOutput && parseDirectionalSpectrumBytes(bytes, spectrum_) == Status::Ok && spectrum_.complete()) {
        analysis_ = analyseDirectionalSpectrum(spectrum_, req.maxPeaks, req.declination);
        bool written = true;
        if ((req.estimator.options & diroption::kNoSummary) == 0)
            written = writeTextLines(summary, directionalSummaryLines(spectrum_, analysis_, req.declination)) ==
                      Status::Ok;
        if (written) {
            result = 0;
            loaded_ = true;
        }
    } else {
        // The summary of an earlier measurement would pass for this one's.
        std::remove(summary.c_str());
    }
    if ((req.startFlags & dirflag::kDatedCopy) != 0 && haveOutput) {
        const EstimatorInput& e = req.estimator;
        const std::string dated =
            folder + "/" + datedDirectionalName(req.prefix, e.machineNumber, e.year, e.month, e.day, e.hour, e.minute);
        std::remove(dated.c_str());
        writeFileBytesAtomic(dated, bytes);
    }
    return result;
}

}  // namespace varenta
