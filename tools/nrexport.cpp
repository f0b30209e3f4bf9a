// nrexport: a master file pair written for analysis in other software.
//
//   nrexport [--first N] [--last N] [--utc-offset HOURS] MASTER OUT.nc
//   nrexport --csv [--first N] [--last N] [--utc-offset HOURS] MASTER OUTDIR
//
// The channel factors and names, the result items and the settings come
// from "tolvf.org", "tolvg.org" and "tolvi.ini" in the program folder
// (VARENTA_HOME, else the folder of this program).  A failure prints one
// line naming the file on standard error, leaves no output and exits 1.
#include "common/cliinfo.h"
#include "common/installdata.h"
#include "common/progfolder.h"
#include "tolv/publish/analysisexport.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

const char* const kUsage =
    "usage: nrexport [--csv] [--first N] [--last N] [--utc-offset HOURS] MASTER OUT\n"
    "Exports the measurements of a master data file for analysis.\n"
    "  OUT is the NetCDF file, or with --csv the folder of the CSV files\n"
    "  --first N, --last N   the measurement numbers exported (default: all)\n"
    "  --utc-offset HOURS    the logger clock's offset from UTC\n"
    "The channel and result-item tables are read from the program folder.\n";

int usage()
{
    std::fprintf(stderr, "%s", kUsage);
    return 2;
}

bool number(const char* text, double& out)
{
    char* end = nullptr;
    out = std::strtod(text, &end);
    return end != text && *end == '\0';
}

}  // namespace

int main(int argc, char** argv)
{
    using namespace varenta;
    if (answerInfoOption(argc, argv, "nrexport", kUsage))
        return 0;
    bool csv = false;
    ExportRequest req;
    std::string out;
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        double v = 0;
        if (a == "--csv") {
            csv = true;
        } else if ((a == "--first" || a == "--last" || a == "--utc-offset") && i + 1 < argc) {
            if (!number(argv[++i], v)) {
                std::fprintf(stderr, "nrexport: %s needs a number, not \"%s\"\n", a.c_str(), argv[i]);
                return 2;
            }
            if (a == "--first")
                req.first = static_cast<long long>(v);
            else if (a == "--last")
                req.last = static_cast<long long>(v);
            else
                req.utcOffsetHours = v;
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            return usage();
        } else if (positional == 0) {
            req.masterPath = a, ++positional;
        } else if (positional == 1) {
            out = a, ++positional;
        } else {
            return usage();
        }
    }
    if (positional != 2)
        return usage();

    // The tables come from the program folder; an installed nrexport started
    // before either window program prepares the per-user folder as they do.
    const FolderChoice folder = chooseProgramFolder(argc > 0 ? argv[0] : "");
    bool prepared = false;
    std::string message;
    if (prepareProgramFolder(folder, prepared, message) != Status::Ok) {
        std::fprintf(stderr, "nrexport: %s\n", message.c_str());
        return 1;
    }
    if (prepared)
        std::fprintf(stderr, "nrexport: prepared the program folder %s\n", folder.folder.c_str());
    setProgramFolder(folder.folder);
    ExportTables tables;
    if (loadExportTables(programFolder(), tables, &message) != Status::Ok) {
        std::fprintf(stderr, "nrexport: %s\n", message.c_str());
        return 1;
    }
    const ExportResult r = csv ? exportCsv(req, tables, out) : exportNetcdf(req, tables, out);
    if (r.status != Status::Ok) {
        std::fprintf(stderr, "nrexport: %s\n", r.message.c_str());
        return 1;
    }
    std::printf("%s: %d bursts written, %d skipped\n", out.c_str(), r.bursts, r.skipped);
    return 0;
}
