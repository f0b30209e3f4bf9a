#include "tolv/spectra/spectrumgraph.h"

#include "common/fileio.h"
#include "common/format.h"
#include "common/textfile.h"
#include "tolv/spectra/fft.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace varenta {

namespace {

// Splits UTF-8 text into its characters.
std::vector<std::string> utf8Chars(const std::string& s)
{
    std::vector<std::string> out;
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        std::size_t n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        n = std::min(n, s.size() - i);
        out.push_back(s.substr(i, n));
        i += n;
    }
    return out;
}

}  // namespace

std::vector<SpectrumSlotChoice> selectSpectrumSlots(std::span<const int> channelOrder,
                                                    std::span<const std::uint8_t> channelFlags,
                                                    const std::array<bool, kSpectrumSlots>& slotSwitch)
{
    std::vector<SpectrumSlotChoice> out;
    const std::size_t slots = std::min<std::size_t>(channelOrder.size(), kSpectrumSlots);
    for (std::size_t s = 0; s < slots; ++s) {
        const int c = channelOrder[s];
        if (c < 0 || static_cast<std::size_t>(c) >= channelFlags.size())
            continue;
        if (!(channelFlags[static_cast<std::size_t>(c)] & 0x80) || !slotSwitch[s])
            continue;
        out.push_back({static_cast<int>(s), c});
    }
    return out;
}

std::string decadeLabel(int e)
{
    std::string t = formatMask(std::pow(10.0, e), "#0.#####");
    if (!t.empty() && t.back() == '.')
        t.pop_back();
    return t;
}

std::string spectrumXCaption(const SpectrumGraphInfo& info)
{
    std::string t;
    if (info.identifyInCaption) {
        t = " No." + std::to_string(info.machineNumber) + "-" + std::to_string(info.measurementNumber) + " " +
            info.dateText.substr(0, 8) + " " + info.timeText.substr(0, 5);
    }
    t += "  周波数(Hz)";
    t += info.captionSuffix;
    return t;
}

std::string spectrumYCaption(int modelCode)
{
    std::string t = "スペクトル密度";
    if (modelCode == 1 || modelCode == 9 || modelCode == 10 || modelCode == 17)
        return t;
    // The unit m²·s between the font's two private-use bracket characters.
    return t + "\xEE\x80\x83" + "㎡Ｓ" + "\xEE\x80\x84";
}

SpectrumFrame buildSpectrumFrame(const Spectrum& first, float dt, const SpectrumGraphInfo& info)
{
    SpectrumFrame f;
    float ymax = 0.0f;
    for (float v : first.density)
        ymax = std::max(ymax, v);
    f.top = static_cast<int>(std::trunc(Log10F(ymax))) + 1;
    if (f.top < 0)
        f.top = 0;
    f.bottom = f.top - std::max(1, info.decades);

    const double seconds = static_cast<double>(first.length) * dt;
    f.xl = seconds > 1024.0 ? -4 : -3;
    const float dt10 = dt * 10.0f;
    f.xr = dt10 >= 5.0f ? 0 : (dt10 >= 0.5f ? 1 : 2);

    f.viewLeft = f.xl - 0.3;
    f.viewRight = f.xr + 0.2;
    f.viewBottom = f.bottom - 0.6;
    f.viewTop = f.top + 0.3;

    for (int e = f.xl; e <= f.xr; ++e) {
        f.xLabels.push_back({decadeLabel(e), double(e), double(f.bottom), 0.0, 0.3, HAlign::Centre, VAlign::Top});
        if (e < f.xr)
            for (int k = 2; k <= 10; ++k) {
                const double x = std::log10(k * std::pow(10.0, e));
                f.verticalGrid.push_back({x, double(f.bottom), x, double(f.top)});
            }
    }
    for (int e = f.bottom; e <= f.top; ++e) {
        f.yLabels.push_back({decadeLabel(e), double(f.xl), double(e), -0.5, 0.0, HAlign::Right, VAlign::Centre});
        if (e < f.top)
            for (int k = 2; k <= 10; ++k) {
                const double y = std::log10(k * std::pow(10.0, e));
                f.horizontalGrid.push_back({double(f.xl), y, double(f.xr), y});
            }
    }
    f.xCaption = {spectrumXCaption(info), (f.xl + f.xr) / 2.0, double(f.bottom), 0.0, 2.0, HAlign::Centre,
                  VAlign::Top};
    f.yCaption = spectrumYCaption(info.modelCode);
    f.yCaptionGlyphs = utf8Chars(f.yCaption);
    std::reverse(f.yCaptionGlyphs.begin(), f.yCaptionGlyphs.end());
    f.yCaptionX = f.xl;
    f.yCaptionY = (f.bottom + f.top) / 2.0;
    return f;
}

