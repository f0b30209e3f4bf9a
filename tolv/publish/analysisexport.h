#pragma once
// Export of a master file pair for analysis in other software: one CF-1.8
// NetCDF-4 file (bursts x samples of every recorded channel in physical
// units, burst and sample times, the 64 result items, the power spectrum of
// the conditioned pressure or level channel) or one CSV file per burst.
// Samples are the stored counts times the factors of the channel table:
// no time shift, no trend removal, no sign rules; only the spectrum is
// conditioned as the settings say.
#include "common/channeltable.h"
#include "common/masterfile.h"
#include "common/progress.h"
#include "common/resultitems.h"
#include "common/settings.h"
#include "common/status.h"

#include <cstdint>
#include <string>
#include <vector>

namespace varenta {

// The program folder's tables the export reads: "tolvf.org", "tolvg.org"
// and "tolvi.ini" ("tolvi.org" when there is no "tolvi.ini").
struct ExportTables {
    Settings settings;
    ChannelTable channels;
    ResultItemTable items;
};
Status loadExportTables(const std::string& programFolder, ExportTables& out, std::string* message);

struct ExportRequest {
    std::string masterPath;     // the measurement file (a results file name is taken as its partner)
    long long first = 1;        // first measurement number
    long long last = 0;         // last one; 0 or below: to the end of the file
    double utcOffsetHours = 0;  // the logger clock's offset from UTC
};

struct ExportResult {
    Status status = Status::Ok;
    std::string message;  // one line naming the file on failure
    int bursts = 0;       // bursts written
    int skipped = 0;      // measurements of the range that could not be read
    std::vector<std::string> files;
};

// The ASCII short name of a channel kind ("pressure", "current_x", ...;
// "channel_<code>" for kinds without one), its CF standard name ("" when
// CF has none) and the unit of the channel table's text in UDUNITS form.
std::string channelShortName(int code);
std::string channelStandardName(int code);
std::string udunitsOf(const std::string& tableUnit, int code);

// Seconds since 1970-01-01T00:00:00Z of a header's start time, the header
// time being the logger's clock at utcOffsetHours from UTC.
double headerEpochSeconds(const MeasurementHeader& h, double utcOffsetHours);
// ISO-8601 UTC text with milliseconds ("2026-05-06T10:00:00.500Z").
std::string isoTime(double epochSeconds);

// How "sample_time" is stored.  Packed: 32-bit integers t = n * scale +
// offset (CF packing), taken when that is exact for every sample (the
// interval a binary fraction of a second, the same in every burst, every
// start a whole number of intervals from the first, all within range);
// otherwise the seconds as doubles.
struct BurstClock {
    double start = 0;  // seconds since 1970 of the first sample
    double dt = 1;     // sample interval (s)
};
struct SampleTimePacking {
    bool packed = false;
    double scale = 1;
    double offset = 0;
};
SampleTimePacking sampleTimePacking(const std::vector<BurstClock>& bursts, int samples);

// Writes outPath (to a temporary name first, renamed when complete).
ExportResult exportNetcdf(const ExportRequest& req, const ExportTables& tables, const std::string& outPath,
                          const Progress& progress = {});
// Writes outDir/<master base name>-<nnnnn>.csv per burst.
ExportResult exportCsv(const ExportRequest& req, const ExportTables& tables, const std::string& outDir,
                       const Progress& progress = {});

}  // namespace varenta
