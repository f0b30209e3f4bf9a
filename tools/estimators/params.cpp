#include "tools/estimators/params.h"

#include <charconv>
#include <cmath>

namespace varenta::est {

std::string fieldAt(std::string_view line, int col, int width)
{
    const std::size_t from = static_cast<std::size_t>(col - 1);
    if (col < 1 || width < 1 || from >= line.size())
        return {};
    std::string_view f = line.substr(from, static_cast<std::size_t>(width));
    while (!f.empty() && (f.front() == ' ' || f.front() == '\t'))
        f.remove_prefix(1);
    while (!f.empty() && (f.back() == ' ' || f.back() == '\t' || f.back() == '\r'))
        f.remove_suffix(1);
    return std::string(f);
}

bool numberField(std::string_view line, int col, int width, std::optional<double>& out)
{
    out.reset();
    const std::string f = fieldAt(line, col, width);
    if (f.empty())
        return true;
    double v = 0.0;
    const char* first = f.data();
    const char* last = f.data() + f.size();
    if (*first == '+')
        ++first;
    const auto r = std::from_chars(first, last, v);
    if (r.ec != std::errc() || r.ptr != last || !std::isfinite(v))
        return false;
    out = v;
    return true;
}

namespace {

// A number read from a file as an int: a value beyond the int range (a
// field of garbage) saturates instead of overflowing; NaN gives 0.
int asInt(double v)
{
    if (!(v == v))
        return 0;
    if (v >= 2147483647.0)
        return 2147483647;
    if (v <= -2147483648.0)
        return -2147483647 - 1;
    return static_cast<int>(v);
}

struct Reader {
    const std::vector<std::string>& lines;
    std::string& why;
    bool ok = true;

    std::string_view line(std::size_t i) const { return i < lines.size() ? std::string_view(lines[i]) : std::string_view(); }