SpectrumCurve spectrumCurve(const Spectrum& s, int slot, int bottom)
{
    SpectrumCurve c;
    c.slot = slot;
    c.channel = s.channel;
    const std::size_t n = std::min(s.density.size(), s.frequency.size());
    c.x.resize(n);
    c.y.resize(n);
    const float floor = static_cast<float>(bottom);
    for (std::size_t b = 0; b < n; ++b) {
        c.x[b] = Log10F(s.frequency[b]);
        c.y[b] = std::max(Log10F(s.density[b]), floor);
    }
    return c;
}

namespace {

using U128 = unsigned __int128;

constexpr std::uint64_t kPow10[16] = {1ull,           10ull,           100ull,           1000ull,
                                      10000ull,       100000ull,       1000000ull,       10000000ull,
                                      100000000ull,   1000000000ull,   10000000000ull,   100000000000ull,
                                      1000000000000ull, 10000000000000ull, 100000000000000ull, 1000000000000000ull};

// 5^0 .. 5^54 (5^54 < 2^126).
constexpr auto kPow5 = [] {
    std::array<U128, 55> p{};
    p[0] = 1;
    for (std::size_t i = 1; i < p.size(); ++i)
        p[i] = p[i - 1] * 5;
    return p;
}();

// 10^-30 .. 10^20 as doubles, for the decimal exponent's estimate.
constexpr int kPow10DoubleBias = 30;
constexpr auto kPow10Double = [] {
    std::array<double, 51> p{};
    p[kPow10DoubleBias] = 1.0;
    for (int i = kPow10DoubleBias + 1; i < 51; ++i)
        p[static_cast<std::size_t>(i)] = p[static_cast<std::size_t>(i - 1)] * 10.0;
    for (int i = kPow10DoubleBias - 1; i >= 0; --i)
        p[static_cast<std::size_t>(i)] = p[static_cast<std::size_t>(i + 1)] / 10.0;
    return p;
}();

std::size_t viaMask(float v, char* out)
{
    const std::string t = formatMask(v, "0.00000E+00");
    std::memcpy(out, t.data(), t.size());
    return t.size();
}

}  // namespace

namespace {

std::size_t exactSpectrumNumber(float v, char* out)
{
    // formatMask takes the value to 15 significant digits (rounded to
    // nearest, ties to even, on the exact binary value) and then rounds that
    // decimal half away from zero to the six digits of the mask.  Both steps
    // are done here on integers: v = m 2^e exactly, and for 1e-24 < v < 1e14
    // the scaled value m 5^k 2^(e + k) (k = 14 - decimal exponent, 0..39)
    // fits 128 bits and its 2^(e + k) is a division by a power of two.
    if (!(v > 1e-24f && v < 1e14f))
        return viaMask(v, out);
    std::uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    const int biased = static_cast<int>((bits >> 23) & 0xFF);
    std::uint32_t m = bits & 0x7FFFFF;
    int e;
    if (biased == 0) {
        e = -149;
    } else {
        m |= 0x800000;
        e = biased - 150;
    }
    const int log2v = e + 31 - __builtin_clz(m);
    // floor(log2v log10 2) is the decimal exponent or one below it.
    int exp10 = (log2v * 78913) >> 18;  // 78913 / 2^18 = log10 2 to 7 digits
    // One comparison settles it but for values within rounding of a power
    // of ten, which the loop below corrects.
    if (static_cast<double>(v) >= kPow10Double[static_cast<std::size_t>(exp10 + 1 + kPow10DoubleBias)])
        ++exp10;
    std::uint64_t q = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int k = 14 - exp10;
        if (k < 0 || k >= static_cast<int>(kPow5.size()))
            return viaMask(v, out);
        U128 num = kPow5[static_cast<std::size_t>(k)] * m;
        const int twos = e + k;
        U128 whole, rest = 0, half = 0;
        if (twos >= 0) {
            whole = num << twos;  // below 10^16: no bits lost
        } else {
            if (-twos >= 127)
                return viaMask(v, out);
            whole = num >> -twos;
            rest = num - (whole << -twos);
            half = U128(1) << (-twos - 1);
        }
        if (whole >= kPow10[15]) {
            ++exp10;
            continue;
        }
        if (whole < kPow10[14]) {
            --exp10;
            continue;
        }
        q = static_cast<std::uint64_t>(whole);
        if (rest > half || (rest == half && half != 0 && (q & 1)))
            ++q;
        break;
    }
    if (q == 0)
        return viaMask(v, out);
    if (q == kPow10[15]) {
        q = kPow10[14];
        ++exp10;
    }
    // Six digits, half away from zero on the 15-digit decimal.
    std::uint64_t d6 = q / kPow10[9];
    if (q % kPow10[9] >= 5 * kPow10[8])
        ++d6;
    if (d6 == kPow10[6]) {
        d6 = kPow10[5];
        ++exp10;
    }
    char* p = out;
    auto d = static_cast<std::uint32_t>(d6);
    p[0] = static_cast<char>('0' + d / 100000);
    p[1] = '.';
    for (int i = 6; i >= 2; --i) {
        p[i] = static_cast<char>('0' + d % 10);
        d /= 10;
    }
    p += 7;
    *p++ = 'E';
    *p++ = exp10 < 0 ? '-' : '+';
    const int a = exp10 < 0 ? -exp10 : exp10;
    *p++ = static_cast<char>('0' + a / 10);
    *p++ = static_cast<char>('0' + a % 10);
    return static_cast<std::size_t>(p - out);
}

