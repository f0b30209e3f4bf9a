#include "tolv/spectra/direstimator.h"

#include "common/progfolder.h"

#include "common/format.h"
#include "common/numeric.h"
#include "common/sector.h"
#include "common/textfile.h"
#include "tolv/spectra/conditioning.h"

#include <algorithm>
#include <cmath>
#include <fstream>

namespace varenta {

namespace {

constexpr std::size_t kMaxTemplateLines = 12;
constexpr std::size_t kMinTemplateLines = 9;
constexpr std::size_t kListPlaces = 30;
constexpr std::size_t kSector = 512;

std::string intText(long long v) { return formatMask(static_cast<double>(v), "####0"); }

int kindCode(std::uint8_t b) { return b & 0x3F; }

// Template lines as the code page's bytes (columns count bytes, as the
// estimators read them); a final line end does not make an empty line.
Status readTemplate(const std::string& path, std::vector<std::string>& lines)
{
    std::string bytes;
    const Status st = readFileBytes(path, bytes);
    if (st != Status::Ok)
        return st;
    lines.clear();
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find('\n', pos);
        std::string line = bytes.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        if (end == std::string::npos)
            break;
        pos = end + 1;
    }
    return Status::Ok;
}

std::string joinLines(const std::vector<std::string>& lines)
{
    std::string out;
    for (const std::string& l : lines)
        out += l + "\r\n";
    return out;
}

// The code of one place of the bayes2 sensor line.
const char* bayesSensorCode(int kind)
{
    switch (kind) {
    case 1: return " 10";
    case 2: return "  6";
    case 3: return "  7";
    case 4: return "  1";
    default: return kind >= 48 && kind <= 51 ? " 11" : "  0";
    }
}

}  // namespace

bool putField(std::string& line, int first, int width, const std::string& text)
{
    if (first < 1 || width < 1 || line.size() < static_cast<std::size_t>(first + width - 1))
        return false;
    const std::string padded = std::string(10, ' ') + text;
    const std::string field = padded.size() >= static_cast<std::size_t>(width)
                                  ? padded.substr(padded.size() - static_cast<std::size_t>(width))
                                  : std::string(static_cast<std::size_t>(width) - padded.size(), ' ') + padded;
    line.replace(static_cast<std::size_t>(first - 1), static_cast<std::size_t>(width), field);
    return true;
}

int arraySensorCount(const std::array<std::uint8_t, 9>& slots)
{
    int k = 0;
    for (std::uint8_t b : slots)
        if ((b & 0xB7) > 175)
            ++k;
    return k;
}

std::vector<int> bayesChannelList(const EstimatorInput& in)
{
    const int k = arraySensorCount(in.slotBytes);
    std::vector<int> list;
    int group = 1, member = 0;
    std::size_t l = 0;
    const auto append = [&list](int c) {
        if (list.size() < kListPlaces)
            list.push_back(c);
    };
    for (int c = 0; c < in.channelCount(); ++c) {
        const int a = in.kindBytes[static_cast<std::size_t>(c)] & 0xBF;
        if (a > 128 && a <= 132 && ((a & 0x3F) != 4 || in.ultrasonic()))
            append(c + 1);
        if (l < in.groups.size() && textToInt(in.groups[l]) == group && a >= 176 && a <= 179) {
            append(c + 1);
            if (a == 179)
                ++l;
        }
        if (a > 175 && ++member == k) {
            ++group;
            member = 0;
        }
    }
    return list;
}

Status buildBayesParameters(const EstimatorInput& in, const std::vector<std::string>& t, std::vector<std::string>& out)
{
    if (t.size() < kMinTemplateLines || t.size() > kMaxTemplateLines)
        return Status::DataFormat;
    const std::vector<int> list = bayesChannelList(in);
    std::vector<std::string> lines{t[0], t[1]};

    std::string places = rightAlign(intText(static_cast<long long>(list.size())), 5);
    std::string sensors;
    for (std::size_t i = 0; i < kListPlaces; ++i) {
        const int c = i < list.size() ? list[i] : 0;
        places += rightAlign(formatMask(c, "##0"), 3);
        sensors += c > 0 ? bayesSensorCode(kindCode(in.kindBytes[static_cast<std::size_t>(c - 1)])) : "  0";
    }
    lines.push_back(places);

    for (int c : list) {
        const int kind = kindCode(in.kindBytes[static_cast<std::size_t>(c - 1)]);
        if (kind == 2 || kind == 3) {
            std::string l = t[4];
            if (!putField(l, 1, 10, "0.0") || !putField(l, 11, 10, "1.0") || !putField(l, 21, 10, "90.0") ||
                !putField(l, 31, 10, kind == 2 ? "0.0" : "90.0"))
                return Status::DataFormat;
            lines.push_back(std::move(l));
        } else {
            lines.push_back(t[3]);
        }
    }

    std::string t6 = t[5];
    if (!putField(t6, 13, 3, intText(in.machineNumber)) || !putField(t6, 41, 5, formatMask(in.dt, "###0.0")) ||
        !putField(t6, 46, 5, formatMask(in.depth, "###0.0")) ||
        !putField(t6, 51, 5, formatMask(in.gaugeHeight, "###0.0")))
        return Status::DataFormat;
    lines.push_back(std::move(t6));
    lines.insert(lines.end(), {t[6], t[7], t[8]});
    lines.push_back(sensors);
    // Lines after the sensor line's place in the template go on unchanged.
    for (std::size_t i = 10; i < t.size(); ++i)
        lines.push_back(t[i]);
    out = std::move(lines);
    return Status::Ok;
}

