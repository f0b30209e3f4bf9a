#pragma once
// Everything of the power-spectrum graph that is not drawing: which display
// slots are drawn, the spectra, the frame decided by the first drawn
// channel (decades, grid, labels, captions), the curves in graph
// coordinates (log10 frequency, log10 density), and the lines of the
// spectrum text file "{pp}24g.txt".  A painter maps the graph coordinates
// to its device; text offsets are given in digit widths and text heights.
#include "common/status.h"
#include "tolv/spectra/spectrum.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace varenta {

constexpr int kSpectrumSlots = 8;

// Graph modes: 0 the window (clears, saves "{pp}24g.bmp"/".jpg"), 2 the
// printer page.  Bit 1 selects the printer styles (items 171 and 173).
inline bool spectrumUsesPrinterStyles(int mode) { return (mode & 2) != 0; }
inline bool spectrumClearsPicture(int mode) { return (mode & 2) == 0; }
inline bool spectrumSavesImages(int mode) { return mode < 2; }

struct SpectrumSlotChoice {
    int slot = 0;     // display slot 0..7
    int channel = 0;  // index in the channel list
};

// The slots drawn: slot s whose channel channelOrder[s] exists, is active
// (bit 7 of its channel byte) and whose switch (item 170 + s value 0 = "1")
// is on, in slot order.
std::vector<SpectrumSlotChoice> selectSpectrumSlots(std::span<const int> channelOrder,
                                                    std::span<const std::uint8_t> channelFlags,
                                                    const std::array<bool, kSpectrumSlots>& slotSwitch);

// Texts and numbers of the frame that come from settings and the header.
struct SpectrumGraphInfo {
    int decades = 5;                 // item 97 value 7 (at least 1 is used)
    bool identifyInCaption = false;  // item 85 value 3 = "1"
    std::string captionSuffix;       // item 85 value 0
    int machineNumber = 0;
    long long measurementNumber = 0;
    std::string dateText;            // 8 characters, "yy/mm/dd"
    std::string timeText;            // 8 characters, "hh:mm:ss"
    int modelCode = 0;
};

struct GraphLine {
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

enum class HAlign { Left, Centre, Right };
enum class VAlign { Top, Centre, Bottom };

// A text placed at an anchor in graph coordinates, moved by dxDigits digit
// widths (positive to the right) and dyLines text heights (positive
// downwards), then aligned.
struct GraphLabel {
    std::string text;
    double x = 0, y = 0;
    double dxDigits = 0, dyLines = 0;
    HAlign halign = HAlign::Left;
    VAlign valign = VAlign::Top;
};

struct SpectrumFrame {
    int top = 0, bottom = 0;     // decades of density
    int xl = -3, xr = 0;         // decades of frequency
    // The drawing area in graph coordinates (room for the labels).
    double viewLeft = 0, viewRight = 0, viewBottom = 0, viewTop = 0;
    std::vector<GraphLine> verticalGrid;
    std::vector<GraphLine> horizontalGrid;
    std::vector<GraphLabel> xLabels;
    std::vector<GraphLabel> yLabels;
    GraphLabel xCaption;
    // The vertical caption reads upwards: one character per line in the
    // vertical form of the font, glyphs listed top to bottom (last character
    // first), the column anchored 7 digit widths left of the axis and
    // centred vertically.
    std::string yCaption;
    std::vector<std::string> yCaptionGlyphs;
    double yCaptionX = 0, yCaptionY = 0;
};

struct SpectrumCurve {
    int slot = 0;
    int channel = 0;
    std::vector<float> x;  // log10 frequency
    std::vector<float> y;  // log10 density, not below the bottom line
};

// The text of "{pp}24g.txt" as it goes to the file: the lines one after
// the other in one buffer, each ended by CR LF, and where each begins.
// The lines are plain ASCII, so the bytes need no code-page conversion.
class SpectrumText {
public:
    std::size_t size() const { return starts_.size(); }
    bool empty() const { return starts_.empty(); }
    // Line i without its CR LF.
    std::string_view operator[](std::size_t i) const
    {
        const std::size_t b = starts_[i];
        const std::size_t e = i + 1 < starts_.size() ? starts_[i + 1] : bytes_.size();
        return std::string_view(bytes_).substr(b, e - b - 2);
    }
    const std::string& bytes() const { return bytes_; }
    std::vector<std::string> lines() const;

