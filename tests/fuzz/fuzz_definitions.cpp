// The two definition files read at every settings load: the result items
// "tolvg.org" and the channels "tolvf.org", each on a file of the input's
// bytes (the first byte picks the file), with the selection list built on
// a settings table whose selection item holds the input's text, and the
// results table's columns made from both.
#include "common/channeltable.h"
#include "common/resultitems.h"
#include "common/settings.h"
#include "fuzz_support.h"
#include "tolv/data/resultstable.h"

using namespace varenta;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const bool channels = data[0] & 1;
    const std::string path = fuzz::writeInput(channels ? "tolvf.org" : "tolvg.org", data + 1, size - 1);
    if (channels) {
        ChannelTable t;
        if (t.load(path) != Status::Ok)
            return 0;
        for (int code = -1; code <= t.highestCode() + 1 && code < 1000; ++code) {
            (void)t.factor(code);
            (void)t.name(code);
            for (int k = -1; k <= 5; ++k)
                (void)t.value(code, k);
        }
        return 0;
    }
    ResultItemTable items;
    if (items.load(path) != Status::Ok)
        return 0;
    Settings s;
    s.set(165, 1, std::string(reinterpret_cast<const char*>(data + 1), size - 1));
    const ResultSelection sel = buildResultSelection(s, 165);
    const ResultsTableLayout layout = makeResultsTableLayout(items, sel);
    FUZZ_CHECK(layout.lineWidth >= 2);
    for (int code = -1; code <= 1000; code += 7) {
        (void)items.heading1(code);
        (void)items.shortName(code);
    }
    return 0;
}
