// The settings file reader ("tolvi.ini" and its templates) on a file of the
// input's bytes, and the writer on what it read: a file the reader takes
// is rendered by the writing rule and read back, and the table read back
// must be the table written.
#include "common/settings.h"
#include "common/textfile.h"
#include "fuzz_support.h"

using namespace varenta;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path = fuzz::writeInput("tolvi.ini", data, size);
    Settings read;
    const Settings before = read;
    const Status st = read.load(path);
    if (st != Status::Ok) {
        // A refused file leaves the table as it was.
        for (int n = 0; n <= kLastSettingsItem; ++n)
            FUZZ_CHECK(read.item(n).values() == before.item(n).values());
        return 0;
    }
    std::vector<std::string> layout;
    FUZZ_CHECK(readTextLines(path, layout) == Status::Ok);
    for (const std::string& line : layout)
        (void)parseSettingsLine(line);
    const std::vector<std::string> written = read.render(layout);
    Settings again;
    FUZZ_CHECK(again.parse(written) == Status::Ok);
    // Every value comes back, except blanks at the end of value 7: the
    // writer puts it last on the line, and a line is read trimmed.
    for (int n = 0; n <= kLastSettingsItem; ++n)
        for (int k = 0; k < kSettingsValues; ++k) {
            std::string want = read.value(n, k);
            if (k == kSettingsValues - 1)
                want.erase(want.find_last_not_of(" \t") + 1);  // npos + 1 clears it all
            FUZZ_CHECK(again.value(n, k) == want);
        }
    // The numeric views of every value.
    for (int n = 0; n <= kLastSettingsItem; ++n)
        for (int k = 0; k < kSettingsValues; ++k) {
            (void)read.integer(n, k);
            (void)read.hex(n, k);
            (void)fixedWidthList(read.value(n, k), 4);
        }
    return 0;
}
