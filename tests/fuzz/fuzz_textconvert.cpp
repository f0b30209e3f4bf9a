// libFuzzer target: the text conversion of master file bytes.  Every
// sector that passes as a measurement header is decoded, its samples read
// from what follows, and its text written; the text must have the three
// header lines and one line per sample row, each field at least six
// characters, no trailing comma, CR LF after every line.
#include "common/masterfile.h"
#include "common/masterreader.h"
#include "common/textconvert.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using namespace varenta;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const long long first = firstValidHeaderOffset(data, size);
    if (first < 0)
        return 0;
    for (std::size_t off = static_cast<std::size_t>(first); off + 512 <= size; off += 512) {
        const auto h = readValidHeader(data + off);
        if (!h)
            continue;
        std::vector<std::int16_t> samples;
        if (unpackSamples(*h, data + off, size - off, samples) != Status::Ok)
            continue;
        std::string text;
        appendMeasurementText(*h, samples, text);
        const std::size_t rows = h->channelCount > 0 ? samples.size() / static_cast<std::size_t>(h->channelCount) : 0;
        std::size_t lines = 0, start = 0;
        for (std::size_t at; (at = text.find("\r\n", start)) != std::string::npos; start = at + 2, ++lines) {
            const std::string line = text.substr(start, at - start);
            if (line.empty() || line.back() == ',' || line.find('\n') != std::string::npos)
                std::abort();
            std::size_t field = 0;
            for (std::size_t p = 0; p <= line.size(); ++p) {
                if (p == line.size() || line[p] == ',') {
                    if (field < 6)
                        std::abort();
                    field = 0;
                } else {
                    ++field;
                }
            }
        }
        if (start != text.size() || lines != 3 + rows)
            std::abort();
    }
    return 0;
}
