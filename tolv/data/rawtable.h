#pragma once
// The raw data table: the samples of the measurement on display as text,
// one line per sample time and one 7-character column per displayed
// channel, converted by the channel factors and number formats of the
// channel definitions.  The same text is the export file "{pp}22g.txt".
#include "common/channeltable.h"
#include "common/masterfile.h"
#include "common/status.h"

#include <cstdint>
#include <string>
#include <vector>

namespace varenta {

struct RawTableInput {
    const MeasurementHeader* header = nullptr;
    const std::vector<std::vector<std::int16_t>>* rawCounts = nullptr;  // [channel][sample]
    const ChannelTable* channels = nullptr;
    std::vector<int> displayed;  // channel-list indexes shown, in channel-list order
    bool timeColumn = false;     // each line starts with the sample time "mm:ss.s"
};

// Width of the time column at the start of a line ("05:12.4").
constexpr int kRawTimeColumnWidth = 7;

// The sample time of line j: the minutes and seconds within the hour of
// j x interval after the burst's start minute (the start seconds are not
// added), formatted "00" ":" "00.0".
std::string rawTableTimeText(int sample, double intervalTenths, int startMinute);

// One value field: the factor times the count formatted by the channel's
// number format (blank: general number form), right-aligned in 7
// characters, only the last 7 kept.
std::string rawTableField(double factor, std::int16_t count, const std::string& format);

// The body text: lines joined by CR LF, no line end after the last line.
// Channels missing from the counts, or samples beyond them, are written as
// the missing marker -32768 times the factor.
std::string rawTableBody(const RawTableInput& in);

// The two heading lines (joined by CR LF): the caption strings of the
// displayed channels as loading builds them.
std::string rawTableHeading(const std::string& captions0, const std::string& captions1);

// Export file name: filePrefix + "22g.txt".
std::string rawTableExportName(const std::string& filePrefix);

// Writes the body to the export file (single-byte code page), replacing
// it whole or not at all.
Status writeRawTableExport(const std::string& path, const std::string& body);

// The web copy: deletes an existing target first, then copies the export.
Status copyRawTableToWeb(const std::string& exportPath, const std::string& webFolder);
constexpr const char* kRawTableWebName = "w3.txt";

}  // namespace varenta
