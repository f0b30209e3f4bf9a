#include "common/progfolder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace varenta {

namespace {
std::string& folderStore()
{
    static std::string folder = ".";
    return folder;
}
}  // namespace

std::string resolveProgramFolder(const std::string& executablePath)
{
    if (const char* home = std::getenv("VARENTA_HOME"); home && *home) {
        std::error_code ec;
        fs::path p = fs::absolute(home, ec);
        return (ec ? fs::path(home) : p).lexically_normal().string();
    }
    std::error_code ec;
    fs::path exe = fs::canonical("/proc/self/exe", ec);
    if (ec || exe.empty())
        exe = fs::absolute(executablePath, ec);
    fs::path dir = exe.parent_path();
    return dir.empty() ? std::string(".") : dir.string();
}

const std::string& programFolder() { return folderStore(); }

void setProgramFolder(const std::string& folder)
{
    std::string f = folder;
    while (f.size() > 1 && f.back() == '/')
        f.pop_back();
    folderStore() = f.empty() ? std::string(".") : f;
}

std::string programFile(const std::string& name)
{
    if (!name.empty() && name.front() == '/')
        return name;
    return (fs::path(folderStore()) / name).string();
}

bool enterProgramFolder()
{
    std::error_code ec;
    fs::current_path(folderStore(), ec);
    return !ec;
}

}  // namespace varenta
