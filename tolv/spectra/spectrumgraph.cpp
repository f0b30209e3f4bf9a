#include "tolv/spectra/spectrumgraph.h"

#include "common/format.h"
#include "common/textfile.h"
#include "tolv/spectra/fft.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

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

void appendSpectrumText(std::vector<std::string>& lines, int slot, const Spectrum& s)
{
    lines.push_back(std::to_string(slot + 1));
    const std::size_t n = std::min(s.density.size(), s.frequency.size());
    for (std::size_t b = 0; b < n; ++b)
        lines.push_back(formatMask(s.frequency[b], "0.00000E+00") + "," + formatMask(s.density[b], "0.00000E+00"));
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
