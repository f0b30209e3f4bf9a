#pragma once
// A throw-away program folder with the three definition files written in
// the code page with CR LF, for the tests of the initialization table.
#include "common/settings.h"
#include "common/textcodec.h"
#include "common/textfile.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace varenta::testing {

class TempFolder {
public:
    TempFolder()
    {
        std::string tmpl = (std::filesystem::temp_directory_path() / "varenta-XXXXXX").string();
        std::vector<char> buf(tmpl.begin(), tmpl.end());
        buf.push_back('\0');
        if (::mkdtemp(buf.data()))
            path_ = buf.data();
    }
    ~TempFolder()
    {
        std::error_code ec;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline std::string readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void writeBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// Lines (UTF-8) written in the code page with CR LF.
inline void writeCodePageLines(const std::string& path, const std::vector<std::string>& lines)
{
    std::string b;
    for (const auto& l : lines)
        b += toCodePage(l) + "\r\n";
    writeBytes(path, b);
}

// An initialization file: a heading, every item 000..199 (values from the
// map, others blank), comment lines among them, and a trailing line after
// item 199.
inline std::vector<std::string> initLines(const std::map<std::pair<int, int>, std::string>& values)
{
    std::vector<std::string> lines;
    lines.push_back("[初期化ファイル VarentaK]");
    for (int n = 0; n <= 199; ++n) {
        if (n == 50)
            lines.push_back("  ; 自動機能の設定");
        SettingsItem it;
        for (const auto& [key, v] : values)
            if (key.first == n)
                it.setValue(key.second, v);
        lines.push_back(formatSettingsItemLine(n, it));
    }
    lines.push_back("end of file");
    return lines;
}

inline std::vector<std::string> resultItemLines()
{
    // First line: the number of items in characters 2 to 4.  Item lines: a
    // running index (1..3), the code (4..6), a separator, values from 8.
    std::vector<std::string> l = {" 110 result items"};
    char buf[128];
    for (int code = 0; code <= 110; ++code) {
        std::snprintf(buf, sizeof buf, "%03d%03d,  ###,項目%d,単位,##0,,I%d,,", code, code, code, code);
        l.push_back(buf);
    }
    return l;
}

inline std::vector<std::string> channelLines()
{
    return {"チャンネル定義 063",
            "001,水圧,cm,0.1,##0.0",
            "002,流速X,cm/s,0.1,##0.0",
            "003,流速Y,cm/s,0.1,##0.0",
            "004,超音波水位,cm,0.1,##0.0",
            "006,水温,℃,0.01,#0.00"};
}

// Selection list of 65 codes: position p holds code p (so code 6 stands at 6
// and 109 is not recorded) unless overridden.
inline std::string selectionList(const std::map<int, int>& overrides = {})
{
    std::string s;
    char buf[8];
    for (int p = 0; p < 65; ++p) {
        int code = p;
        if (auto it = overrides.find(p); it != overrides.end())
            code = it->second;
        std::snprintf(buf, sizeof buf, "%03d", code);
        s += buf;
    }
    return s;
}

// A program folder with "tolvi.org", "tolvg.org" and "tolvf.org".
inline void installDefinitions(const std::string& folder, const std::map<std::pair<int, int>, std::string>& values)
{
    writeCodePageLines(folder + "/tolvi.org", initLines(values));
    writeCodePageLines(folder + "/tolvg.org", resultItemLines());
    writeCodePageLines(folder + "/tolvf.org", channelLines());
}

}  // namespace varenta::testing
