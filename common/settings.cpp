#include "common/settings.h"

#include "common/numeric.h"
#include "common/textfile.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace varenta {

namespace {

bool isBlankChar(char c) { return c == ' ' || c == '\t'; }

// Bytes taken by the UTF-8 character that starts with `lead` (1 for a stray
// continuation byte or an invalid lead, so that a damaged line still advances).
std::size_t utf8Length(unsigned char lead)
{
    if (lead >= 0xC0 && lead < 0xE0)
        return 2;
    if (lead >= 0xE0 && lead < 0xF0)
        return 3;
    if (lead >= 0xF0 && lead < 0xF8)
        return 4;
    return 1;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

const std::string kEmpty;

}  // namespace

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string trimBlanks(std::string_view s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && isBlankChar(s[b]))
        ++b;
    while (e > b && isBlankChar(s[e - 1]))
        --e;
    return std::string(s.substr(b, e - b));
}

std::uint32_t textToHex(std::string_view s)
{
    std::string t = trimBlanks(s);
    std::size_t i = 0;
    if (t.size() >= 2 && t[0] == '&' && (t[1] == 'H' || t[1] == 'h'))
        i = 2;
    else if (t.size() >= 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X'))
        i = 2;
    std::uint32_t v = 0;
    for (; i < t.size(); ++i) {
        const int d = hexDigit(t[i]);
        if (d < 0)
            break;
        v = (v << 4) | static_cast<std::uint32_t>(d);
    }
    return v;
}

double textToReal(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size() && isBlankChar(s[i]))
        ++i;
    if (i + 1 < s.size() && s[i] == '&' && (s[i + 1] == 'H' || s[i + 1] == 'h'))
        return static_cast<double>(textToHex(s.substr(i)));
    std::string num;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        num += s[i++];
    bool digits = false;
    while (i < s.size() && isDigit(s[i])) {
        num += s[i++];
        digits = true;
    }
    if (i < s.size() && s[i] == '.') {
        num += s[i++];
        while (i < s.size() && isDigit(s[i])) {
            num += s[i++];
            digits = true;
        }
    }
    if (!digits)
        return 0.0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        std::string ex = "e";
        if (j < s.size() && (s[j] == '+' || s[j] == '-'))
            ex += s[j++];
        bool expDigits = false;
        while (j < s.size() && isDigit(s[j])) {
            ex += s[j++];
            expDigits = true;
        }
        if (expDigits)
            num += ex;
    }
    char* end = nullptr;
    const double v = std::strtod(num.c_str(), &end);
    return std::isfinite(v) ? v : 0.0;
}

long long textToInt(std::string_view s)
{
    const double v = textToReal(s);
    constexpr double lim = 9.0e18;
    if (v >= lim)
        return static_cast<long long>(lim);
    if (v <= -lim)
        return -static_cast<long long>(lim);
    return roundEven(v);
}

std::string hexText(std::uint32_t v)
{
    static const char* digits = "0123456789ABCDEF";
    if (v == 0)
        return "0";
    std::string out;
    while (v) {
        out.insert(out.begin(), digits[v & 15]);
        v >>= 4;
    }
    return out;
}

// ---- SettingsItem ----

const std::string& SettingsItem::value(int k) const
{
    if (k < 0 || k >= kSettingsValues)
        return kEmpty;
    return v_[static_cast<std::size_t>(k)];
}

void SettingsItem::setValue(int k, std::string text)
{
    if (k < 0 || k >= kSettingsValues)
        return;
    v_[static_cast<std::size_t>(k)] = std::move(text);
}

// ---- lines ----

