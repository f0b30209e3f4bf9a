#pragma once
// The web report pages of a processed measurement, built from the user's
// text templates in the program folder ("{pp}21h.txt" ... -> "{pp}21h.htm"
// ...): a few placeholders filled in place, the newest results inserted on
// the first page, and the texts of the open table windows inserted after the
// first "<pre>".  Pages are written in the code page exactly as the working
// text stands (no line end added), each through a temporary file renamed
// over the page, so a page is never seen half written.
#include "common/resultitems.h"
#include "common/status.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varenta {

struct PictureSize {
    int width = 0;
    int height = 0;
};

// The size held by the start-of-frame segment of a JPEG file's bytes;
// nullopt when the bytes are not a JPEG file or hold no frame header.
std::optional<PictureSize> jpegPictureSize(std::string_view bytes);

// A picture dimension as the placeholders want it: right-aligned in four
// characters, only the last four kept (640 -> " 640", 12345 -> "2345").
std::string pictureSizeField(int value);

// Replaces the first occurrence of placeholder at or after from by value
// (value has the placeholder's length).  Returns the position of the
// replacement, or npos when the placeholder is not there.
std::size_t replacePlaceholder(std::string& text, std::string_view placeholder, std::string_view value,
                               std::size_t from = 0);

// The text with insert placed right after the first "<pre>"; nullopt when
// the text holds no "<pre>".
std::optional<std::string> insertAfterPre(const std::string& text, const std::string& insert);

// Full-width letters, digits, signs and katakana turned into their
// half-width forms (the ideographic space into a blank); other characters
// stay.
std::string halfWidthText(std::string_view utf8);

// The newest-results lines of the first page: for the current measurement
// m and the count measurements before it (never below measurement 1), the
// date and time, then one "caption=value<br>" line per web item (64: a bare
// "<br>"), blocks separated by "<br>".  results: the results file's bytes
// (392-byte records).
struct LatestResultsInput {
    std::string_view results;
    long long current = 0;
    int count = 0;
    std::vector<int> webItems;
    const ResultItemTable* items = nullptr;
    const ResultSelection* selection = nullptr;
};
std::string latestResultsLines(const LatestResultsInput& in);

// The excerpt of the results table for the "23c" page: the body lines (CR
// LF or LF separated) from the line of measurement current back over
// lines - 1 further table lines; lines shorter than a table line (block
// separators) are carried along but not counted.  Every line ends with CR
// LF.  Empty when the table holds no line for the measurement.
std::string resultsTableExcerpt(std::string_view body, long long current, int tableLineBytes, int lines);

// Graph pictures by their number N in "{pp}2Ng.jpg" (2..7).
constexpr int kFirstPicture = 2;
constexpr int kLastPicture = 7;

struct WebPagesInput {
    std::string folder;  // program folder: templates, pictures and pages
    std::string prefix;  // {pp}
    int machineNumber = 0;
    int headerVersion = 0;       // model code of the measurement's header
    bool rawData = true;         // not a results-only measurement
    bool directional = false;    // directional spectrum on
    // Graph windows open, by picture number (index N for "2Ng").
    std::array<bool, 8> pictureOpen{};
    // Texts of the table windows, nullopt when the window is not open.
    std::optional<std::string> rawTableBody, rawTableHeading, resultsTableBody;
    int excerptLines = 1;      // item 86 value 3
    int tableLineBytes = 0;    // bytes of one results-table line without its line end
    LatestResultsInput latest;
};

struct WebPagePlan {
    std::string templateName;  // without prefix, e.g. "21hj.txt"
    std::string pageName;      // without prefix, e.g. "21h.htm"
};

// The pages to build for a measurement, in their order.
std::vector<WebPagePlan> webPagePlan(const WebPagesInput& in);

struct WebPagesOutcome {
    Status status = Status::Ok;       // Ok, or the failure that ended the generation
    std::vector<std::string> written; // paths of the pages written, in order
    std::string failure;              // what failed (file or placeholder)
};

WebPagesOutcome makeWebPages(const WebPagesInput& in);

}  // namespace varenta