    // A number at (line index, col, width); blank gives nullopt.
    std::optional<double> number(std::size_t i, int col, int width, const char* name)
    {
        std::optional<double> v;
        if (ok && !numberField(line(i), col, width, v)) {
            ok = false;
            why = "parameter file line " + std::to_string(i + 1) + " columns " + std::to_string(col) + "-" +
                  std::to_string(col + width - 1) + " (" + name + ") is not a number: \"" + fieldAt(line(i), col, width) +
                  "\"";
        }
        return v;
    }
    double required(std::size_t i, int col, int width, const char* name)
    {
        const std::optional<double> v = number(i, col, width, name);
        if (ok && !v) {
            ok = false;
            why = "parameter file line " + std::to_string(i + 1) + " columns " + std::to_string(col) + "-" +
                  std::to_string(col + width - 1) + " (" + name + ") is blank";
        }
        return v.value_or(0.0);
    }
    void fail(std::string text)
    {
        if (ok) {
            ok = false;
            why = std::move(text);
        }
    }
    bool integral(double v) const { return std::abs(v - std::round(v)) < 1e-9; }
};

// Estimator settings on one line (emep2 line 4, bayes2 line 2):
//   1-5 nd, 6-10 nf, 11-20 lowest frequency, 21-30 highest frequency,
//   31-35 bins averaged, 36-40 largest model order (emep2), 41-50 head
//   scale, 51-55 gain limit, 56-60 valid samples needed (percent), 61-70
//   current meter above the pressure gauge (m).  Blank fields keep the
//   defaults.
void readSettings(Reader& r, std::size_t i, EstimatorSettings& s)
{
    if (const auto v = r.number(i, 1, 5, "number of directions"))
        s.nd = asInt(std::round(*v));
    if (const auto v = r.number(i, 6, 5, "number of frequencies"))
        s.nf = asInt(std::round(*v));
    if (const auto v = r.number(i, 11, 10, "lowest frequency"))
        s.fmin = *v;
    if (const auto v = r.number(i, 21, 10, "highest frequency"))
        s.fmax = *v;
    if (const auto v = r.number(i, 31, 5, "bins averaged"))
        s.smoothing = asInt(std::round(*v));
    if (const auto v = r.number(i, 36, 5, "model order"))
        s.maxOrder = asInt(std::round(*v));
    if (const auto v = r.number(i, 41, 10, "head scale"))
        s.headScale = *v;
    if (const auto v = r.number(i, 51, 5, "gain limit"))
        s.gainLimit = *v;
    if (const auto v = r.number(i, 56, 5, "valid samples needed"))
        s.minValidShare = *v / 100.0;
    s.currentAboveGauge = r.number(i, 61, 10, "current meter above the gauge");
    if (!r.ok)
        return;
    if (s.nd < 8 || s.nd > 360)
        r.fail("number of directions " + std::to_string(s.nd) + " is outside 8..360");
    else if (s.nf < 1 || s.nf > 512)
        r.fail("number of frequencies " + std::to_string(s.nf) + " is outside 1..512");
    else if (!(s.fmin > 0.0) || !(s.fmax >= s.fmin) || (s.nf > 1 && !(s.fmax > s.fmin)))
        r.fail("frequency band is empty or not positive");
    else if (s.smoothing < 1 || s.smoothing > 999)
        r.fail("bins averaged must be 1..999");
    else if (s.maxOrder < 1 || s.maxOrder > 20)
        r.fail("model order must be 1..20");
    else if (!(s.headScale > 0.0) || !(s.gainLimit > 1.0))
        r.fail("head scale must be positive and the gain limit above 1");
    else if (!(s.minValidShare > 0.0) || s.minValidShare > 1.0)
        r.fail("valid samples needed must be 1..100 percent");
    else if (s.currentAboveGauge && (*s.currentAboveGauge < 0.0 || *s.currentAboveGauge > 1000.0))
        r.fail("current meter height above the gauge is out of range");
}

void checkSite(Reader& r, const ParameterFile& p)
{
    if (!r.ok)
        return;
    if (!(p.dt > 0.0) || p.dt > 60.0)
        r.fail("sample interval is not a positive number of seconds");
    else if (!(p.depth > 0.0) || p.depth > 20000.0)
        r.fail("water depth is not positive (is channel 1 a pressure gauge?)");
}

}  // namespace

bool parseEmepParameters(const std::vector<std::string>& lines, ParameterFile& out, std::string& why)
{
    out = ParameterFile{};
    out.method = Method::Emep;
    Reader r{lines, why};
    if (lines.size() < 8)
        r.fail("parameter file has " + std::to_string(lines.size()) + " lines, at least 8 are needed");
    // Line 1 columns 1-5: j, the number of sensors; line 2: j channel
    // numbers in fields of 5.
    const double j = r.required(0, 1, 5, "number of sensors");
    if (r.ok && (!r.integral(j) || j < 1 || j > 9))
        r.fail("number of sensors must be 1..9");
    for (int c = 0; r.ok && c < asInt(j); ++c) {
        const double ch = r.required(1, 1 + 5 * c, 5, "channel number");
        if (r.ok && (!r.integral(ch) || ch < 1 || ch > 9))
            r.fail("channel number must be 1..9");
        out.channels.push_back(ChannelEntry{asInt(ch), {}, {}, 1.0, {}});
    }
    // Line 3: 13-15 machine, 16-20 j, 21-25 n, 51-55 dt, 56-65 h.
    out.machineNumber = asInt(r.number(2, 13, 3, "machine number").value_or(0));
    if (const auto n = r.number(2, 21, 5, "samples"))
        out.samples = asInt(*n);
    out.dt = r.required(2, 51, 5, "sample interval");
    out.depth = r.required(2, 56, 10, "water depth");
    readSettings(r, 3, out.settings);
    // Line 5 (pressure): 26-35 elevation, 56-60 surface reference (1 the
    // pressure, 4 the level).  Lines 6 and 7 (currents): 26-35 elevation.
    out.pressureElevation = r.number(4, 26, 10, "pressure gauge elevation");
    const auto ref = r.number(4, 56, 5, "surface reference");
    out.levelReference = ref && std::lround(*ref) == 4;
    out.currentElevation = r.number(5, 26, 10, "current meter elevation");
    checkSite(r, out);
    return r.ok;
}

bool parseBdmParameters(const std::vector<std::string>& lines, ParameterFile& out, std::string& why)
{
    out = ParameterFile{};
    out.method = Method::Bdm;
    Reader r{lines, why};
    if (lines.size() < 3)
        r.fail("parameter file has " + std::to_string(lines.size()) + " lines, at least 3 are needed");
    readSettings(r, 1, out.settings);
    // Line 3: 1-5 list length L, then L channel numbers in fields of 3.
    const double count = r.required(2, 1, 5, "list length");
    if (r.ok && (!r.integral(count) || count < 1 || count > 30))
        r.fail("channel list length must be 1..30");
    // A refused length counts no channels: nothing below indexes with it.
    const int l = r.ok ? asInt(count) : 0;
    for (int c = 0; r.ok && c < l; ++c) {
        const double ch = r.required(2, 6 + 3 * c, 3, "channel number");
        if (r.ok && (!r.integral(ch) || ch < 1 || ch > 30))
            r.fail("channel number must be 1..30");
        out.channels.push_back(ChannelEntry{asInt(ch), {}, {}, 1.0, {}});
    }
    if (r.ok && lines.size() < static_cast<std::size_t>(5 + l))
        r.fail("parameter file ends before the site line (line " + std::to_string(4 + l) + ")");
    // One line per listed channel: a current line holds 11-20 the gain,
    // 21-30 the inclination (90 = horizontal) and 31-40 the azimuth of the
    // component from the X axis toward Y.  Which lines are current lines
    // the measurement's channel kinds decide, so a field error is kept
    // with the entry rather than ending the reading.
    for (int c = 0; r.ok && c < l; ++c) {
        const std::string_view text = r.line(static_cast<std::size_t>(3 + c));
        ChannelEntry& e = out.channels[static_cast<std::size_t>(c)];
        std::optional<double> gain;
        if (!numberField(text, 11, 10, gain) || !numberField(text, 21, 10, e.inclination) ||
            !numberField(text, 31, 10, e.azimuth))
            e.lineError = "parameter file line " + std::to_string(4 + c) + ": gain, inclination or azimuth is not a number";
        e.gain = gain.value_or(1.0);
    }
    // Site line: 13-15 machine, 41-45 dt, 46-50 h, 51-55 z; the line after
    // it holds the hyper-parameter search: 1-5 trials, 6-15 largest u,
    // 16-25 ratio between trials.
    const std::size_t site = static_cast<std::size_t>(3 + l);
    out.machineNumber = asInt(r.number(site, 13, 3, "machine number").value_or(0));
    out.dt = r.required(site, 41, 5, "sample interval");
    out.depth = r.required(site, 46, 5, "water depth");
    out.gaugeHeight = r.number(site, 51, 5, "gauge height");
    const std::size_t search = site + 1;
    if (const auto v = r.number(search, 1, 5, "trials"))
        out.settings.bdm.trials = asInt(std::round(*v));
    if (const auto v = r.number(search, 6, 10, "largest u"))
        out.settings.bdm.largest = *v;
    if (const auto v = r.number(search, 16, 10, "ratio"))
        out.settings.bdm.ratio = *v;
    if (r.ok && (out.settings.bdm.trials < 1 || out.settings.bdm.trials > 60 || !(out.settings.bdm.largest > 0.0) ||
                 !(out.settings.bdm.ratio > 0.0 && out.settings.bdm.ratio < 1.0)))
        r.fail("hyper-parameter search needs 1..60 trials, a positive start and a ratio between 0 and 1");
    checkSite(r, out);
    return r.ok;
}

bool parseParameters(Method method, const std::vector<std::string>& lines, ParameterFile& out, std::string& why)
{
    return method == Method::Emep ? parseEmepParameters(lines, out, why) : parseBdmParameters(lines, out, why);
}

bool parseCommandLine(const std::vector<std::string>& args, CommandLine& out, std::string& why)
{
    if (args.size() < 10) {
        why = "expected 10 arguments (year month day hour minute n C start options datafile), got " +
              std::to_string(args.size());
        return false;
    }
    long long v[9] = {};
    static const char* const names[9] = {"year", "month", "day", "hour", "minute", "n", "C", "start", "options"};
    for (int i = 0; i < 9; ++i) {
        const std::string& a = args[static_cast<std::size_t>(i)];
        const auto r = std::from_chars(a.data(), a.data() + a.size(), v[i]);
        if (a.empty() || r.ec != std::errc() || r.ptr != a.data() + a.size()) {
            why = std::string("argument ") + std::to_string(i + 1) + " (" + names[i] + ") is not an integer: \"" + a + "\"";
            return false;
        }
    }
    std::string file = args[9];
    for (std::size_t i = 10; i < args.size(); ++i)
        file += " " + args[i];
    if (file.size() >= 2 && file.front() == '"' && file.back() == '"')
        file = file.substr(1, file.size() - 2);
    if (file.empty()) {
        why = "the data file argument is empty";
        return false;
    }
    if (v[5] < 1 || v[5] > 36000 || v[6] < 1 || v[6] > 9 || v[7] < 1) {
        why = "sample count, channel count or start position out of range";
        return false;
    }
    out.year = static_cast<int>(v[0]);
    out.month = static_cast<int>(v[1]);
    out.day = static_cast<int>(v[2]);
    out.hour = static_cast<int>(v[3]);
    out.minute = static_cast<int>(v[4]);
    out.samples = static_cast<int>(v[5]);
    out.channels = static_cast<int>(v[6]);
    out.start = v[7];
    out.options = v[8];
    out.dataFile = file;
    return true;
}

}  // namespace varenta::est
