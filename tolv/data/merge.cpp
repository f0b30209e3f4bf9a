#include "tolv/data/merge.h"

#include "common/bytes.h"
#include "common/fileio.h"
#include "common/masterfile.h"
#include "common/sector.h"
#include "tolv/data/filelist.h"
#include "tolv/data/scan.h"

#include <cerrno>
#include <filesystem>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace varenta {

namespace {

struct Fd {
    int fd = -1;
    explicit Fd(int f) : fd(f) {}
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
};

}  // namespace

MergeOutcome mergeArrivedFile(const std::string& source, const std::string& targetFolder, const Progress* progress)
{
    MergeOutcome out;
    const fs::path src(source);
    const std::string base = src.stem().string();
    const fs::path folder = targetFolder.empty() ? fs::path(".") : fs::path(targetFolder);
    out.targetPath = (folder / (base + ".h10")).string();
    // On a case-sensitive file system a master named ".H10" is the same file.
    if (const std::string existing = findIgnoringCase(out.targetPath); !existing.empty())
        out.targetPath = existing;
    const std::string targetName = fs::path(out.targetPath).filename().string();

    Fd in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.fd < 0) {
        out.status = (errno == ENOENT || errno == ENOTDIR) ? Status::NotFound : Status::Io;
        return out;
    }
    struct stat st {};
    if (::fstat(in.fd, &st) != 0) {
        out.status = Status::Io;
        return out;
    }
    const std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
    if (size < kSectorSize) {
        out.status = Status::DataFormat;
        return out;
    }
    if (progress)
        progress->say(targetName + " 更新中！");

    Fd tgt(::open(out.targetPath.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    if (tgt.fd < 0) {
        out.status = Status::Io;
        return out;
    }
    struct stat ts {};
    if (::fstat(tgt.fd, &ts) == 0 && ts.st_dev == st.st_dev && ts.st_ino == st.st_ino) {
        // The arrived file is its own master file: nothing to merge.
        if (progress)
            progress->say(targetName + " 更新完了！");
        out.status = Status::Ok;
        return out;
    }

    std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[kScanBlockSize]);
    const std::uint64_t whole = size - size % kSectorSize;
    std::uint64_t nextPoll = 0;
    for (std::uint64_t basePos = 0; basePos < whole;) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kScanBlockSize, whole - basePos));
        const long long n = readUpToAt(in.fd, block.get(), want, basePos);
        if (n < 0) {
            out.status = Status::Io;
            return out;
        }
        const std::size_t got = static_cast<std::size_t>(n);
        const std::size_t usable = got - got % kSectorSize;
        if (usable == 0)
            break;
        for (std::size_t off = 0; off < usable; off += kSectorSize) {
            const std::uint64_t pos = basePos + off;
            if (pos >= nextPoll) {
                if (progress && !progress->keepGoing()) {
                    out.status = Status::Cancelled;
                    return out;
                }
                nextPoll = pos + kScanProgressStep;
            }
            const std::uint8_t* s = block.get() + off;
            if (s[0] != kSectorMarker || !sectorSumOk(s)) {
                ++out.sectorsSkipped;
                continue;
            }
            const std::uint32_t a = getU32(s, 4);
            if (a > kMaxMergeAddress) {
                ++out.sectorsSkipped;
                continue;
            }
            if (!writeAllAt(tgt.fd, reinterpret_cast<const char*>(s), kSectorSize,
                            static_cast<std::uint64_t>(a) * kSectorSize)) {
                out.status = Status::Io;
                return out;
            }
            ++out.sectorsTaken;
            const int mode = s[2] & 7;
            if (mode == kPacketKindHeader || mode == kPacketKindResult)
                out.currentNumber = getS32(s, hdr::measurementNumber);
        }
        basePos += usable;
    }
    if (::fsync(tgt.fd) != 0) {
        out.status = Status::Io;
        return out;
    }
    if (progress)
        progress->say(targetName + " 更新完了！");
    out.status = Status::Ok;
    return out;
}

}  // namespace varenta
