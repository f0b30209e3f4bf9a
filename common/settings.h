#pragma once
// The initialization table of the processing program: items 0 to 199, each
// with values 0 to 7 held as text exactly as read.  Values are converted
// where they are used: decimals as text, switch words as hexadecimal text
// without prefix, paths as text.
//
// File format ("tolvi.ini" and its templates), code page text with CR LF:
//   - a line whose first character after trimming blanks is not a digit is a
//     heading or comment: ignored on reading, copied in place on writing;
//   - an item line is "NNN,v0,v1,...": the number in characters 1 to 3, one
//     separator, then the values split at every ",";
//   - reading stops after the first item line numbered 199 or more, and a
//     file without such a line is an error;
//   - items missing from the file keep their values.
#include "common/status.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace varenta {

constexpr int kSettingsItems = 200;
constexpr int kSettingsValues = 8;
constexpr int kLastSettingsItem = 199;

// ---- conversions of settings text ----
// Text with blanks (spaces and tabs) removed at both ends.
std::string trimBlanks(std::string_view s);
// The leading decimal number of a text, as a lenient reader expects: blanks
// skipped, an optional sign, digits, an optional fraction and exponent;
// nothing readable gives 0.  "&H" introduces a hexadecimal number.
double textToReal(std::string_view s);
// textToReal rounded to the nearest integer (ties to even), clamped to the
// range of long long.
long long textToInt(std::string_view s);
// A switch word: the trimmed text read as hexadecimal digits (an optional
// "&H" or "0x" is accepted); reading stops at the first non-hex character.
std::uint32_t textToHex(std::string_view s);
// Upper-case hexadecimal without prefix or leading zeros ("0" for zero).
std::string hexText(std::uint32_t v);
// The value of a hexadecimal digit of either case; -1 for any other character.
int hexDigit(char c);

// One item line: values 0 to 7.
class SettingsItem {
public:
    const std::string& value(int k) const;
    void setValue(int k, std::string text);
    const std::array<std::string, kSettingsValues>& values() const { return v_; }

private:
    std::array<std::string, kSettingsValues> v_{};
};

// The parsed form of one line of an initialization file.
struct SettingsLine {
    bool isItem = false;  // first character after trimming is a digit
    int number = -1;      // item number when isItem
    std::array<std::string, kSettingsValues> values{};
    int valueCount = 0;   // fields present on the line (at most 8 kept)
};
SettingsLine parseSettingsLine(std::string_view line);
// The writing rule: "NNN" then "," and the value, for each of values 0 to 7.
std::string formatSettingsItemLine(int number, const SettingsItem& item);

class Settings {
public:
    Settings() = default;

    // Item N (0..199).  Out-of-range numbers give a scratch item that is
    // never stored.
    SettingsItem& item(int n);
    const SettingsItem& item(int n) const;

    // Item N value k as text; "" when out of range.
    const std::string& value(int n, int k) const;
    void set(int n, int k, std::string text);

    // Typed views of a value.
    std::string trimmed(int n, int k) const { return trimBlanks(value(n, k)); }
    bool isBlank(int n, int k) const { return trimmed(n, k).empty(); }
    long long integer(int n, int k) const { return textToInt(value(n, k)); }
    double real(int n, int k) const { return textToReal(value(n, k)); }
    std::uint32_t hex(int n, int k) const { return textToHex(value(n, k)); }
    void setInt(int n, int k, long long v) { set(n, k, std::to_string(v)); }
    void setHex(int n, int k, std::uint32_t v) { set(n, k, hexText(v)); }

    // Reads item lines (UTF-8, line ends removed) by the reading rules.  On
    // success the items present are replaced; on DataFormat (no line
    // numbered 199 or more) the table is left as it was.
    Status parse(const std::vector<std::string>& lines);
    // Reads a file (code page text).  NotFound, Io or DataFormat leave the
    // table unchanged.
    Status load(const std::string& path);

    // The lines of a file written from the current values, using the lines
    // of an existing file as the layout: heading and comment lines copied
    // unchanged and in place, each item line rewritten by the writing rule,
    // output ending after the first item line numbered 199 or more.  When the
    // layout holds no such line, an item 199 line is appended so that the
    // written file always reads back.
    std::vector<std::string> render(const std::vector<std::string>& layout) const;

private:
    std::array<SettingsItem, kSettingsItems> items_{};
    SettingsItem scratch_{};
};

// Fixed-width numeric lists such as item 65 values 1 to 5: entry i at
// characters width*i+1 .. width*(i+1), each read as a decimal; a partial
// entry at the end is read too, blank entries stop the list.
std::vector<double> fixedWidthList(std::string_view text, std::size_t width);

}  // namespace varenta
