#pragma once
// The channel definition table ("tolvf.org"): per channel type code up to
// five texts; value 2 is the factor from counts to the physical unit.
#include "common/status.h"

#include <array>
#include <string>
#include <vector>

namespace varenta {

struct ChannelDef {
    bool defined = false;
    std::array<std::string, 5> values;  // values 0..4 as written (trimmed of the line end)
    double factor = 1.0;                // value 2 as a number (1 when blank or not a number)
};

class ChannelTable {
public:
    // Reads the table; a missing file gives NotFound, a first line without
    // the three-digit highest code gives DataFormat.  Short lines keep the
    // values they have; the rest stay blank.
    Status load(const std::string& path);
    // Parses lines already read (UTF-8).
    Status parse(const std::vector<std::string>& lines);

    int highestCode() const { return highest_; }
    const ChannelDef& def(int code) const;
    double factor(int code) const { return def(code).factor; }
    const std::string& value(int code, int k) const;
    // Channel name (value 0) or "CHn" when undefined.
    std::string name(int code) const;

private:
    int highest_ = 0;
    std::vector<ChannelDef> defs_;
    ChannelDef none_;
};

}  // namespace varenta
