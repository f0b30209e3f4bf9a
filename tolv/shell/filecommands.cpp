#include "tolv/shell/filecommands.h"

#include "common/fileio.h"
#include "common/format.h"
#include "common/masterfile.h"

#include <algorithm>
#include <cctype>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace varenta {

namespace fs = std::filesystem;

namespace {

std::string lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

bool sameFileForSave(const std::string& a, const std::string& b)
{
    if (lower(a) == lower(b))
        return true;
    std::error_code ec;
    return fs::exists(a, ec) && fs::exists(b, ec) && fs::equivalent(a, b, ec);
}

Status copyFileWhole(const std::string& from, const std::string& to, std::string* message)
{
    auto fail = [&](const std::string& text) {
        if (message)
            *message = text;
        return Status::Io;
    };
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return fail("ファイルを読めません: " + from);
    const std::string temp = to + ".~copy";
    const int out = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (out < 0) {
        ::close(in);
        return fail("ファイルを作成できません: " + to);
    }
    std::vector<char> buf(1 << 16);
    bool ok = true;
    std::uint64_t at = 0;
    while (ok) {
        const long long n = readUpToAt(in, reinterpret_cast<std::uint8_t*>(buf.data()), buf.size(), at);
        if (n < 0)
            ok = false;
        if (n <= 0)
            break;
        ok = writeAllAt(out, buf.data(), static_cast<std::size_t>(n), at);
        at += static_cast<std::uint64_t>(n);
    }
    ::close(in);
    ok = ::fsync(out) == 0 && ok;
    ok = (::close(out) == 0) && ok;
    ok = ok && ::rename(temp.c_str(), to.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return fail("ファイルをコピーできません: " + to);
    }
    return Status::Ok;
}

Status writeResultsRecord(const std::string& resultsPath, long long number, const std::string& row)
{
    if (number < 1 || row.size() != kResultsRecordSize)
        return Status::NotFound;
    const int fd = ::open(resultsPath.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return Status::Io;
    struct stat st {};
    const long long at = (number - 1) * static_cast<long long>(kResultsRecordSize);
    Status s = Status::Ok;
    if (::fstat(fd, &st) != 0 || at + static_cast<long long>(kResultsRecordSize) > st.st_size)
        s = Status::NotFound;
    else if (!writeAllAt(fd, row.data(), row.size(), static_cast<std::uint64_t>(at)))
        s = Status::Io;
    if (::close(fd) != 0 && s == Status::Ok)
        s = Status::Io;
    return s;
}

std::string backupFolderName(const DateTime& now)
{
    std::string name = "B";
    name += formatMask(now.year, "0000");
    name += formatMask(now.month, "-00");
    name += formatMask(now.day, "00");
    name += formatMask(now.hour, "-00");
    name += formatMask(now.minute, "00");
    name += formatMask(now.second, "00");
    return name;
}

BackupOutcome backupDataFiles(const BackupRequest& rq)
{
    BackupOutcome out;
    auto fail = [&](const std::string& text) {
        out.status = Status::Io;
        out.message = text;
        return out;
    };
    const fs::path master(rq.masterPath);
    const std::string stem = master.stem().string();
    const std::string ext = lower(master.extension().string());
    if (stem.empty())
        return fail("マスターファイルがありません");
    const fs::path target = fs::path(rq.programFolder) / stem.substr(0, stem.size() - 1) / backupFolderName(rq.now);
    out.target = target.string();
    std::error_code ec;
    fs::create_directories(target, ec);
    if (ec || !fs::is_directory(target))
        return fail("フォルダを作成できません: " + out.target);
    for (const fs::directory_entry& e : fs::directory_iterator(target, ec))
        if (e.is_regular_file())
            fs::remove(e.path(), ec);

    const fs::path folder = master.has_parent_path() ? master.parent_path() : fs::path(".");
    std::vector<fs::path> files;
    for (const fs::directory_entry& e : fs::directory_iterator(folder, ec))
        if (e.is_regular_file() && lower(e.path().extension().string()) == ext)
            files.push_back(e.path());
    if (ec)
        return fail("フォルダを読めません: " + folder.string());
    std::sort(files.begin(), files.end());
    for (const fs::path& f : files) {
        const fs::path to = target / f.filename();
        std::string msg;
        if (rq.move) {
            if (::rename(f.c_str(), to.c_str()) != 0) {
                // Another file system: a verified copy, then the original goes.
                if (copyFileWhole(f.string(), to.string(), &msg) != Status::Ok)
                    return fail(msg);
                fs::remove(f, ec);
            }
        } else if (copyFileWhole(f.string(), to.string(), &msg) != Status::Ok) {
            return fail(msg);
        }
        out.files.push_back(f.filename().string());
    }
    if (!rq.move) {
        for (const fs::directory_entry& e : fs::directory_iterator(rq.programFolder, ec)) {
            const std::string name = e.path().filename().string();
            if (e.is_regular_file() && lower(name).rfind("tolv", 0) == 0 && lower(e.path().extension().string()) == ".ini") {
                std::string msg;
                if (copyFileWhole(e.path().string(), (target / name).string(), &msg) != Status::Ok)
                    return fail(msg);
            }
        }
    }
    return out;
}

}  // namespace varenta
