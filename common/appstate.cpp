#include "common/appstate.h"

#include "common/settings.h"

#include <vector>

namespace varenta {

StartOptions parseStartOptions(std::string_view argument, const std::string& programFolder)
{
    std::vector<std::string> fields;
    std::size_t pos = 0;
    while (fields.size() < 5) {
        const std::size_t comma = argument.find(',', pos);
        fields.push_back(trimBlanks(argument.substr(pos, comma == std::string_view::npos ? std::string_view::npos : comma - pos)));
        if (comma == std::string_view::npos)
            break;
        pos = comma + 1;
    }
    fields.resize(5);

    StartOptions o;
    // A quoted argument (as a shell may pass it) counts without its quotes.
    for (std::string& f : fields)
        if (f.size() >= 2 && f.front() == '"' && f.back() == '"')
            f = trimBlanks(f.substr(1, f.size() - 2));
    o.flags = textToHex(fields[0]);
    o.initFile = fields[1];
    o.field3 = fields[2];
    o.userBase = fields[3];
    o.field5 = fields[4];
    o.skipMask = textToHex(fields[4]);
    if (o.has(startflag::kUserFolderMode)) {
        o.flags |= startflag::kFileMode | startflag::kFolderInit;
        o.userBase = programFolder;
    }
    return o;
}

}  // namespace varenta
