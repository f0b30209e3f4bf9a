#pragma once
// Storing what a collection run receives: data and header packets as
// sectors of the master data file (at 512 x packet number), binary result
// packets as sectors of the binary result file, and result lines as the
// fixed 392-byte lines of the result list (line m + 1 for measurement m).
//
// Every packet is written by open, write, close: nothing stays open between
// packets, so a run cut short leaves complete sectors on disk.  A packet is
// reported as stored only once its bytes were handed to the file system;
// the receiver acknowledges it only then.  The result list is made from
// the "Brenloid.txt" template through a complete temporary file put in
// place under its name, so a run killed at any moment never leaves a list
// without the template's lines; a list shorter than the template is made
// again.
#include "brenlo24/link/packet.h"
#include "common/status.h"

#include <cstdint>
#include <string>

namespace varenta {

// The highest packet number a file takes (2 GiB of sectors); packets above
// it are dropped.
constexpr std::uint32_t kMaxPacketNumber = 0x3FFFFF;
// Result list: lines of 392 bytes, taken from packet offsets 8..399.
constexpr std::size_t kResultLineSize = 392;
constexpr std::size_t kResultLineOffset = 8;
// Kind bytes above this mark result packets of the binary result file.
constexpr std::uint8_t kBinaryResultKindAbove = 191;

inline constexpr const char* kResultListTemplate = "Brenloid.txt";

// Texts of the writer for the status line.
namespace collecttext {
inline constexpr const char* kWriteError = "ファイル書込み不可 ";  // followed by the file name
}  // namespace collecttext

enum class CollectFile { Master, BinaryResult, ResultList };

// "sm" for the model codes 20, 30 and 31, "nr" for every other.
std::string collectionPrefix(int modelCode);
// The file name without folder: prefix, machine number as three digits,
// then "m.h10", "r.h10" or "r.txt"; option flag 0x200 gives "m.tmp" and
// "r.tmp" (the result list keeps ".txt").  Machine 255, model 0, no flags:
// "nr255m.h10".
std::string collectionFileName(CollectFile kind, int modelCode, int machineNumber, std::uint32_t optionFlags);

// The measurement number of a result line: the five characters of field
// `field` (record layout: field c at line character (c div 8) x 49 +
// (c mod 8) x 6), trimmed and read as an integer.  -1 when they do not
// read as one.
long long resultLineNumber(const Packet& p, int field);

struct CollectionConfig {
    std::string folder;             // program folder
    std::uint32_t optionFlags = 0;  // 0x200 ".tmp" names, 0x10000 lines appended
    int numberField = 0;            // result-list field that holds the measurement number
};

// What one store did.
struct StoreOutcome {
    enum class What { None, Sector, ResultSector, ResultLine, Dropped };
    What what = What::None;
    std::string path;          // the file written (or that failed)
    std::uint64_t offset = 0;  // where the bytes went (appended lines: the old end)
    long long measurement = 0; // result line: its measurement number
    // Status panel after a result line: machine "-" m; date "yy/mm/dd";
    // time "hh:mm:00".
    std::string panelNumber, panelDate, panelTime;
    std::string error;         // status-line text of a failure
};

class PacketWriter {
public:
    explicit PacketWriter(CollectionConfig cfg = {}) : cfg_(std::move(cfg)) {}
    void setConfig(CollectionConfig cfg) { cfg_ = std::move(cfg); }
    const CollectionConfig& config() const { return cfg_; }

    // Stores a data, header or result packet.  modelCode is the model code
    // of the current status record (it picks the "sm"/"nr" prefix).
    // Ok: written, or dropped on purpose (a packet number above 0x3FFFFF, a
    // result line whose measurement number is below 1); Io: the file could
    // not be created or written (out.error says which), nothing is to be
    // acknowledged.
    Status store(const Packet& p, int modelCode, StoreOutcome& out);

    struct Counters {
        std::size_t sectors = 0;
        std::size_t resultSectors = 0;
        std::size_t resultLines = 0;
        std::size_t dropped = 0;
        std::size_t failures = 0;
    };
    const Counters& counters() const { return counters_; }
    void resetCounters() { counters_ = {}; }

private:
    Status writeSector(const std::string& path, const Packet& p, std::uint32_t number, StoreOutcome& out);
    Status writeResultLine(const std::string& path, const Packet& p, long long m, StoreOutcome& out);
    std::string pathOf(const std::string& name) const;

    CollectionConfig cfg_;
    Counters counters_;
};

}  // namespace varenta
