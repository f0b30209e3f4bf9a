#include "common/installdata.h"

#include "common/textfile.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <signal.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace varenta {

bool isInstalledTextFile(const std::string& name)
{
    const std::string ext = fs::path(name).extension().string();
    std::string e;
    for (char c : ext)
        e += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return e == ".org" || e == ".tbl" || e == ".txt" || e == ".ini";
}

static Status readUtf8Lines(const fs::path& p, std::vector<std::string>& lines)
{
    std::ifstream in(p, std::ios::binary);
    if (!in)
        return Status::NotFound;
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string all = ss.str();
    lines.clear();
    std::size_t pos = 0;
    while (pos < all.size()) {
        std::size_t nl = all.find('\n', pos);
        std::string line = all.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        if (nl == std::string::npos)
            break;
        pos = nl + 1;
    }
    return Status::Ok;
}

Status installProgramData(const std::string& dataDir, const std::string& folder, std::string* message)
{
    std::error_code ec;
    if (!fs::is_directory(dataDir, ec)) {
        if (message)
            *message = "installation data not found: " + dataDir;
        return Status::NotFound;
    }
    fs::create_directories(folder, ec);
    if (ec) {
        if (message)
            *message = "cannot create " + folder + ": " + ec.message();
        return Status::Io;
    }
    for (auto it = fs::recursive_directory_iterator(dataDir, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const fs::path src = it->path();
        const fs::path rel = fs::relative(src, dataDir, ec);
        const fs::path dst = fs::path(folder) / rel;
        if (it->is_directory()) {
            fs::create_directories(dst, ec);
            continue;
        }
        if (src.filename() == "README.md")
            continue;
        Status st = Status::Ok;
        if (isInstalledTextFile(src.filename().string())) {
            std::vector<std::string> lines;
            st = readUtf8Lines(src, lines);
            // A file whose source ends without a line end keeps it that way.
            bool finalNewline = true;
            {
                std::ifstream in(src, std::ios::binary | std::ios::ate);
                const auto size = in.tellg();
                if (size > 0) {
                    in.seekg(-1, std::ios::end);
                    char c = 0;
                    in.get(c);
                    finalNewline = c == '\n';
                }
            }
            if (st == Status::Ok)
                st = writeTextLines(dst.string(), lines, finalNewline);
        } else {
            fs::copy_file(src, dst, fs::copy_options::overwrite_existing, ec);
            if (ec)
                st = Status::Io;
        }
        if (st != Status::Ok) {
            if (message)
                *message = "cannot install " + dst.string();
            return st;
        }
    }
    if (ec) {
        if (message)
            *message = "cannot read " + dataDir + ": " + ec.message();
        return Status::Io;
    }
    return Status::Ok;
}

namespace {

// Moves every file of stage into folder where folder has none of that name.
bool mergeMissing(const fs::path& stage, const fs::path& folder, std::string& message)
{
    std::error_code ec;
    std::vector<fs::path> files;
    for (auto it = fs::recursive_directory_iterator(stage, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        if (!it->is_directory())
            files.push_back(fs::relative(it->path(), stage, ec));
    if (ec) {
        message = "cannot read " + stage.string() + ": " + ec.message();
        return false;
    }
    // The file that marks a prepared folder goes in last.
    std::stable_partition(files.begin(), files.end(), [](const fs::path& p) { return p != "tolvi.org"; });
    for (const fs::path& rel : files) {
        const fs::path dst = folder / rel;
        if (fs::exists(fs::symlink_status(dst, ec)))
            continue;
        fs::create_directories(dst.parent_path(), ec);
        if (!ec)
            fs::rename(stage / rel, dst, ec);
        if (ec) {
            message = "cannot write " + dst.string() + ": " + ec.message();
            return false;
        }
    }
    return true;
}

}  // namespace

Status prepareProgramFolder(const FolderChoice& choice, bool& prepared, std::string& message)
{
    prepared = false;
    if (choice.source != FolderSource::PerUser)
        return Status::Ok;
    if (choice.folder.empty()) {
        message = "no per-user program folder: neither XDG_DATA_HOME nor HOME names a folder";
        return Status::Io;
    }
    std::error_code ec;
    const fs::path folder = choice.folder;
    fs::create_directories(folder, ec);
    if (ec || !fs::is_directory(folder)) {
        message = "cannot create the program folder " + folder.string() + ": " +
                  (ec ? ec.message() : std::string("not a folder"));
        return Status::Io;
    }
    if (fs::exists(folder / "tolvi.org", ec))
        return Status::Ok;
    if (!fs::is_directory(choice.dataFolder, ec)) {
        message = "installation data not found: " + choice.dataFolder;
        return Status::NotFound;
    }
    // Staging folders of preparations that were killed (their process is
    // gone) are removed; one of a program starting at the same time stays.
    const std::string stagePrefix = "." + folder.filename().string() + ".prepare-";
    for (const auto& e : fs::directory_iterator(folder.parent_path(), ec)) {
        const std::string name = e.path().filename().string();
        if (name.rfind(stagePrefix, 0) != 0)
            continue;
        const long pid = std::strtol(name.c_str() + stagePrefix.size(), nullptr, 10);
        if (pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
            fs::remove_all(e.path(), ec);
    }
    ec.clear();
    const fs::path stage = folder.parent_path() / (stagePrefix + std::to_string(getpid()));
    fs::remove_all(stage, ec);
    Status st = installProgramData(choice.dataFolder, stage.string(), &message);
    if (st == Status::Ok && !mergeMissing(stage, folder, message))
        st = Status::Io;
    fs::remove_all(stage, ec);
    if (st == Status::Ok)
        prepared = true;
    else if (message.empty())
        message = "cannot prepare " + folder.string();
    return st == Status::NotFound ? Status::NotFound : (st == Status::Ok ? Status::Ok : Status::Io);
}

}  // namespace varenta
