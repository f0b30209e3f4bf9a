#include "common/resultitems.h"

#include "common/textfile.h"

#include <cstdio>

namespace varenta {

namespace {

const std::string kEmpty;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::string leftTrimmed(const std::string& s)
{
    std::size_t b = 0;
    while (b < s.size() && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    return s.substr(b);
}

// Integer of a fixed character range (1-based first, count characters).
int fieldInt(const std::string& s, std::size_t first, std::size_t count)
{
    if (first == 0 || first > s.size())
        return 0;
    return static_cast<int>(textToInt(s.substr(first - 1, count)));
}

}  // namespace

Status ResultItemTable::parse(const std::vector<std::string>& lines)
{
    if (lines.empty())
        return Status::DataFormat;
    const std::string first = lines[0];
    if (first.size() < 2 || trimBlanks(first.substr(1, 3)).empty())
        return Status::DataFormat;
    // Three characters hold at most 999 (an exponent such as "9e9" reads
    // larger: such a file is damaged, not a table of billions of items).
    const int n = fieldInt(first, 2, 3);
    if (n <= 0 || n > 999)
        return Status::DataFormat;
    std::vector<std::array<std::string, 8>> rows(static_cast<std::size_t>(n) + 1);
    std::vector<bool> defined(static_cast<std::size_t>(n) + 1, false);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string line = leftTrimmed(lines[i]);
        if (line.empty() || !isDigit(line[0]))
            continue;
        const int code = fieldInt(line, 4, 3);
        if (code >= 0 && code <= n) {
            auto& row = rows[static_cast<std::size_t>(code)];
            row = {};
            defined[static_cast<std::size_t>(code)] = true;
            if (line.size() >= 8) {
                const std::string rest = line.substr(7);
                std::size_t pos = 0;
                for (int k = 0; k < 8; ++k) {
                    const std::size_t comma = rest.find(',', pos);
                    row[static_cast<std::size_t>(k)] = rest.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
                    if (comma == std::string::npos)
                        break;
                    pos = comma + 1;
                }
            }
        }
        if (code >= n)
            break;
    }
    count_ = n;
    rows_ = std::move(rows);
    defined_ = std::move(defined);
    return Status::Ok;
}

Status ResultItemTable::load(const std::string& path)
{
    std::vector<std::string> lines;
    const Status st = readTextLines(path, lines);
    if (st != Status::Ok)
        return st;
    return parse(lines);
}

bool ResultItemTable::defined(int code) const
{
    return code >= 0 && code < static_cast<int>(defined_.size()) && defined_[static_cast<std::size_t>(code)];
}

const std::string& ResultItemTable::value(int code, int k) const
{
    if (code < 0 || code >= static_cast<int>(rows_.size()) || k < 0 || k > 7)
        return kEmpty;
    return rows_[static_cast<std::size_t>(code)][static_cast<std::size_t>(k)];
}

int ResultItemTable::columnWidth(int code) const { return static_cast<int>(leftTrimmed(value(code, 0)).size()); }

std::vector<int> threeDigitCodes(const std::string& text, int maxEntries)
{
    std::vector<int> out;
    for (std::size_t pos = 0; pos + 3 <= text.size(); pos += 3) {
        if (maxEntries >= 0 && static_cast<int>(out.size()) >= maxEntries)
            break;
        const std::string entry = text.substr(pos, 3);
        if (trimBlanks(entry).empty())
            break;
        out.push_back(static_cast<int>(textToInt(entry)));
    }
    return out;
}

std::string threeDigitText(const std::vector<int>& codes)
{
    std::string out;
    char buf[8];
    for (int c : codes) {
        std::snprintf(buf, sizeof buf, "%03d", c < 0 ? 0 : c % 1000);
        out += buf;
    }
    return out;
}

int ResultSelection::positionOf(int code) const
{
    if (code < 0 || code >= static_cast<int>(codePosition.size()))
        return -1;
    return codePosition[static_cast<std::size_t>(code)];
}

int ResultSelection::codeAt(int position) const
{
    if (position < 0 || position >= static_cast<int>(positionCode.size()))
        return -1;
    return positionCode[static_cast<std::size_t>(position)];
}

int activeSelectionItem(const Settings& s, bool altSelectionFlag, bool windSet, int optionFlagsHigh)
{
    int base = 165;
    if (s.trimmed(96, 0) == "1")
        base = 165 + ((optionFlagsHigh >> 6) & 1);
    else if (windSet || altSelectionFlag)
        base = 166;
    return base + static_cast<int>(s.integer(86, 1) & 0x0E);
}

ResultSelection buildResultSelection(const Settings& s, int item)
{
    ResultSelection sel;
    sel.item = item;
    sel.columnCodes = threeDigitCodes(s.value(item, 0));
    sel.positionCode = threeDigitCodes(s.value(item, 1), kSelectionEntries);
    sel.codePosition.assign(1000, -1);
    for (int p = 0; p < static_cast<int>(sel.positionCode.size()) && p < kRecordPositions; ++p) {
        const int code = sel.positionCode[static_cast<std::size_t>(p)];
        if (code >= 0 && code < 1000 && sel.codePosition[static_cast<std::size_t>(code)] < 0)
            sel.codePosition[static_cast<std::size_t>(code)] = p;
    }
    sel.numberPosition = sel.positionOf(kRunningNumberCode);
    sel.statusPosition = sel.positionOf(kRecordStatusCode);
    sel.directionCodes = threeDigitCodes(s.value(78, 5));
    return sel;
}

int alternateResultCode(int code, bool windOn)
{
    if (windOn) {
        if (code == 105)
            return 107;
        if (code == 106)
            return 108;
        if (code >= 8 && code <= 21 && code != 20)
            return code + 40;
    } else {
        if (code == 107)
            return 105;
        if (code == 108)
            return 106;
        if (code >= 48 && code <= 61 && code != 60)
            return code - 40;
    }
    return code;
}

namespace {
std::string mapCodeText(const std::string& text, bool windOn)
{
    std::vector<int> codes = threeDigitCodes(text);
    if (codes.empty())
        return text;
    for (int& c : codes)
        c = alternateResultCode(c, windOn);
    // Whatever followed the last whole entry is kept as it stood.
    return threeDigitText(codes) + text.substr(codes.size() * 3);
}
}  // namespace

void applyAlternateItemSet(Settings& s, int activeItem, bool windOn)
{
    s.set(activeItem, 0, mapCodeText(s.value(activeItem, 0), windOn));
    s.set(activeItem, 2, mapCodeText(s.value(activeItem, 2), windOn));
    for (int it = 70; it <= 77; ++it) {
        if (s.isBlank(it, 0))
            continue;
        s.set(it, 0, threeDigitText({alternateResultCode(static_cast<int>(s.integer(it, 0)), windOn)}));
    }
    std::uint32_t w = s.hex(95, 4);
    w = windOn ? (w | 0x20u) : (w & ~0x20u);
    s.setHex(95, 4, w);
}

}  // namespace varenta
