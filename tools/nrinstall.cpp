// Prepares a program folder from the installation data of the source tree,
// and places the programs built beside nrinstall that belong in it (the
// directional spectrum estimators emep2 and bayes2).
//   nrinstall DATA_DIR PROGRAM_FOLDER
#include "common/cliinfo.h"
#include "common/installdata.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// Copies an executable into the folder under a temporary name and renames
// it over the target, so a program folder never holds half a program.
bool installProgram(const fs::path& from, const fs::path& folder, std::string& message)
{
    std::error_code ec;
    const fs::path target = folder / from.filename();
    const fs::path temp = folder / (from.filename().string() + ".new");
    fs::copy_file(from, temp, fs::copy_options::overwrite_existing, ec);
    if (!ec)
        fs::permissions(temp, fs::status(from).permissions(), ec);
    if (!ec)
        fs::rename(temp, target, ec);
    if (ec) {
        fs::remove(temp);
        message = "cannot install " + from.string() + ": " + ec.message();
        return false;
    }
    return true;
}

}  // namespace

const char* const kUsage =
    "usage: nrinstall DATA_DIR PROGRAM_FOLDER\n"
    "Prepares a program folder (a portable copy) from installation data: the tables and\n"
    "templates are written in the Japanese code page with CR LF, help pages copied, and the\n"
    "estimators emep2 and bayes2 built beside nrinstall are placed in the folder.\n"
    "Files already in the folder are replaced; nothing else is touched.\n";

int main(int argc, char** argv)
{
    if (varenta::answerInfoOption(argc, argv, "nrinstall", kUsage))
        return 0;
    if (argc != 3) {
        std::fprintf(stderr, "%s", kUsage);
        return 2;
    }
    std::string message;
    if (varenta::installProgramData(argv[1], argv[2], &message) != varenta::Status::Ok) {
        std::fprintf(stderr, "nrinstall: %s\n", message.c_str());
        return 1;
    }
    std::error_code ec;
    const fs::path self = fs::canonical("/proc/self/exe", ec);
    if (!ec) {
        for (const char* name : {"emep2", "bayes2"}) {
            const fs::path program = self.parent_path() / name;
            if (!fs::is_regular_file(program, ec))
                continue;
            if (!installProgram(program, argv[2], message)) {
                std::fprintf(stderr, "nrinstall: %s\n", message.c_str());
                return 1;
            }
        }
    }
    std::printf("installed %s into %s\n", argv[1], argv[2]);
    return 0;
}
