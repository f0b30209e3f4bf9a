#include "common/channeltable.h"

#include "common/textfile.h"

#include <cctype>
#include <cstdlib>

namespace varenta {

Status ChannelTable::parse(const std::vector<std::string>& lines)
{
    highest_ = 0;
    defs_.clear();
    if (lines.empty())
        return Status::DataFormat;
    // Line 1 ends with a three-digit number: the highest channel code.
    std::string first = lines[0];
    while (!first.empty() && (first.back() == ' ' || first.back() == '\t' || first.back() == '\r'))
        first.pop_back();
    if (first.size() < 3)
        return Status::DataFormat;
    const std::string tail = first.substr(first.size() - 3);
    for (char c : tail)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return Status::DataFormat;
    highest_ = std::atoi(tail.c_str());
    defs_.assign(static_cast<std::size_t>(highest_) + 1, ChannelDef{});
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.empty() || !std::isdigit(static_cast<unsigned char>(line[0])))
            continue;
        const int code = std::atoi(line.substr(0, 3).c_str());
        if (code > highest_)
            break;
        ChannelDef& d = defs_[static_cast<std::size_t>(code)];
        d = ChannelDef{};
        d.defined = true;
        if (line.size() > 4) {
            std::string rest = line.substr(4);
            std::size_t k = 0, pos = 0;
            while (k < 5) {
                const std::size_t comma = rest.find(',', pos);
                d.values[k++] = rest.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
                if (comma == std::string::npos)
                    break;
                pos = comma + 1;
            }
        }
        char* end = nullptr;
        const std::string& f = d.values[2];
        const double v = std::strtod(f.c_str(), &end);
        d.factor = (end && end != f.c_str()) ? v : 1.0;
    }
    return Status::Ok;
}

Status ChannelTable::load(const std::string& path)
{
    std::vector<std::string> lines;
    const Status st = readTextLines(path, lines);
    if (st != Status::Ok)
        return st;
    return parse(lines);
}

const ChannelDef& ChannelTable::def(int code) const
{
    if (code < 0 || code >= static_cast<int>(defs_.size()))
        return none_;
    return defs_[static_cast<std::size_t>(code)];
}

const std::string& ChannelTable::value(int code, int k) const
{
    static const std::string empty;
    if (k < 0 || k > 4)
        return empty;
    return def(code).values[static_cast<std::size_t>(k)];
}

std::string ChannelTable::name(int code) const
{
    const ChannelDef& d = def(code);
    if (d.defined && !d.values[0].empty())
        return d.values[0];
    return "CH" + std::to_string(code);
}

}  // namespace varenta