// 10^-25 .. 10^30, each the double nearest to it.
constexpr double kScale[] = {1e-25, 1e-24, 1e-23, 1e-22, 1e-21, 1e-20, 1e-19, 1e-18, 1e-17, 1e-16, 1e-15, 1e-14, 1e-13, 1e-12, 1e-11, 1e-10, 1e-9, 1e-8, 1e-7, 1e-6, 1e-5, 1e-4, 1e-3, 1e-2, 1e-1, 1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22, 1e23, 1e24, 1e25, 1e26, 1e27, 1e28, 1e29, 1e30};
constexpr int kScaleBias = 25;

}  // namespace

std::size_t formatSpectrumNumber(float v, char* out)
{
    // The six digits are those of y = v 10^(5 - E) (E the decimal exponent):
    // floor(y), plus one when the fraction of y taken to the nine decimals
    // that the mask's fifteen-digit step keeps is 0.5 or more, that is, when
    // the fraction is at least 0.4999999995.  y in double precision is
    // within 3e-10 of the exact value, so the decision is taken on it unless
    // y lies within 1e-8 of a place where it changes; those values, and all
    // outside the range of a spectrum, take the exact integer path.
    if (!(v > 1e-24f && v < 1e14f))
        return exactSpectrumNumber(v, out);
    std::uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    const int log2v = static_cast<int>((bits >> 23) & 0xFF) - 127;  // normal numbers only above 1e-24
    const double x = v;
    int exp10 = (log2v * 78913) >> 18;
    if (x >= kScale[exp10 + 1 + kScaleBias])
        ++exp10;
    const double y = x * kScale[5 - exp10 + kScaleBias];
    if (!(y >= 100000.00000001 && y < 999999.99999999))
        return exactSpectrumNumber(v, out);
    const auto digits = static_cast<std::uint32_t>(y);  // y > 0: truncation is the floor
    const double frac = y - static_cast<double>(digits);  // exact
    if (frac < 1e-8 || frac > 1.0 - 1e-8 || std::fabs(frac - 0.4999999995) < 1e-8)
        return exactSpectrumNumber(v, out);
    std::uint32_t d = digits + (frac >= 0.4999999995 ? 1u : 0u);
    if (d == 1000000u) {
        d = 100000u;
        ++exp10;
    }
    char* p = out;
    p[0] = static_cast<char>('0' + d / 100000);
    p[1] = '.';
    for (int i = 6; i >= 2; --i) {
        p[i] = static_cast<char>('0' + d % 10);
        d /= 10;
    }
    p += 7;
    *p++ = 'E';
    *p++ = exp10 < 0 ? '-' : '+';
    const int a = exp10 < 0 ? -exp10 : exp10;
    *p++ = static_cast<char>('0' + a / 10);
    *p++ = static_cast<char>('0' + a % 10);
    return static_cast<std::size_t>(p - out);
}

std::vector<std::string> SpectrumText::lines() const
{
    std::vector<std::string> out;
    out.reserve(size());
    for (std::size_t i = 0; i < size(); ++i)
        out.emplace_back((*this)[i]);
    return out;
}

void SpectrumText::reserve(std::size_t lines, std::size_t bytes)
{
    // Geometric, so that slot after slot the buffer is copied a few times
    // at most.
    if (starts_.capacity() < lines)
        starts_.reserve(std::max(lines, 2 * starts_.capacity()));
    if (bytes_.capacity() < bytes)
        bytes_.reserve(std::max(bytes, 2 * bytes_.capacity()));
}

