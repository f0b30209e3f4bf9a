#include "brenlo24/link/collection.h"

#include "common/bytes.h"
#include "common/format.h"
#include "common/masterfile.h"
#include "common/settings.h"
#include "common/textcodec.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace varenta {

namespace {

// Writes all n bytes at offset (or at the end with offset < 0 on a file
// opened for appending).
bool writeAll(int fd, const std::uint8_t* data, std::size_t n, long long offset)
{
    std::size_t done = 0;
    while (done < n) {
        const ssize_t w = offset >= 0 ? ::pwrite(fd, data + done, n - done, static_cast<off_t>(offset + done))
                                      : ::write(fd, data + done, n - done);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (w == 0)
            return false;
        done += static_cast<std::size_t>(w);
    }
    return true;
}

bool closeOk(int fd)
{
    // A failed close can report a write the disk refused late.
    return ::close(fd) == 0 || errno == EINTR;
}

std::string baseName(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string packetText(const Packet& p, std::size_t from, std::size_t count)
{
    return fromCodePage(std::string_view(reinterpret_cast<const char*>(p.data()) + from, count));
}

// Copies the template's bytes into fd and flushes them to the disk.  A
// missing template copies nothing.
bool copyTemplateInto(int fd, const std::string& templatePath)
{
    bool ok = true;
    const int in = ::open(templatePath.c_str(), O_RDONLY | O_CLOEXEC);
    if (in >= 0) {
        std::uint8_t buf[8192];
        for (;;) {
            const ssize_t r = ::read(in, buf, sizeof buf);
            if (r < 0 && errno == EINTR)
                continue;
            if (r <= 0) {
                ok = r == 0;
                break;
            }
            if (!writeAll(fd, buf, static_cast<std::size_t>(r), -1)) {
                ok = false;
                break;
            }
        }
        ::close(in);
    }
    return ::fsync(fd) == 0 && ok;
}

// Makes the result list from the template when it does not exist yet, or
// when it is shorter than the template (a copy that an earlier program
// version left unfinished; the template's part holds no result line).  The
// template is copied completely into a file without a name (or, where the
// file system has none, a temporary file beside the list), which is then
// put in place under the list's name: the list never exists without the
// template's lines, whenever the program is killed.  A new list is linked
// in, so a list that another writer made first is kept.  A missing
// template gives an empty list (lines still go to 392 x (m + 1)).  False
// when the list could not be made.
bool ensureListFromTemplate(const std::string& path, const std::string& templatePath)
{
    struct stat tb {};
    const off_t templateSize = ::stat(templatePath.c_str(), &tb) == 0 ? tb.st_size : 0;
    struct stat sb {};
    const bool exists = ::stat(path.c_str(), &sb) == 0;
    if (!exists && errno != ENOENT)
        return false;
    if (exists && sb.st_size >= templateSize)
        return true;

    if (!exists) {
        const std::size_t slash = path.find_last_of('/');
        const std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
        const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (fd >= 0) {
            bool ok = copyTemplateInto(fd, templatePath);
            bool linked = false;
            if (ok) {
                const std::string self = "/proc/self/fd/" + std::to_string(fd);
                linked = ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
                         errno == EEXIST;
            }
            ok = closeOk(fd) && ok;
            if (!ok || linked)
                return ok && linked;
            // No /proc: the named temporary file below.
        }
    }

    const std::string tmp = path + ".tp~" + std::to_string(::getpid());
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    bool ok = copyTemplateInto(fd, templatePath);
    ok = closeOk(fd) && ok;
    if (ok) {
        if (exists) {
            ok = ::rename(tmp.c_str(), path.c_str()) == 0;
        } else if (::link(tmp.c_str(), path.c_str()) != 0) {
            // EEXIST: made meanwhile by another writer.  File systems
            // without hard links take the rename.
            ok = errno == EEXIST ||
                 ((errno == EPERM || errno == EOPNOTSUPP) && ::rename(tmp.c_str(), path.c_str()) == 0);
        }
    }
    ::unlink(tmp.c_str());
    return ok;
}

}  // namespace

std::string collectionPrefix(int modelCode)
{
    return (modelCode == 20 || modelCode == 30 || modelCode == 31) ? "sm" : "nr";
}

std::string collectionFileName(CollectFile kind, int modelCode, int machineNumber, std::uint32_t optionFlags)
{
    const bool tmp = optionFlags & 0x200u;
    std::string name = collectionPrefix(modelCode) + formatMask(machineNumber, "000");
    switch (kind) {
    case CollectFile::Master: return name + (tmp ? "m.tmp" : "m.h10");
    case CollectFile::BinaryResult: return name + (tmp ? "r.tmp" : "r.h10");
    case CollectFile::ResultList: return name + "r.txt";
    }
    return name;
}

long long resultLineNumber(const Packet& p, int field)
{
    if (field < 0 || field >= kResultItems)
        return -1;
    const std::size_t at = kResultLineOffset + resultItemOffset(field);
    std::string_view s(reinterpret_cast<const char*>(p.data()) + at, 5);
    while (!s.empty() && (s.front() == ' ' || s.front() == '\0'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0'))
        s.remove_suffix(1);
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    long long v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size())
        return -1;
    return v;
}

std::string PacketWriter::pathOf(const std::string& name) const
{
    if (cfg_.folder.empty())
        return name;
    return cfg_.folder.back() == '/' ? cfg_.folder + name : cfg_.folder + "/" + name;
}

Status PacketWriter::store(const Packet& p, int modelCode, StoreOutcome& out)
{
    out = StoreOutcome{};
    const std::uint8_t kind = p[2];
    const std::uint32_t number = getU32(p.data(), 4);
    const int machine = p[1];

    if ((kind & 7) != kPacketKindResult) {
        // Data and header packets: sectors of the master file.
        if (number > kMaxPacketNumber) {
            out.what = StoreOutcome::What::Dropped;
            ++counters_.dropped;
            return Status::Ok;
        }
        const Status st = writeSector(pathOf(collectionFileName(CollectFile::Master, modelCode, machine, cfg_.optionFlags)),
                                      p, number, out);
        if (st == Status::Ok) {
            out.what = StoreOutcome::What::Sector;
            ++counters_.sectors;
        }
        return st;
    }

    if (kind > kBinaryResultKindAbove) {
        if (number > kMaxPacketNumber) {
            out.what = StoreOutcome::What::Dropped;
            ++counters_.dropped;
            return Status::Ok;
        }
        const Status st = writeSector(
            pathOf(collectionFileName(CollectFile::BinaryResult, modelCode, machine, cfg_.optionFlags)), p, number, out);
        if (st == Status::Ok) {
            out.what = StoreOutcome::What::ResultSector;
            ++counters_.resultSectors;
        }
        return st;
    }

    // A line of the result list.
    const long long m = resultLineNumber(p, cfg_.numberField);
    if (m < 1) {
        out.what = StoreOutcome::What::Dropped;
        ++counters_.dropped;
        return Status::Ok;
    }
    const Status st =
        writeResultLine(pathOf(collectionFileName(CollectFile::ResultList, modelCode, machine, cfg_.optionFlags)), p, m, out);
    if (st != Status::Ok)
        return st;
    out.what = StoreOutcome::What::ResultLine;
    out.measurement = m;
    out.panelNumber = std::to_string(machine) + "-" + std::to_string(m);
    out.panelDate = packetText(p, 17, 2) + "/" + packetText(p, 20, 5);
    out.panelTime = packetText(p, 26, 5) + ":00";
    ++counters_.resultLines;
    return Status::Ok;
}

Status PacketWriter::writeSector(const std::string& path, const Packet& p, std::uint32_t number, StoreOutcome& out)
{
    out.path = path;
    out.offset = static_cast<std::uint64_t>(number) * kPacketSize;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        out.error = std::string(collecttext::kWriteError) + baseName(path);
        ++counters_.failures;
        return Status::Io;
    }
    const bool wrote = writeAll(fd, p.data(), p.size(), static_cast<long long>(out.offset));
    const bool closed = closeOk(fd);
    if (!wrote || !closed) {
        out.error = std::string(collecttext::kWriteError) + baseName(path);
        ++counters_.failures;
        return Status::Io;
    }
    return Status::Ok;
}

Status PacketWriter::writeResultLine(const std::string& path, const Packet& p, long long m, StoreOutcome& out)
{
    out.path = path;
    auto fail = [&]() {
        out.error = std::string(collecttext::kWriteError) + baseName(path);
        ++counters_.failures;
        return Status::Io;
    };
    if (!ensureListFromTemplate(path, pathOf(kResultListTemplate)))
        return fail();
    const bool append = cfg_.optionFlags & 0x10000u;
    const int fd = ::open(path.c_str(), (append ? O_WRONLY | O_APPEND : O_WRONLY) | O_CLOEXEC);
    if (fd < 0)
        return fail();
    const std::uint8_t* line = p.data() + kResultLineOffset;
    bool wrote;
    if (append) {
        struct stat sb {};
        out.offset = ::fstat(fd, &sb) == 0 ? static_cast<std::uint64_t>(sb.st_size) : 0;
        wrote = writeAll(fd, line, kResultLineSize, -1);
    } else {
        out.offset = static_cast<std::uint64_t>(m + 1) * kResultLineSize;
        wrote = writeAll(fd, line, kResultLineSize, static_cast<long long>(out.offset));
    }
    const bool closed = closeOk(fd);
    if (!wrote || !closed)
        return fail();
    return Status::Ok;
}

}  // namespace varenta