SettingsLine parseSettingsLine(std::string_view raw)
{
    SettingsLine out;
    const std::string line = trimBlanks(raw);
    if (line.empty() || !isDigit(line[0]))
        return out;
    out.isItem = true;
    // The number is the leading digits of characters 1 to 3.
    int n = 0;
    for (std::size_t i = 0; i < 3 && i < line.size() && isDigit(line[i]); ++i)
        n = n * 10 + (line[i] - '0');
    out.number = n;
    // Character 4 is the separator; the values start at character 5.  The
    // positions count characters, not bytes: a line read from the code page
    // may carry a kana or a full-width separator there.
    std::size_t start = 0;
    for (int c = 0; c < 4 && start < line.size(); ++c)
        start += utf8Length(static_cast<unsigned char>(line[start]));
    if (start >= line.size())
        return out;
    const std::string_view rest = std::string_view(line).substr(start);
    std::size_t pos = 0;
    int k = 0;
    while (true) {
        const std::size_t comma = rest.find(',', pos);
        const std::string_view field = rest.substr(pos, comma == std::string_view::npos ? std::string_view::npos : comma - pos);
        if (k < kSettingsValues)
            out.values[static_cast<std::size_t>(k)] = std::string(field);
        ++k;
        if (comma == std::string_view::npos)
            break;
        pos = comma + 1;
    }
    out.valueCount = k < kSettingsValues ? k : kSettingsValues;
    return out;
}

std::string formatSettingsItemLine(int number, const SettingsItem& item)
{
    char num[8];
    std::snprintf(num, sizeof num, "%03d", number < 0 ? 0 : number % 1000);
    std::string out = num;
    for (int k = 0; k < kSettingsValues; ++k) {
        out += ',';
        out += item.value(k);
    }
    return out;
}

// ---- Settings ----

SettingsItem& Settings::item(int n)
{
    if (n < 0 || n >= kSettingsItems) {
        scratch_ = SettingsItem{};
        return scratch_;
    }
    return items_[static_cast<std::size_t>(n)];
}

const SettingsItem& Settings::item(int n) const
{
    static const SettingsItem none;
    if (n < 0 || n >= kSettingsItems)
        return none;
    return items_[static_cast<std::size_t>(n)];
}

const std::string& Settings::value(int n, int k) const { return item(n).value(k); }

void Settings::set(int n, int k, std::string text)
{
    if (n < 0 || n >= kSettingsItems)
        return;
    items_[static_cast<std::size_t>(n)].setValue(k, std::move(text));
}

Status Settings::parse(const std::vector<std::string>& lines)
{
    // Collect first, commit only when the closing item line was found, so
    // that a damaged file leaves the running values alone.
    std::vector<SettingsLine> found;
    bool closed = false;
    for (const std::string& l : lines) {
        SettingsLine p = parseSettingsLine(l);
        if (!p.isItem)
            continue;
        const bool last = p.number >= kLastSettingsItem;
        found.push_back(std::move(p));
        if (last) {
            closed = true;
            break;
        }
    }
    if (!closed)
        return Status::DataFormat;
    for (const SettingsLine& p : found) {
        if (p.number < 0 || p.number >= kSettingsItems)
            continue;
        SettingsItem& it = items_[static_cast<std::size_t>(p.number)];
        // A line present defines the whole item: fields it lacks are empty.
        for (int k = 0; k < kSettingsValues; ++k)
            it.setValue(k, p.values[static_cast<std::size_t>(k)]);
    }
    return Status::Ok;
}

Status Settings::load(const std::string& path)
{
    std::vector<std::string> lines;
    const Status st = readTextLines(path, lines);
    if (st != Status::Ok)
        return st;
    return parse(lines);
}

std::vector<std::string> Settings::render(const std::vector<std::string>& layout) const
{
    std::vector<std::string> out;
    out.reserve(layout.size() + 1);
    bool closed = false;
    for (const std::string& l : layout) {
        SettingsLine p = parseSettingsLine(l);
        if (!p.isItem) {
            out.push_back(l);
            continue;
        }
        if (p.number < kSettingsItems)
            out.push_back(formatSettingsItemLine(p.number, item(p.number)));
        else
            out.push_back(formatSettingsItemLine(kLastSettingsItem, item(kLastSettingsItem)));
        if (p.number >= kLastSettingsItem) {
            closed = true;
            break;
        }
    }
    if (!closed)
        out.push_back(formatSettingsItemLine(kLastSettingsItem, item(kLastSettingsItem)));
    return out;
}

std::vector<double> fixedWidthList(std::string_view text, std::size_t width)
{
    std::vector<double> out;
    if (width == 0)
        return out;
    for (std::size_t pos = 0; pos < text.size(); pos += width) {
        const std::string_view entry = text.substr(pos, width);
        if (trimBlanks(entry).empty())
            break;
        out.push_back(textToReal(entry));
    }
    return out;
}

}  // namespace varenta