    void reserve(std::size_t lines, std::size_t bytes);
    void addLine(std::string_view line);
    // Empties the text and keeps the buffers, for the next step's text.
    void clear();

private:
    std::string bytes_;
    std::vector<std::uint32_t> starts_;
};

struct SpectrumGraph {
    std::optional<SpectrumFrame> frame;  // none when no slot is drawn
    std::vector<SpectrumCurve> curves;
    std::vector<Spectrum> spectra;       // one per drawn slot
    SpectrumText textLines;              // content of "{pp}24g.txt"
    std::string note;                    // status text (conversion skipped)
};

// Decade label: 10^e in the pattern "#0.#####" without a trailing point
// (0.001, 0.01, 0.1, 1, 10; 10^-6 and below show as "0").
std::string decadeLabel(int e);

// The horizontal and vertical captions.
std::string spectrumXCaption(const SpectrumGraphInfo& info);
std::string spectrumYCaption(int modelCode);

// The frame for the first drawn spectrum.
SpectrumFrame buildSpectrumFrame(const Spectrum& first, float dt, const SpectrumGraphInfo& info);

// A curve in graph coordinates; densities below 10^bottom lie on the bottom.
SpectrumCurve spectrumCurve(const Spectrum& s, int slot, int bottom);

// Lines of the spectrum text for one drawn slot: the slot number s + 1, then
// "frequency,density" per bin, both "0.00000E+00".
void appendSpectrumText(SpectrumText& text, int slot, const Spectrum& s);
// The whole text of a graph: its drawn slots in their order.
void spectrumTextOf(const SpectrumGraph& g, SpectrumText& text);

// Writes v in the mask "0.00000E+00" to out (at least 16 bytes) and returns
// the length: exactly the text of formatMask(v, "0.00000E+00"), made by
// integer arithmetic for the magnitudes of a spectrum and by formatMask
// itself for the rest (negative, zero, tiny, huge or not finite values).
std::size_t formatSpectrumNumber(float v, char* out);

// Samples per channel index, for the slots' channels.
struct SpectrumGraphInput {
    std::vector<std::span<const float>> channels;
    SpectrumRecord record;
    SpectrumSettings settings;
    std::vector<SpectrumSlotChoice> drawnSlots;  // not "slots": a keyword of the window toolkit
    SpectrumGraphInfo info;
    bool withText = true;  // false: textLines stays empty (the text is made elsewhere)
};

// Computes every drawn slot's spectrum, the frame of the first one, the
// curves and the text lines.  DataFormat when a spectrum cannot be formed
// (the graph is then empty: nothing partial).
Status buildPowerSpectrumGraph(const SpectrumGraphInput& in, SpectrumGraph& out);

// File names in the program folder.
std::string spectrumTextName(const std::string& prefix);  // "{pp}24g.txt"
// The dated copy kept with start flag 0x800, e.g. "NR012-2026-1206-1030sg.txt";
// a two-digit year is taken as 20yy.
std::string datedSpectrumTextName(const std::string& prefix, int machineNumber, int year, int month, int day,
                                  int hour, int minute);

// Writes "{pp}24g.txt" into folder (and the dated copy when datedName is
// not empty), replacing existing files.  "{pp}24g.txt", rewritten at every
// step, is replaced without waiting for the disk; the dated copy is kept
// with a full flush.
Status writeSpectrumText(const std::string& folder, const std::string& prefix, const SpectrumText& text,
                         const std::string& datedName = {});
Status writeSpectrumText(const std::string& folder, const std::string& prefix, const std::vector<std::string>& lines,
                         const std::string& datedName = {});

}  // namespace varenta