Status buildEmepParameters(const EstimatorInput& in, const std::vector<std::string>& t, std::vector<std::string>& out)
{
    if (t.size() < kMinTemplateLines || t.size() > kMaxTemplateLines)
        return Status::DataFormat;
    const int c = in.channelCount();
    const int j = in.ultrasonic() ? c : 3;
    std::vector<std::string> lines;
    lines.push_back(rightAlign(intText(j), 5));
    std::string numbers;
    for (int i = 1; i <= j; ++i)
        numbers += rightAlign(intText(i), 5);
    lines.push_back(numbers);

    std::string t3 = t[2];
    if (!putField(t3, 13, 3, intText(in.machineNumber)) || !putField(t3, 16, 5, intText(j)) ||
        !putField(t3, 21, 5, intText(in.samples)) || !putField(t3, 51, 5, formatMask(in.dt, "###0.0")) ||
        !putField(t3, 56, 10, formatMask(in.depth, "###0.00")))
        return Status::DataFormat;
    lines.push_back(std::move(t3));
    lines.push_back(t[3]);

    const double gauge = -(in.depth - in.gaugeHeight);
    std::string t5 = t[4];
    if (!putField(t5, 26, 10, formatMask(gauge, "###0.00")))
        return Status::DataFormat;
    if ((c < 4 || !in.ultrasonic()) && !putField(t5, 56, 5, "1"))
        return Status::DataFormat;
    lines.push_back(std::move(t5));
    for (std::size_t i : {5u, 6u}) {
        std::string l = t[i];
        if (!putField(l, 26, 10, formatMask(gauge + 0.1, "###0.00")))
            return Status::DataFormat;
        lines.push_back(std::move(l));
    }
    if (in.ultrasonic() && c > 3)
        lines.push_back(t[7]);
    lines.push_back(t[8]);
    for (std::size_t i = 9; i < t.size(); ++i)
        lines.push_back(t[i]);
    out = std::move(lines);
    return Status::Ok;
}

std::vector<std::string> estimatorArguments(const EstimatorInput& in)
{
    const int year = in.year < 100 ? 2000 + in.year : in.year;
    const std::uint64_t start = in.transform ? 1 : in.startOffset + 1;
    return {intText(year),
            intText(in.month),
            intText(in.day),
            intText(in.hour),
            intText(in.minute),
            intText(in.samples),
            intText(in.channelCount()),
            std::to_string(start),
            std::to_string(in.options),
            in.transform ? in.programFolder + "/" + kDirSpecTmp : in.masterPath};
}

std::string estimatorProgram(const EstimatorInput& in)
{
    // The program folder's own copy first, else the installed one.
    return helperProgram(in.programFolder, in.bayes ? "bayes2" : "emep2");
}

double rotationRadians(double setting, int meanBearing)
{
    double t = setting;
    if (!(t < 360))
        t = meanBearing;
    if (!(t < 360))
        t = 0;
    return t * 6.283185 / 360;
}

void rotatePair(std::int16_t& x, std::int16_t& y, double t, std::uint8_t measureCondition)
{
    if (x == kMissingSample || y == kMissingSample)
        return;
    const double c = std::cos(t), s = std::sin(t);
    const double xv = x, yv = y;
    double xr, yr;
    // The estimators read the rotated pair in this sign pattern (X towards
    // west, Y towards south of the turned axes), whatever signs the counts
    // were recorded with; they undo it themselves.
    if (measureCondition & kConditionKeepXSign) {
        xr = xv * c - yv * s;
        yr = -xv * s - yv * c;
    } else {
        xr = -xv * c - yv * s;
        yr = xv * s - yv * c;
    }
    x = saturateCount(xr);
    y = saturateCount(yr);
}

