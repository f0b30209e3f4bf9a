#include "common/textfile.h"

#include "common/textcodec.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace varenta {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

Status statusForErrno(int err) { return (err == ENOENT || err == ENOTDIR) ? Status::NotFound : Status::Io; }

bool writeAll(int fd, const char* p, std::size_t n)
{
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

std::string parentFolder(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// A link is replaced by writing through to the file it names, so the link
// itself survives the rename.
std::string resolveTarget(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char buf[PATH_MAX];
        if (::realpath(path.c_str(), buf) != nullptr)
            return buf;
    }
    return path;
}

void syncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

Status readFileBytes(const std::string& path, std::string& bytes)
{
    bytes.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return statusForErrno(errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return Status::Io;
    }
    std::string data;
    if (S_ISREG(st.st_mode) && st.st_size > 0)
        data.reserve(static_cast<std::size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        const ssize_t r = ::read(fd, buf, sizeof buf);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            return Status::Io;
        }
        if (r == 0)
            break;
        data.append(buf, static_cast<std::size_t>(r));
    }
    ::close(fd);
    bytes = std::move(data);
    return Status::Ok;
}

Status writeFileBytesAtomic(const std::string& path, const std::string& bytes)
{
    if (path.empty())
        return Status::Io;
    const std::string target = resolveTarget(path);

    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;
    if (existed && S_ISDIR(old.st_mode))
        return Status::Io;

    static std::atomic<unsigned> counter{0};
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = target + ".~" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return Status::Io;
    }
    if (fd < 0)
        return Status::Io;
    if (existed)
        ::fchmod(fd, old.st_mode & 07777);  // keep the permissions the file had

    bool ok = writeAll(fd, bytes.data(), bytes.size());
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return Status::Io;
    }
    syncFolder(parentFolder(target));
    return Status::Ok;
}

Status readTextLines(const std::string& path, std::vector<std::string>& lines)
{
    lines.clear();
    std::string bytes;
    const Status s = readFileBytes(path, bytes);
    if (s != Status::Ok)
        return s;

    // A file saved by a Unicode editor announces itself with a byte-order
    // mark; such a file is taken as UTF-8 rather than misread as CP932.
    std::string_view rest(bytes);
    const bool utf8 = rest.substr(0, kUtf8Bom.size()) == kUtf8Bom;
    if (utf8)
        rest.remove_prefix(kUtf8Bom.size());

    // CP932 trail bytes are 0x40..0xFC, so CR and LF never occur inside a
    // double-byte character and the split can work on raw bytes.
    std::vector<std::string> out;
    while (!rest.empty()) {
        const auto lf = rest.find('\n');
        std::string_view line = rest.substr(0, lf);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        out.push_back(utf8 ? std::string(line) : fromCodePage(line));
        if (lf == std::string_view::npos)
            break;
        rest.remove_prefix(lf + 1);
    }
    lines = std::move(out);
    return Status::Ok;
}

Status writeTextLines(const std::string& path, const std::vector<std::string>& lines, bool finalNewline)
{
    std::string bytes;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        bytes += toCodePage(lines[i]);
        if (i + 1 < lines.size() || finalNewline)
            bytes += "\r\n";
    }
    return writeFileBytesAtomic(path, bytes);
}

}  // namespace varenta
