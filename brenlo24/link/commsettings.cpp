#include "brenlo24/link/commsettings.h"

#include "common/resultitems.h"

#include <cctype>
#include <charconv>

namespace varenta {

const std::vector<int> kSpeedList = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
const std::vector<int> kDurationList = {1, 2, 5, 10, 20, 30, 60};
const std::vector<int> kIntervalList = {1, 2, 5, 10, 20, 30, 60, 120, 240};
const std::vector<int> kAutoIntervalList = {1, 2, 5, 10, 20, 30, 60, 120, 240, 360};

namespace {

std::string_view trimView(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

bool readInt(std::string_view s, long long lo, long long hi, int& out)
{
    s = trimView(s);
    long long v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || p != s.data() + s.size() || s.empty() || v < lo || v > hi)
        return false;
    out = static_cast<int>(v);
    return true;
}

bool readHex32(std::string_view s, std::uint32_t& out)
{
    s = trimView(s);
    if (s.empty() || s.size() > 8)
        return false;
    std::uint32_t v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v, 16);
    if (ec != std::errc() || p != s.data() + s.size())
        return false;
    out = v;
    return true;
}

}  // namespace

int autoFirstNumberFor(std::uint32_t optionFlags)
{
    const int low = static_cast<int>(optionFlags & optflag::kAutoFirstMask);
    return low ? -low : -1;
}

std::vector<std::string> applyCommandLine(std::string_view line, CommSettings& s)
{
    std::vector<std::string> problems;
    int position = 0;
    std::size_t start = 0;
    while (start <= line.size()) {
        const std::size_t comma = line.find(',', start);
        const std::string_view raw =
            line.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
        ++position;
        const std::string_view item = trimView(raw);
        if (!item.empty()) {
            bool ok = true;
            switch (position) {
            case 1: {
                int n = 0;
                ok = item.size() > 3 && readInt(item.substr(3), 1, 255, n);
                if (ok)
                    s.portNumber = n;
                break;
            }
            case 2: {
                int v = 0;
                ok = readInt(item, 50, 4000000, v);
                if (ok)
                    s.selectedSpeed = v;
                break;
            }
            case 3: {
                int v = 0;
                ok = readInt(item, 0, 65535, v);
                if (ok)
                    s.machineNumber = v;
                break;
            }
            case 4: break;  // not used
            case 5: {
                std::uint32_t f = 0;
                ok = readHex32(item, f);
                if (ok) {
                    s.optionFlags = f;
                    s.autoFirstNumber = autoFirstNumberFor(f);
                }
                break;
            }
            case 6: {
                int v = 0;
                ok = readInt(item, 0, 23, v);
                if (ok)
                    s.autoHour = v;
                break;
            }
            case 7: {
                int v = 0;
                ok = readInt(item, 0, 59, v);
                if (ok)
                    s.autoMinute = v;
                break;
            }
            case 8: {
                int v = 0;
                ok = readInt(item, 1, 1440, v);
                if (ok)
                    s.autoInterval = v;
                break;
            }
            default: ok = false; break;
            }
            if (!ok)
                problems.push_back("item " + std::to_string(position) + ": \"" + std::string(item) + "\"");
        }
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    return problems;
}

int alignedCollectionMinutes(int hour, int minute, int interval, const DateTime& now)
{
    const int configured = hour * 60 + minute;
    if (interval <= 0)
        return configured;
    const int phase = configured % interval;
    const int nowMinutes = now.hour * 60 + now.minute;
    int next = (nowMinutes / interval) * interval + phase;
    const int secondsOfDay = nowMinutes * 60 + now.second;
    // "At or past": whole seconds of the day divided by 60 against the slot.
    if (secondsOfDay >= next * 60)
        next += interval;
    return next;
}

std::uint8_t ChannelTypes::slotFor(int r) const
{
    if (r <= 0 || r >= static_cast<int>(addend.size()))
        return 0;
    return static_cast<std::uint8_t>((r + addend[static_cast<std::size_t>(r)]) & 0xFF);
}

ChannelTypes channelTypesFrom(const ChannelTable& table)
{
    ChannelTypes t;
    const int n = table.highestCode();
    for (int code = 0; code <= n; ++code) {
        t.names.push_back(trimBlanks(table.value(code, 0)));
        t.addend.push_back(static_cast<int>(textToHex(table.value(code, 4))));
    }
    t.status = Status::Ok;
    return t;
}

ChannelTypes loadChannelTypes(const std::string& path)
{
    ChannelTable table;
    const Status st = table.load(path);
    if (st != Status::Ok) {
        ChannelTypes t;
        t.status = st;
        return t;
    }
    return channelTypesFrom(table);
}

ResultListLayout resultListLayoutFrom(const Settings& s)
{
    ResultListLayout l;
    l.codes = threeDigitCodes(s.value(165, 1), kSelectionEntries);
    l.status = l.codes.empty() ? Status::DataFormat : Status::Ok;
    for (std::size_t c = 0; c < l.codes.size(); ++c)
        if (l.codes[c] == kRunningNumberCode) {
            l.numberField = static_cast<int>(c);
            break;
        }
    return l;
}

}  // namespace varenta
