#pragma once
// The scan of arriving files: one folder (file mode) or a block of user
// folders under the base (folder mode) are looked at every tick; a file
// matching the arriving-file pattern that has been seen in enough
// consecutive ticks is taken: merged into its master file in the same
// folder, processed, and deleted.  A measurement file ("M" as the sixth
// character) takes its results companion ("*r.tmp") first.
//
// The user-folder table ("tolvu.org" in the program folder) holds 256
// entries of 18 characters; the folder of index i is the first 10
// characters of entry i.
#include "common/progress.h"
#include "common/status.h"
#include "tolv/data/merge.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace varenta {

inline constexpr const char* kUserFolderTableName = "tolvu.org";
constexpr int kUserFolderEntries = 256;
constexpr std::size_t kUserFolderEntryLength = 18;
constexpr std::size_t kUserFolderNameLength = 10;

// Reads the table (code-page text, one entry a line).  DataFormat when it
// holds fewer than 256 entries or an entry is not 18 characters long.
Status loadUserFolderTable(const std::string& path, std::vector<std::string>& entries);

// A folder name used as it stands: not empty, no "/", no NUL, not "." or
// "..".
bool plainFolderName(const std::string& name);

struct ScanConfig {
    bool fileMode = false;       // start flag 0x01
    std::string base;            // the user-folder base
    std::uint32_t skipMask = 0;  // command-line field 5
    int block = 0;               // item 84 value 0
    int blockSize = 0;           // item 84 value 1
    std::string pattern;         // item 83 value 1
    int takeAfter = 1;           // item 83 value 3
};

struct ScanFolder {
    int index = 0;       // user-folder index (0 in file mode)
    std::string path;
};

// The folders of a tick.  rejected receives a line for every table entry
// that is not a plain folder name (it is skipped).
std::vector<ScanFolder> scanFolders(const ScanConfig& c, const std::vector<std::string>& table,
                                    std::vector<std::string>* rejected = nullptr);

// What the scan does with the files it takes.
struct ScanHost {
    std::function<void(const std::string&)> status;                 // status panel (and the log)
    std::function<void(const std::string& path)> taking;            // item 83 value 0
    // Opens and processes a master file (and publishes it).
    std::function<void(const std::string& masterPath)> process;
    std::function<void(const std::string& webFolder)> webFolder;    // the folder being worked on
    std::function<void()> saveSettings;
    Progress progress;                                              // pauses, serve events, stop
};

struct TakeOutcome {
    Status status = Status::Ok;  // Ok (merged or too short), or the merge failure (file kept)
    std::string file;
    MergeOutcome merge;
    bool processed = false;
    bool deleted = false;
};

class WebScanner {
public:
    // Counters of every folder back to 0 (the scan starts).
    void reset() { counters_.assign(kUserFolderEntries, 0); }
    int counter(int index) const;

    // One tick over the folders; the files taken, in order.
    std::vector<TakeOutcome> tick(const ScanConfig& c, const std::vector<ScanFolder>& folders, ScanHost& host);

    // Takes one arrived file: merged into folder/<name>.h10 (also when that
    // master file exists, so later bursts reach it), processed, deleted.  A
    // file shorter than one sector is deleted without merging; a merge that
    // fails keeps the file for the next tick.
    // withProcessing false: merged only (a results companion whose
    // measurement file is processed right after it).
    static TakeOutcome take(const std::string& folder, const std::string& name, ScanHost& host,
                            bool withProcessing = true);

private:
    std::vector<int> counters_ = std::vector<int>(kUserFolderEntries, 0);
};

}  // namespace varenta
