// libFuzzer target: the estimators' parameter-file reader and argument
// reader on arbitrary bytes.  The bytes are taken as the lines of a
// parameter file (CR LF or LF) for both estimators, and as NUL-separated
// command-line arguments.  Links the estimators library.
#include "tools/estimators/params.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> lines;
    std::size_t from = 0;
    while (from <= text.size()) {
        std::size_t nl = text.find('\n', from);
        if (nl == std::string::npos)
            nl = text.size();
        std::string line = text.substr(from, nl - from);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        from = nl + 1;
    }
    varenta::est::ParameterFile p;
    std::string why;
    for (varenta::est::Method m : {varenta::est::Method::Emep, varenta::est::Method::Bdm}) {
        if (varenta::est::parseParameters(m, lines, p, why)) {
            // A file that reads must hold a usable site and settings.
            if (!(p.depth > 0.0) || !(p.dt > 0.0) || p.settings.nd < 8 || p.settings.nf < 1 || p.channels.empty())
                __builtin_trap();
        } else if (why.empty()) {
            __builtin_trap();  // a refusal always says why
        }
    }
    std::vector<std::string> args;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i)
        if (i == text.size() || text[i] == '\0') {
            args.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    varenta::est::CommandLine c;
    if (varenta::est::parseCommandLine(args, c, why) && (c.dataFile.empty() || c.channels < 1 || c.start < 1))
        __builtin_trap();
    return 0;
}
