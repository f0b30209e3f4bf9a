// The web report pages from the user's templates: the input is cut at
// "\0\1" into a template, the bytes of the graph pictures, a results file
// and a results-table text; the first two bytes choose the header version,
// the page kind and the open windows.  The template stands for every page
// of the plan.  The generation must end, write exactly the pages of the
// plan when it says Ok, name what failed otherwise, and leave no temporary
// file; the picture-size reader, the results excerpt and the half-width
// text must take any bytes.
#include "common/resultitems.h"
#include "common/settings.h"
#include "fuzz_support.h"
#include "tolv/publish/webpages.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

using namespace varenta;
namespace fs = std::filesystem;

namespace {

struct Tables {
    ResultItemTable items;
    Settings settings;
    ResultSelection selection;
    Tables()
    {
        (void)items.load(std::string(VARENTA_SOURCE_DIR) + "/data/tolvg.org");
        (void)settings.load(std::string(VARENTA_SOURCE_DIR) + "/data/tolvi.org");
        selection = buildResultSelection(settings, 165);
    }
};

std::vector<std::string_view> parts(std::string_view bytes, std::size_t count)
{
    std::vector<std::string_view> out;
    while (out.size() + 1 < count) {
        const std::size_t cut = bytes.find(std::string_view("\0\1", 2));
        if (cut == std::string_view::npos)
            break;
        out.push_back(bytes.substr(0, cut));
        bytes.remove_prefix(cut + 2);
    }
    out.push_back(bytes);
    out.resize(count);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const Tables tables;
    if (size < 2)
        return 0;
    const std::uint8_t kind = data[0], windows = data[1];
    const auto p = parts(std::string_view(reinterpret_cast<const char*>(data) + 2, size - 2), 4);
    const std::string_view templ = p[0], jpeg = p[1], results = p[2], table = p[3];

    // The readers on their own.
    if (const auto s = jpegPictureSize(jpeg))
        FUZZ_CHECK(s->width >= 0 && s->width <= 65535 && s->height >= 0 && s->height <= 65535);
    const std::string excerpt = resultsTableExcerpt(table, kind, windows % 120, 1 + (kind >> 4));
    FUZZ_CHECK(excerpt.empty() || excerpt.size() >= 2 && excerpt.compare(excerpt.size() - 2, 2, "\r\n") == 0);
    (void)halfWidthText(templ);

    // A program folder of this input: the template under every name the
    // plan may ask for, the pictures, nothing else.
    const fs::path folder = fs::path(fuzz::scratchFolder()) / "web";
    std::error_code ec;
    fs::remove_all(folder, ec);
    fs::create_directories(folder, ec);
    WebPagesInput in;
    in.folder = folder.string();
    in.prefix = "NR";
    in.machineNumber = windows;
    static const int versions[] = {24, 25, 31, 40};
    in.headerVersion = versions[kind & 3];
    in.rawData = (kind & 4) == 0;
    in.directional = (kind & 8) != 0;
    for (int n = kFirstPicture; n <= kLastPicture; ++n)
        in.pictureOpen[static_cast<std::size_t>(n)] = (windows >> n) & 1;
    if (windows & 1)
        in.rawTableBody = std::string(table);
    if (windows & 2)
        in.resultsTableBody = std::string(table);
    in.rawTableHeading = std::string("heading");
    in.excerptLines = 1 + (kind >> 4);
    in.tableLineBytes = windows % 120;
    in.latest.results = results;
    in.latest.current = 1 + (kind >> 5);
    in.latest.count = kind >> 6;
    in.latest.webItems = {6, 64, 109, 1};
    in.latest.items = &tables.items;
    in.latest.selection = &tables.selection;

    const std::vector<WebPagePlan> plan = webPagePlan(in);
    for (const WebPagePlan& page : plan)
        (void)fuzz::writeInput("web/NR" + page.templateName, reinterpret_cast<const std::uint8_t*>(templ.data()),
                               templ.size());
    for (int n = kFirstPicture; n <= kLastPicture; ++n)
        (void)fuzz::writeInput("web/NR2" + std::to_string(n) + "g.jpg",
                               reinterpret_cast<const std::uint8_t*>(jpeg.data()), jpeg.size());

    const WebPagesOutcome out = makeWebPages(in);
    if (out.status == Status::Ok) {
        FUZZ_CHECK(out.written.size() == plan.size());
        for (const std::string& page : out.written)
            FUZZ_CHECK(fs::is_regular_file(page, ec));
    } else {
        FUZZ_CHECK(!out.failure.empty());
    }
    for (const auto& e : fs::directory_iterator(folder, ec))
        FUZZ_CHECK(e.path().filename().string().find(".~") == std::string::npos);
    return 0;
}
