#include "common/progfolder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace varenta {

namespace {
std::string& folderStore()
{
    static std::string folder = ".";
    return folder;
}

std::string& programsStore()
{
    static std::string folder;
    return folder;
}

std::string absoluteNormal(const std::string& path)
{
    std::error_code ec;
    fs::path p = fs::absolute(path, ec);
    return (ec ? fs::path(path) : p).lexically_normal().string();
}

std::string withoutTrailingSlash(std::string f)
{
    while (f.size() > 1 && f.back() == '/')
        f.pop_back();
    return f;
}

// The home folder from the password database when HOME is not set.
std::string passwordHome()
{
    std::vector<char> buf(16384);
    passwd pw{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && found->pw_dir)
        return found->pw_dir;
    return {};
}
}  // namespace

FolderChoice chooseProgramFolder(const std::string& exeFolder, const char* varentaHome, const char* xdgDataHome,
                                 const char* home)
{
    FolderChoice c;
    const fs::path exe = exeFolder.empty() ? fs::path(".") : fs::path(exeFolder);
    const fs::path prefix = exe.parent_path();
    c.programsFolder = (prefix / "lib" / "varenta").lexically_normal().string();
    if (varentaHome && *varentaHome) {
        c.source = FolderSource::Environment;
        c.folder = withoutTrailingSlash(absoluteNormal(varentaHome));
        return c;
    }
    std::error_code ec;
    if (fs::is_regular_file(exe / "tolvi.org", ec)) {
        c.source = FolderSource::Portable;
        c.folder = withoutTrailingSlash(exe.string());
        return c;
    }
    c.source = FolderSource::PerUser;
    c.dataFolder = (prefix / "share" / "varenta").lexically_normal().string();
    fs::path base;
    if (xdgDataHome && *xdgDataHome == '/')
        base = xdgDataHome;
    else if (home && *home == '/')
        base = fs::path(home) / ".local" / "share";
    if (!base.empty())
        c.folder = withoutTrailingSlash((base / "varenta").lexically_normal().string());
    return c;
}

std::string executableFolder(const std::string& executablePath)
{
    std::error_code ec;
    fs::path exe = fs::canonical("/proc/self/exe", ec);
    if (ec || exe.empty())
        exe = fs::absolute(executablePath, ec);
    fs::path dir = exe.parent_path();
    return dir.empty() ? std::string(".") : dir.string();
}

FolderChoice chooseProgramFolder(const std::string& executablePath)
{
    const char* home = std::getenv("HOME");
    std::string fromPasswd;
    if (!(home && *home == '/')) {
        fromPasswd = passwordHome();
        home = fromPasswd.c_str();
    }
    return chooseProgramFolder(executableFolder(executablePath), std::getenv("VARENTA_HOME"),
                               std::getenv("XDG_DATA_HOME"), home);
}

std::string resolveProgramFolder(const std::string& executablePath)
{
    return chooseProgramFolder(executablePath).folder;
}

const std::string& programFolder() { return folderStore(); }

void setProgramFolder(const std::string& folder)
{
    const std::string f = withoutTrailingSlash(folder);
    folderStore() = f.empty() ? std::string(".") : f;
}

const std::string& programsFolder() { return programsStore(); }

void setProgramsFolder(const std::string& folder) { programsStore() = withoutTrailingSlash(folder); }

std::string helperProgram(const std::string& folder, const std::string& name)
{
    std::error_code ec;
    const fs::path base = fs::path(folder) / name;
    for (const fs::path& p : {fs::path(base.string() + ".exe"), base})
        if (fs::is_regular_file(p, ec))
            return p.string();
    if (!programsStore().empty()) {
        const fs::path installed = fs::path(programsStore()) / name;
        if (fs::is_regular_file(installed, ec))
            return installed.string();
    }
    return base.string();
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
