#include "common/textconvert.h"

#include "common/masterreader.h"
#include "common/settings.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace varenta {

namespace fs = std::filesystem;

namespace {

std::string lowerExtension(const std::string& path)
{
    std::string ext = fs::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

// Base name without extension and without its last character.
std::string baseWithoutLast(const std::string& masterPath)
{
    std::string stem = fs::path(masterPath).stem().string();
    if (!stem.empty())
        stem.pop_back();
    return stem;
}

std::string digits(long long v, int width)
{
    std::string s = std::to_string(v < 0 ? -v : v);
    if (static_cast<int>(s.size()) < width)
        s.insert(0, static_cast<std::size_t>(width) - s.size(), '0');
    return v < 0 ? "-" + s : s;
}

std::string joinFields(std::initializer_list<long long> values)
{
    std::string line;
    for (long long v : values) {
        if (!line.empty())
            line += ',';
        line += textField(v);
    }
    return line;
}

// One output file, written under a temporary name beside its target and
// renamed over it when complete.
class TextFileWriter {
public:
    ~TextFileWriter() { abandon(); }
    bool open(const std::string& target)
    {
        abandon();
        target_ = target;
        temp_ = target + ".~" + std::to_string(::getpid());
        f_ = std::fopen(temp_.c_str(), "wb");
        return f_ != nullptr;
    }
    bool isOpen() const { return f_ != nullptr; }
    bool write(const std::string& bytes)
    {
        return f_ && std::fwrite(bytes.data(), 1, bytes.size(), f_) == bytes.size();
    }
    bool commit()
    {
        if (!f_)
            return true;
        const bool ok = std::fclose(f_) == 0;
        f_ = nullptr;
        if (ok && std::rename(temp_.c_str(), target_.c_str()) == 0)
            return true;
        std::remove(temp_.c_str());
        return false;
    }
    void abandon()
    {
        if (!f_)
            return;
        std::fclose(f_);
        f_ = nullptr;
        std::remove(temp_.c_str());
    }
    const std::string& target() const { return target_; }

private:
    std::FILE* f_ = nullptr;
    std::string target_, temp_;
};

}  // namespace

bool isTextConvertible(const std::string& masterPath) { return lowerExtension(masterPath) == ".h10"; }

InputRequest textRangeRequest(const std::string& masterPath)
{
    InputRequest r;
    r.caption = texttext::kTitle;
    r.message = fs::path(masterPath).filename().string() + texttext::kMessage1 + "\r\n" + texttext::kMessage2 + "\r\n" +
                texttext::kMessage3;
    r.style = InputRequest::ShowInput | InputRequest::ShowCheck;
    r.preset = texttext::kPreset;
    r.checkCaption = texttext::kOldType;
    return r;
}

std::optional<TextRange> parseTextRange(const InputResult& answer)
{
    if (answer.cancelled())
        return std::nullopt;
    const std::string& a = answer.answer;
    TextRange r;
    r.start = std::max(1LL, textToInt(a.substr(0, 5)));
    r.end = textToInt(a.size() > 5 ? a.substr(a.size() - 5) : a);
    r.oldType = answer.check == "1";
    if (r.end <= 0)
        return std::nullopt;
    return r;
}

std::string textField(long long value)
{
    std::string s = value < 0 ? std::to_string(value) : " " + std::to_string(value);
    if (s.size() < 6)
        s.insert(0, 6 - s.size(), ' ');
    return s;
}

std::vector<std::string> textHeaderLines(const MeasurementHeader& h)
{
    const long long voltage = h.measureVoltage > 1 ? h.measureVoltage : h.cpuVoltage;
    return {
        joinFields({static_cast<long long>(h.nibbleMap), 0, 0, h.meanBearing, h.meanWaterTemperature,
                    h.machineNumber}),
        joinFields({h.year, voltage, h.channelCount, h.measurementNumber, h.durationMinutes, h.intervalMinutes}),
        joinFields({h.measureCondition, static_cast<long long>(h.channelMask), h.minute, h.hour, h.day, h.month}),
    };
}

void appendMeasurementText(const MeasurementHeader& h, const std::vector<std::int16_t>& interleaved, std::string& out)
{
    for (const std::string& line : textHeaderLines(h)) {
        out += line;
        out += "\r\n";
    }
    const std::size_t channels = static_cast<std::size_t>(std::max(0, h.channelCount));
    if (channels == 0)
        return;
    const std::size_t rows = interleaved.size() / channels;
    out.reserve(out.size() + rows * (channels * 7 + 1));
    for (std::size_t i = 0; i < rows; ++i) {
        for (std::size_t c = 0; c < channels; ++c) {
            if (c)
                out += ',';
            out += textField(interleaved[i * channels + c]);
        }
        out += "\r\n";
    }
}

std::string textFolderFor(const std::string& masterPath, const MeasurementHeader& h)
{
    const fs::path folder = fs::path(masterPath).parent_path();
    const std::string name =
        baseWithoutLast(masterPath) + std::to_string(2000 + h.year) + digits(h.month, 2) + digits(h.day, 2);
    return (folder / name).string();
}

std::string textFileFor(const std::string& masterPath, const MeasurementHeader& h)
{
    const std::string name = baseWithoutLast(masterPath) + digits(h.measurementNumber, 5) + "a.h10";
    return (fs::path(textFolderFor(masterPath, h)) / name).string();
}

TextConversionResult convertToText(const std::string& masterPath, const TextRange& range,
                                   const TextConversionOptions& opt)
{
    TextConversionResult res;
    MasterReader reader;
    res.status = reader.open(masterPath, opt.sectorsPerMeasurement, opt.decode);
    if (res.status != Status::Ok)
        return res;
    const long long last = reader.lastNumber();
    const long long first = std::max(1LL, range.start);
    const long long end = range.oldType ? last : std::min(range.end, last);
    const long long perFile = range.oldType ? range.end : 1;

    TextFileWriter out;
    long long openGroup = -1;
    auto finish = [&]() {
        if (!out.isOpen())
            return true;
        if (!out.commit())
            return false;
        res.files.push_back(out.target());
        return true;
    };

    MeasurementHeader h;
    std::vector<std::int16_t> samples;
    std::string text;
    for (long long m = first; m <= end; ++m) {
        const long long group = (m - first) / perFile;
        if (out.isOpen() && group != openGroup && !finish()) {
            res.status = Status::Io;
            return res;
        }
        const Status st = reader.read(m, h, samples);
        if (st == Status::Io) {
            res.status = Status::Io;
            return res;
        }
        if (st != Status::Ok) {
            ++res.skipped;
        } else {
            if (!out.isOpen()) {
                std::error_code ec;
                fs::create_directory(textFolderFor(masterPath, h), ec);
                if (!out.open(textFileFor(masterPath, h))) {
                    res.status = Status::Io;
                    return res;
                }
                openGroup = group;
            }
            text.clear();
            appendMeasurementText(h, samples, text);
            if (!out.write(text)) {
                out.abandon();
                res.status = Status::Io;
                return res;
            }
            ++res.measurementsWritten;
        }
        res.lastNumber = m;
        if (opt.step && !opt.step(m)) {
            res.status = Status::Cancelled;
            break;
        }
    }
    if (!finish() && res.status == Status::Ok)
        res.status = Status::Io;
    return res;
}

TextConversionResult ConvertToText(const std::string& masterPath, const TextCommandHooks& hooks,
                                   const TextConversionOptions& opt)
{
    TextConversionResult res;
    res.status = Status::Cancelled;
    if (!isTextConvertible(masterPath) || !hooks.prompter)
        return res;
    const std::optional<TextRange> range = parseTextRange(hooks.prompter->input(textRangeRequest(masterPath)));
    if (!range)
        return res;

    auto withNumber = [&](const char* text, long long m) {
        return hooks.numberInTexts ? std::string(text) + texttext::kNumber + std::to_string(m) : std::string(text);
    };
    if (hooks.busy)
        hooks.busy(true, withNumber(texttext::kBusy, range->start));
    TextConversionOptions run = opt;
    run.step = [&](long long m) {
        if (hooks.number)
            hooks.number(m);
        if (hooks.numberInTexts && hooks.status)
            hooks.status(withNumber(texttext::kBusy, m));
        if (opt.step && !opt.step(m))
            return false;
        return hooks.poll ? hooks.poll() : true;
    };
    res = convertToText(masterPath, *range, run);
    const bool failed = res.status != Status::Ok && res.status != Status::Cancelled;
    const std::string done = failed ? std::string(texttext::kFailed) : withNumber(texttext::kDone, res.lastNumber);
    if (hooks.busy)
        hooks.busy(false, done);
    if (hooks.status)
        hooks.status(done);
    return res;
}

}  // namespace varenta
