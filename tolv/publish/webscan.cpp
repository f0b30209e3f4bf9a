#include "tolv/publish/webscan.h"

#include "common/textcodec.h"
#include "common/textfile.h"
#include "tolv/publish/transfer.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace varenta {

Status loadUserFolderTable(const std::string& path, std::vector<std::string>& entries)
{
    std::vector<std::string> lines;
    if (Status s = readTextLines(path, lines); s != Status::Ok)
        return s;
    std::vector<std::string> out;
    for (const std::string& l : lines) {
        if (l.empty() || l[0] == '\'')
            continue;
        if (codePageWidth(l) != kUserFolderEntryLength)
            return Status::DataFormat;
        out.push_back(l);
    }
    if (out.size() < static_cast<std::size_t>(kUserFolderEntries))
        return Status::DataFormat;
    out.resize(kUserFolderEntries);
    entries = std::move(out);
    return Status::Ok;
}

bool plainFolderName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

std::vector<ScanFolder> scanFolders(const ScanConfig& c, const std::vector<std::string>& table,
                                    std::vector<std::string>* rejected)
{
    std::vector<ScanFolder> out;
    if (c.fileMode) {
        out.push_back({0, c.base});
        return out;
    }
    const int first = c.block * c.blockSize;
    for (int b = first; b < first + c.blockSize; ++b) {
        const int bit = b - first;
        if (bit < 32 && (c.skipMask >> bit) & 1u)
            continue;
        if (b < 0 || b >= static_cast<int>(table.size()))
            continue;
        const std::string name = cutToCodePageWidth(table[static_cast<std::size_t>(b)], kUserFolderNameLength);
        if (!plainFolderName(name)) {
            if (rejected)
                rejected->push_back("user folder " + std::to_string(b) + " skipped: not a plain folder name");
            continue;
        }
        out.push_back({b, (fs::path(c.base) / name).string()});
    }
    return out;
}

int WebScanner::counter(int index) const
{
    return index >= 0 && index < static_cast<int>(counters_.size()) ? counters_[static_cast<std::size_t>(index)] : 0;
}

TakeOutcome WebScanner::take(const std::string& folder, const std::string& name, ScanHost& host,
                             bool withProcessing)
{
    TakeOutcome out;
    out.file = (fs::path(folder) / name).string();
    if (host.taking)
        host.taking(out.file);
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(out.file, ec);
    if (!ec && size >= 512) {
        if (host.webFolder)
            host.webFolder(folder);
        out.merge = mergeArrivedFile(out.file, folder, &host.progress);
        if (out.merge.status != Status::Ok) {
            out.status = out.merge.status;
            host.progress.say(fs::path(out.merge.targetPath).filename().string() + " 更新失敗！");
            return out;
        }
        if (withProcessing && host.process) {
            host.process(out.merge.targetPath);
            out.processed = true;
        }
    }
    out.deleted = fs::remove(out.file, ec) && !ec;
    if (host.saveSettings)
        host.saveSettings();
    host.progress.pause(400);
    return out;
}

std::vector<TakeOutcome> WebScanner::tick(const ScanConfig& c, const std::vector<ScanFolder>& folders, ScanHost& host)
{
    std::vector<TakeOutcome> taken;
    for (const ScanFolder& f : folders) {
        std::error_code ec;
        if (!fs::is_directory(f.path, ec))
            continue;
        const std::vector<std::string> found = matchingFiles(f.path, c.pattern);
        int& n = counters_[static_cast<std::size_t>(f.index)];
        if (found.empty()) {
            n = 0;  // the file must be seen in consecutive ticks
        } else if (++n >= c.takeAfter) {
            n = 0;
            const std::string& name = found.front();
            if (name.size() >= 6 && (name[5] == 'M' || name[5] == 'm')) {
                const std::vector<std::string> companions = matchingFiles(f.path, "*r.tmp");
                if (!companions.empty()) {
                    taken.push_back(take(f.path, companions.front(), host, false));
                    // take() deleted it when merged; a kept one waits for the next tick.
                    host.progress.pause(400);
                }
            }
            taken.push_back(take(f.path, name, host));
        }
        if (!host.progress.keepGoing())
            break;
    }
    return taken;
}

}  // namespace varenta
