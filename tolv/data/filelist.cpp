#include "tolv/data/filelist.h"

#include "common/masterfile.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace varenta {

namespace {

bool equalIgnoringCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

bool isFile(const fs::path& p)
{
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

}  // namespace

std::string filePrefixOf(const std::string& path)
{
    if (path.size() < 10)
        return {};
    return path.substr(path.size() - 10, 2);
}

std::string findIgnoringCase(const std::string& path)
{
    if (path.empty())
        return {};
    const fs::path p(path);
    if (isFile(p))
        return path;
    const fs::path dir = p.parent_path().empty() ? fs::path(".") : p.parent_path();
    const std::string name = p.filename().string();
    std::error_code ec;
    fs::directory_iterator it(dir, ec);
    if (ec)
        return {};
    std::string best;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec)
            break;
        const std::string cand = it->path().filename().string();
        if (equalIgnoringCase(cand, name) && isFile(it->path())) {
            // Several candidates: take the first in name order, so that the
            // choice does not depend on the directory's order.
            if (best.empty() || cand < best)
                best = cand;
        }
    }
    if (best.empty())
        return {};
    return p.parent_path().empty() ? best : (p.parent_path() / best).string();
}

std::string existingPartner(const std::string& path)
{
    const std::string formed = partnerFileName(path);
    const std::string found = findIgnoringCase(formed);
    return found.empty() ? formed : found;
}

std::array<std::string, kFileListSize> fileList(const Settings& s)
{
    std::array<std::string, kFileListSize> out;
    for (int k = 0; k < kFileListSize; ++k)
        out[static_cast<std::size_t>(k)] = s.value(kFileListItem, k);
    return out;
}

int pushFileList(Settings& s, const std::string& path)
{
    std::array<std::string, kFileListSize> list = fileList(s);
    for (int k = 0; k < kFileListSize; ++k) {
        if (trimBlanks(list[static_cast<std::size_t>(k)]) == trimBlanks(path)) {
            for (int j = k; j + 1 < kFileListSize; ++j)
                list[static_cast<std::size_t>(j)] = list[static_cast<std::size_t>(j + 1)];
            list[kFileListSize - 1].clear();
            break;
        }
    }
    for (int j = kFileListSize - 1; j > 0; --j)
        list[static_cast<std::size_t>(j)] = list[static_cast<std::size_t>(j - 1)];
    list[0] = path;
    int count = 0;
    for (int k = 0; k < kFileListSize; ++k) {
        s.set(kFileListItem, k, list[static_cast<std::size_t>(k)]);
        if (!trimBlanks(list[static_cast<std::size_t>(k)]).empty())
            ++count;
    }
    return count;
}

int ScrollMapping::maximum(std::int64_t latest)
{
    if (latest < 1)
        return 1;
    return latest < 32768 ? static_cast<int>(latest) : 32767;
}

int ScrollMapping::valueFor(std::int64_t n, std::int64_t latest)
{
    if (latest < 1)
        return 1;
    n = std::clamp<std::int64_t>(n, 1, latest);
    if (latest < 32768 || n <= 32767)
        return static_cast<int>(n);
    if (latest - n < 32767)
        return static_cast<int>(n - latest + 32767);
    // Middle range: 32768 .. latest - 32767 spread over 1 .. 32767 in order.
    const std::int64_t lo = 32768, hi = latest - 32767;
    if (hi <= lo)
        return 1;
    return static_cast<int>(1 + (n - lo) * 32766 / (hi - lo));
}

std::int64_t ScrollMapping::numberAfterChange(std::int64_t current, int lastValue, int newValue, std::int64_t latest)
{
    const std::int64_t n = current + (static_cast<std::int64_t>(newValue) - lastValue);
    if (latest < 1)
        return 1;
    return std::clamp<std::int64_t>(n, 1, latest);
}

}  // namespace varenta
