// Test-only driver: runs one rewrite of the master file editors without a
// window, so that the kill tests can stop it at any moment.
//
//   editdriver mdate MASTER RESULTS SECTORS LAST "yy/mm/dd hh:mm"
//   editdriver resize MASTER SECTORS STAMPED
//   editdriver rawsave MASTER NUMBER TEXTFILE
#include "common/channeltable.h"
#include "common/fileio.h"
#include "common/textfile.h"
#include "tolv/data/tablesave.h"
#include "tolv/shell/masteredit.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

using namespace varenta;

namespace {

int fail(const std::string& why)
{
    std::fprintf(stderr, "editdriver: %s\n", why.c_str());
    return 2;
}

std::optional<MeasurementHeader> headerAt(const std::string& path, long long offset)
{
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0)
        return std::nullopt;
    Sector s{};
    const bool ok = readAllAt(fd, reinterpret_cast<char*>(s.data()), s.size(), static_cast<std::uint64_t>(offset));
    ::close(fd);
    return ok ? readValidHeader(s.data()) : std::nullopt;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string cmd = argc > 1 ? argv[1] : "";
    if (cmd == "mdate" && argc == 7) {
        const auto start = parseShortDate(argv[6]);
        if (!start)
            return fail("not a date");
        const DateUpdateRequest rq{argv[2], argv[3], std::atoi(argv[4]), std::atoll(argv[5]), *start, 60};
        const DateUpdateOutcome out = updateMeasurementDates(rq, nullptr);
        return out.status == Status::Ok ? 0 : fail(out.message);
    }
    if (cmd == "resize" && argc == 5) {
        ResizePlan plan;
        if (planResize(argv[2], std::atoi(argv[3]), plan) != Status::Ok || !plan.canShrink)
            return fail("nothing to cut");
        std::string msg;
        return shrinkMasterFile(argv[2], plan, argv[4], nullptr, {}, &msg) == Status::Ok ? 0 : fail(msg);
    }
    if (cmd == "rawsave" && argc == 5) {
        const auto first = headerAt(argv[2], 0);
        if (!first)
            return fail("no header");
        const long long offset = (std::atoll(argv[3]) - 1) * 512LL * first->sectorsPerMeasurement;
        const auto h = headerAt(argv[2], offset);
        if (!h)
            return fail("no header at the measurement");
        std::string text;
        if (readFileBytes(argv[4], text) != Status::Ok)
            return fail("no table text");
        const ChannelTable table;  // factor 1 for every channel
        RawSaveRequest rq;
        rq.measurementPath = argv[2];
        rq.offset = offset;
        rq.header = &*h;
        rq.channels = &table;
        for (int i = 0; i < h->channelCount; ++i)
            rq.displayed.push_back(i);
        rq.text = std::move(text);
        const RawSaveOutcome out = saveRawTable(rq);
        return out.status == Status::Ok ? 0 : fail(out.message);
    }
    return fail("usage: mdate|resize|rawsave ...");
}