void SpectrumText::clear()
{
    bytes_.clear();
    starts_.clear();
}

void SpectrumText::addLine(std::string_view line)
{
    starts_.push_back(static_cast<std::uint32_t>(bytes_.size()));
    bytes_.append(line);
    bytes_.append("\r\n", 2);
}

void appendSpectrumText(SpectrumText& text, int slot, const Spectrum& s)
{
    text.addLine(std::to_string(slot + 1));
    const std::size_t n = std::min(s.density.size(), s.frequency.size());
    text.reserve(text.size() + n, text.bytes().size() + n * 25);
    // Every drawn slot has the same frequencies: their texts are made once
    // and reused while the frequencies are the same to the bit.
    thread_local std::vector<float> lastFrequency;
    thread_local std::vector<char> frequencyText;  // 16 bytes a bin: length, then the text
    if (lastFrequency.size() != n ||
        (n > 0 && std::memcmp(lastFrequency.data(), s.frequency.data(), n * sizeof(float)) != 0)) {
        lastFrequency.assign(s.frequency.begin(), s.frequency.begin() + static_cast<std::ptrdiff_t>(n));
        frequencyText.resize(n * 32);
        for (std::size_t b = 0; b < n; ++b) {
            char* slotText = frequencyText.data() + 32 * b;
            slotText[0] = static_cast<char>(formatSpectrumNumber(s.frequency[b], slotText + 1));
        }
    }
    for (std::size_t b = 0; b < n; ++b) {
        const char* f = frequencyText.data() + 32 * b;
        const std::size_t flen = static_cast<unsigned char>(f[0]);
        char line[64];
        std::memcpy(line, f + 1, flen);
        line[flen] = ',';
        const std::size_t dlen = formatSpectrumNumber(s.density[b], line + flen + 1);
        text.addLine(std::string_view(line, flen + 1 + dlen));
    }
}

void spectrumTextOf(const SpectrumGraph& g, SpectrumText& text)
{
    text.clear();
    const std::size_t n = std::min(g.curves.size(), g.spectra.size());
    for (std::size_t i = 0; i < n; ++i)
        appendSpectrumText(text, g.curves[i].slot, g.spectra[i]);
}

Status buildPowerSpectrumGraph(const SpectrumGraphInput& in, SpectrumGraph& out)
{
    out = SpectrumGraph{};
    for (const SpectrumSlotChoice& choice : in.drawnSlots) {
        if (choice.channel < 0 || static_cast<std::size_t>(choice.channel) >= in.channels.size()) {
            out = SpectrumGraph{};
            return Status::DataFormat;
        }
        Spectrum s;
        std::string note;
        const Status st = PowerSpectrumCompute(in.channels[static_cast<std::size_t>(choice.channel)], choice.channel,
                                               in.record, in.settings, s, &note);
        if (st != Status::Ok) {
            out = SpectrumGraph{};
            return st;
        }
        if (out.note.empty())
            out.note = note;
        if (!out.frame)
            out.frame = buildSpectrumFrame(s, in.record.dt, in.info);
        out.curves.push_back(spectrumCurve(s, choice.slot, out.frame->bottom));
        if (in.withText)
            appendSpectrumText(out.textLines, choice.slot, s);
        out.spectra.push_back(std::move(s));
    }
    return Status::Ok;
}

std::string spectrumTextName(const std::string& prefix)
{
    return prefix + "24g.txt";
}

std::string datedSpectrumTextName(const std::string& prefix, int machineNumber, int year, int month, int day,
                                  int hour, int minute)
{
    if (year >= 0 && year < 100)
        year += 2000;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%03d-%04d-%02d%02d-%02d%02dsg.txt", machineNumber % 1000, year % 10000,
                  month % 100, day % 100, hour % 100, minute % 100);
    return prefix + buf;
}

Status writeSpectrumText(const std::string& folder, const std::string& prefix, const SpectrumText& text,
                         const std::string& datedName)
{
    const std::string base = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    const Status st = replaceFileQuickly(base + spectrumTextName(prefix), text.bytes());
    if (st != Status::Ok || datedName.empty())
        return st;
    return writeFileBytesAtomic(base + datedName, text.bytes());
}

Status writeSpectrumText(const std::string& folder, const std::string& prefix, const std::vector<std::string>& lines,
                         const std::string& datedName)
{
    const std::string base = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    const Status st = writeTextLines(base + spectrumTextName(prefix), lines);
    if (st != Status::Ok || datedName.empty())
        return st;
    return writeTextLines(base + datedName, lines);
}

}  // namespace varenta
