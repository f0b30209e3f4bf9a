#include "tolv/shell/resulttables.h"

#include "common/format.h"
#include "common/settings.h"
#include "common/textcodec.h"
#include "common/textfile.h"

#include <algorithm>
#include <cstdio>

namespace varenta {

namespace {

constexpr const char* kCrLf = "\r\n";
constexpr const char* kNoName = "－－－";

std::string hexByte(int v)
{
    char buf[4];
    std::snprintf(buf, sizeof buf, "%02X", v & 0xFF);
    return buf;
}

int codeAt(const std::vector<int>& record, int p)
{
    return p >= 0 && static_cast<std::size_t>(p) < record.size() ? record[static_cast<std::size_t>(p)] : -1;
}

std::string withoutTrailingBlanks(std::string s)
{
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

}  // namespace

int recordPositionOf(const std::vector<int>& record, int code)
{
    const std::size_t n = std::min<std::size_t>(record.size(), kRecordPositions);
    for (std::size_t p = 0; p < n; ++p)
        if (record[p] == code)
            return static_cast<int>(p);
    return kNotRecorded;
}

std::string positionTableText(const ResultItemTable& items, const std::vector<int>& record, bool hexadecimal)
{
    const int last = std::min(items.count(), kPositionTableLastCode);
    std::string out;
    std::string line;
    for (int code = 0; code <= last; ++code) {
        const int p = recordPositionOf(record, code);
        const bool recorded = p != kNotRecorded;
        if (hexadecimal) {
            line += (recorded ? hexByte(p) : std::string("00")) + " ";
            if (code % 16 == 15) {
                out += withoutTrailingBlanks(line) + kCrLf;
                line.clear();
            }
        } else {
            line += rightAlign(std::to_string(recorded ? p : 0), 4) + ",";
            if (code % 10 == 9) {
                out += line + "    // " + formatMask(code - 9, "##0") + " - " + formatMask(code, "##0") + kCrLf;
                line.clear();
            }
        }
    }
    return out + line;
}

std::string nameTableText(const ResultItemTable& items, const std::vector<int>& record)
{
    std::string out;
    for (int p = 0; p < kRecordPositions; ++p) {
        const int code = codeAt(record, p);
        std::string name = items.defined(code) ? trimBlanks(items.shortName(code)) : std::string();
        if (name.empty())
            name = kNoName;
        // The width counts characters, as the name is seen in an editor.
        std::size_t chars = 0;
        for (unsigned char c : name)
            if ((c & 0xC0) != 0x80)
                ++chars;
        out += "\"" + name + "=\",";
        if (chars < kShortNameWidth)
            out.append(kShortNameWidth - chars, ' ');
        out += "// " + formatMask(p, "00") + kCrLf;
    }
    return out;
}

std::string headingField(const std::string& heading)
{
    std::string cut = cutToCodePageWidth(heading, kHeadingBytes);
    const std::size_t width = codePageWidth(cut);
    if (width < kHeadingBytes)
        cut.append(kHeadingBytes - width, ' ');
    return cut;
}

std::string headingTableText(const ResultItemTable& items, const std::vector<int>& record)
{
    std::string out;
    for (int k = 1; k <= 2; ++k) {
        for (int p = 0; p < kRecordPositions; ++p) {
            const int code = codeAt(record, p);
            out += headingField(items.defined(code) ? items.value(code, k) : std::string());
            if (p % 8 == 7)
                out += ' ';
        }
        out += kCrLf;
    }
    return out;
}

ResultTablesOutcome writeResultTables(const std::string& folder, const ResultItemTable& items,
                                      const std::vector<int>& record, bool hexadecimal)
{
    ResultTablesOutcome outcome;
    if (record.empty() || items.count() <= 0) {
        outcome.status = Status::Refused;
        return outcome;
    }
    const std::string base = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    const std::pair<const char*, std::string> files[] = {
        {kPositionTableName, positionTableText(items, record, hexadecimal)},
        {kNameTableName, nameTableText(items, record)},
        {kHeadingTableName, headingTableText(items, record)},
    };
    for (const auto& [name, text] : files) {
        const Status st = writeFileBytesAtomic(base + name, toCodePage(text));
        if (st != Status::Ok) {
            outcome.status = st;
            outcome.failedFile = name;
            return outcome;
        }
    }
    return outcome;
}

}  // namespace varenta
