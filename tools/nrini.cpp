// Reads or changes values of an initialization file, keeping its heading
// lines in place.
//   nrini FILE get ITEM VALUE
//   nrini FILE set ITEM VALUE TEXT [ITEM VALUE TEXT ...]
#include "common/cliinfo.h"
#include "common/settings.h"
#include "common/textfile.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const char* const kUsage =
    "usage: nrini FILE get ITEM VALUE\n"
    "       nrini FILE set ITEM VALUE TEXT [ITEM VALUE TEXT ...]\n"
    "Reads or changes values of an initialization file, keeping its heading lines.\n"
    "ITEM is 0..199, VALUE 0..7; TEXT may be empty (\"\") but cannot hold a comma.\n";

int usage()
{
    std::fprintf(stderr, "%s", kUsage);
    return 2;
}

bool number(const char* s, int lo, int hi, int& out)
{
    char* end = nullptr;
    const long v = std::strtol(s, &end, 10);
    if (!end || *end || end == s || v < lo || v > hi)
        return false;
    out = static_cast<int>(v);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    using namespace varenta;
    if (answerInfoOption(argc, argv, "nrini", kUsage))
        return 0;
    if (argc < 5)
        return usage();
    const std::string path = argv[1];
    const std::string verb = argv[2];
    std::vector<std::string> lines;
    if (readTextLines(path, lines) != Status::Ok) {
        std::fprintf(stderr, "nrini: cannot read %s\n", path.c_str());
        return 1;
    }
    Settings s;
    if (s.parse(lines) != Status::Ok) {
        std::fprintf(stderr, "nrini: %s has no item 199 line; not an initialization file\n", path.c_str());
        return 1;
    }
    if (verb == "get") {
        int item = 0, value = 0;
        if (argc != 5 || !number(argv[3], 0, 199, item) || !number(argv[4], 0, 7, value))
            return usage();
        std::printf("%s\n", s.value(item, value).c_str());
        return 0;
    }
    if (verb != "set" || (argc - 3) % 3 != 0)
        return usage();
    for (int i = 3; i < argc; i += 3) {
        int item = 0, value = 0;
        if (!number(argv[i], 0, 199, item) || !number(argv[i + 1], 0, 7, value))
            return usage();
        const std::string text = argv[i + 2];
        if (text.find(',') != std::string::npos) {
            std::fprintf(stderr, "nrini: a value cannot contain a comma\n");
            return 2;
        }
        s.set(item, value, text);
    }
    if (writeTextLines(path, s.render(lines)) != Status::Ok) {
        std::fprintf(stderr, "nrini: cannot write %s\n", path.c_str());
        return 1;
    }
    return 0;
}
