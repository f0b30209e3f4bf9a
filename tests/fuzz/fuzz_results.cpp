// The results file of a data set (392-byte records) through the results
// table fill: a complete fill and a refresh from a record, with the shipped
// item set, over a file of the input's bytes.  The sequence check may
// rewrite records in place but never changes the file's size, and every
// table line has the layout's width.
#include "common/installdata.h"
#include "common/resultitems.h"
#include "common/settings.h"
#include "fuzz_support.h"
#include "tolv/data/resultstable.h"

#include <filesystem>

using namespace varenta;

namespace {

struct Shipped {
    ResultsTableLayout layout;
    Shipped()
    {
        const std::string folder = fuzz::scratchFile("prog");
        std::filesystem::create_directories(folder);
        installProgramData(VARENTA_SOURCE_DIR "/data", folder);
        Settings s;
        s.load(folder + "/tolvi.org");
        ResultItemTable items;
        items.load(folder + "/tolvg.org");
        layout = makeResultsTableLayout(items, buildResultSelection(s, 165));
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const Shipped shipped;
    if (size < 3)
        return 0;
    ResultsTableRequest rq;
    rq.layout = shipped.layout;
    rq.blockStartHour = data[0] % 30;
    rq.blockHours = data[1] % 30;
    const long long refreshFrom = data[2] % 16;
    rq.intervalMinutes = (data[2] >> 4) * 10;
    data += 3;
    size -= 3;
    rq.resultsPath = fuzz::writeInput("results.h10", data, size);
    rq.exportPath = fuzz::scratchFile("23g.txt");

    const ResultsTableOutcome full = fillResultsTableFiles(rq);
    FUZZ_CHECK(full.records == static_cast<long long>(size / kResultsRecordSize));
    FUZZ_CHECK(std::filesystem::file_size(rq.resultsPath) == size);

    rq.record = refreshFrom;
    rq.mode = refreshFrom & 1 ? fillmode::kOneLine : 0;
    rq.blocks = full.blocks;
    const ResultsTableOutcome refresh = fillResultsTableFiles(rq);
    for (const ResultsTableLine& l : refresh.lines)
        FUZZ_CHECK(static_cast<int>(l.text.size()) == rq.layout.bodyWidth());
    FUZZ_CHECK(std::filesystem::file_size(rq.resultsPath) == size);
    return 0;
}
