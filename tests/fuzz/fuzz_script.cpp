// The script-file reader (`--script FILE` of both programs) on the input's
// bytes, and the echo of what the programs show.  A script that reads is a
// list of lines numbered in their order; one that does not names its line
// and what is wrong; every echo is one line.
#include "common/script.h"
#include "fuzz_support.h"

#include <string>
#include <vector>

using namespace varenta;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<ScriptLine> lines;
    ScriptError error;
    if (parseScript(text, lines, error)) {
        int last = 0;
        for (const ScriptLine& l : lines) {
            FUZZ_CHECK(l.number > last);
            last = l.number;
        }
    } else {
        FUZZ_CHECK(error.line >= 1);
        FUZZ_CHECK(!error.what.empty());
        FUZZ_CHECK(scriptErrorText(error).find('\n') == std::string::npos);
    }
    // The same bytes read from a file.
    std::vector<ScriptLine> fromFile;
    ScriptError fileError;
    const bool read = readScriptFile(fuzz::writeInput("script.txt", data, size), fromFile, fileError);
    FUZZ_CHECK(read == (error.what.empty()));
    FUZZ_CHECK(fromFile.size() == lines.size());

    // The echo: the input's lines as the fields of one message.
    std::vector<std::string> fields;
    std::size_t at = 0;
    while (at <= text.size() && fields.size() < 16) {
        const std::size_t nul = text.find('\0', at);
        fields.push_back(text.substr(at, nul == std::string::npos ? std::string::npos : nul - at));
        if (nul == std::string::npos)
            break;
        at = nul + 1;
    }
    const std::string echo = echoLine("message", fields);
    FUZZ_CHECK(echo.find('\n') == std::string::npos && echo.find('\r') == std::string::npos);
    return 0;
}