Status writeRotatedMeasurement(const EstimatorInput& in, double rotationSetting, int meanBearing,
                               std::uint8_t measureCondition)
{
    const std::size_t sectors = static_cast<std::size_t>(std::max(in.sectors, 1));
    std::string bytes(sectors * kSector, '\0');
    {
        std::ifstream f(in.masterPath, std::ios::binary);
        if (!f)
            return Status::NotFound;
        f.seekg(static_cast<std::streamoff>(in.startOffset));
        f.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (static_cast<std::size_t>(f.gcount()) != bytes.size())
            return Status::NotFound;
    }
    const int c = in.channelCount();
    int xc = -1;
    for (int i = 0; i < c; ++i)
        if (kindCode(in.kindBytes[static_cast<std::size_t>(i)]) == 2) {
            xc = i;
            break;
        }
    if (xc >= 0 && xc + 1 < c && in.samples > 0) {
        // Byte offsets of the sample words, in recording order.
        std::vector<std::size_t> words;
        const std::size_t wanted = static_cast<std::size_t>(in.samples) * static_cast<std::size_t>(c);
        words.reserve(wanted);
        for (std::size_t s = 0; s < sectors && words.size() < wanted; ++s)
            for (std::size_t w = s == 0 ? 128 : 4; w < 256 && words.size() < wanted; ++w)
                words.push_back(s * kSector + 2 * w);
        // Only counts on the sensor's own axes (bit 5) are turned by the
        // compass: a logger that recorded magnetic east and north has turned
        // them already, and a second turn would count its heading twice.  The
        // sign pattern applies either way.
        const double t = (measureCondition & kConditionCurrentSigns) ? rotationRadians(rotationSetting, meanBearing) : 0.0;
        auto* p = reinterpret_cast<std::uint8_t*>(bytes.data());
        const auto get = [p](std::size_t o) { return static_cast<std::int16_t>(p[o] | (p[o + 1] << 8)); };
        const auto put = [p](std::size_t o, std::int16_t v) {
            p[o] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(v) & 0xFF);
            p[o + 1] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(v) >> 8);
        };
        for (std::size_t row = 0; (row + 1) * static_cast<std::size_t>(c) <= words.size(); ++row) {
            const std::size_t ox = words[row * static_cast<std::size_t>(c) + static_cast<std::size_t>(xc)];
            const std::size_t oy = words[row * static_cast<std::size_t>(c) + static_cast<std::size_t>(xc) + 1];
            std::int16_t x = get(ox), y = get(oy);
            rotatePair(x, y, t, measureCondition);
            put(ox, x);
            put(oy, y);
        }
        for (std::size_t s = 0; s < sectors; ++s)
            fixSectorChecksum(p + s * kSector);
    }
    return writeFileBytesAtomic(in.programFolder + "/" + kDirSpecTmp, bytes);
}

void runDirectionalEstimator(const EstimatorInput& in, ProcessRunner& runner, const Progress& progress,
                             const std::function<void(const std::string&)>& status)
{
    const std::string name = in.bayes ? "bayes2" : "emep2";
    std::vector<std::string> tmpl, lines;
    Status st = readTemplate(in.programFolder + "/" + name + ".org", tmpl);
    if (st == Status::Ok)
        st = in.bayes ? buildBayesParameters(in, tmpl, lines) : buildEmepParameters(in, tmpl, lines);
    if (st == Status::Ok)
        st = writeFileBytesAtomic(in.programFolder + "/" + name + ".ini", joinLines(lines));
    if (st != Status::Ok) {
        status(dirtext::kNotPrepared);
        return;
    }
    ProcessRequest req;
    req.program = estimatorProgram(in);
    req.arguments = estimatorArguments(in);
    req.windowStyle = in.windowStyle;
    req.workingFolder = in.programFolder;
    if (!runner.start(req)) {
        status(dirtext::kCannot);
        return;
    }
    status(dirtext::kComputing);
    progress.keepGoing();
    runner.waitFinished(std::max(in.waitTenths, 0) * 100, progress);
    runner.terminate();
    status(dirtext::kEnded);
}

EstimatorInput estimatorInputFrom(const DataSet& d, const Settings& s, const RuntimeState& state,
                                  const StartOptions& start, const std::string& programFolder, bool transform,
                                  double channel0Mean)
{
    const MeasurementHeader& h = d.header;
    EstimatorInput in;
    in.bayes = start.has(dirflag::kBayes);
    in.measurement = d.currentNumber;
    in.startOffset = d.headerOffset > 0 ? static_cast<std::uint64_t>(d.headerOffset) : 0;
    in.sectors = h.sectorsPerMeasurement;
    in.samples = h.samplesPerChannel;
    in.dt = h.sampleInterval();
    in.machineNumber = h.machineNumber;
    in.year = h.year;
    in.month = h.month;
    in.day = h.day;
    in.hour = h.hour;
    in.minute = h.minute;
    for (std::size_t i = 0; i < in.slotBytes.size() && i < h.channelSlots.size(); ++i) {
        in.slotBytes[i] = static_cast<std::uint8_t>(h.channelSlots[i]);
        if (h.channelSlots[i] & 0x80)
            in.kindBytes.push_back(static_cast<std::uint8_t>(h.channelSlots[i]));
    }
    in.gaugeHeight = std::max(s.real(67, 0), 0.0001);
    const double divisor = s.real(99, 4);
    in.depth = (divisor > 0 ? channel0Mean * 0.01 / divisor : 0.0) + in.gaugeHeight;
    in.options = state.switchWord2;
    for (int k = 0; k < 8; ++k)
        in.groups[static_cast<std::size_t>(k)] = s.value(69, k);
    in.transform = transform;
    in.windowStyle = static_cast<int>(s.integer(96, 3));
    in.waitTenths = static_cast<int>(s.integer(69, 6));
    in.masterPath = d.measurementPath;
    in.programFolder = programFolder;
    return in;
}

}  // namespace varenta
