#include "tolv/publish/transfer.h"

#include "common/initfile.h"
#include "common/writebehind.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace varenta {

namespace {

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool matchFrom(const std::string& p, std::size_t i, const std::string& n, std::size_t j)
{
    while (i < p.size()) {
        if (p[i] == '*') {
            for (std::size_t k = j; k <= n.size(); ++k)
                if (matchFrom(p, i + 1, n, k))
                    return true;
            return false;
        }
        if (j >= n.size() || (p[i] != '?' && lower(p[i]) != lower(n[j])))
            return false;
        ++i, ++j;
    }
    return j == n.size();
}

bool isFile(const fs::path& p)
{
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

}  // namespace

ProcessRequest transferCommand(const std::string& folder, const char* batch, const char* script, int windowStyle)
{
    ProcessRequest r;
    r.workingFolder = folder;
    r.windowStyle = windowStyle;
    const fs::path b = fs::path(folder) / batch;
    if (isFile(b)) {
        // The shell reads the batch file as its input, so CR LF lines work.
        r.program = "/bin/sh";
        r.arguments = {"-s"};
        r.inputFile = b.string();
        r.inputIsScript = true;
        return r;
    }
    r.program = kFtpClient;
    r.arguments = {"-i", "-n", "-v"};
    const fs::path s = fs::path(folder) / script;
    // Without the script the client reads an empty input and ends.
    r.inputFile = isFile(s) ? s.string() : std::string("/dev/null");
    r.inputIsScript = true;
    return r;
}

bool nameMatches(const std::string& pattern, const std::string& name) { return matchFrom(pattern, 0, name, 0); }

std::vector<std::string> matchingFiles(const std::string& folder, const std::string& pattern)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder.empty() ? "." : folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string n = it->path().filename().string();
        if (nameMatches(pattern, n) && isFile(it->path()))
            names.push_back(n);
    }
    std::sort(names.begin(), names.end());
    return names;
}

PublishOutcome publishWeb(const PublishRequest& req, ProcessRunner& runner, const Progress& progress)
{
    // What is published includes files written behind the processing steps.
    flushFileWrites();
    PublishOutcome out;
    std::string prepared = pubtext::kSendImpossible;
    const auto finish = [&] {
        out.finalText = prepared;
        progress.say(prepared);
        return out;
    };
    if (!req.resultsFileExists)
        return finish();
    out.pagesBuilt = req.makePages ? req.makePages() : false;
    if (!out.pagesBuilt)
        return finish();

    if (req.upload) {
        const ProcessRequest cmd = transferCommand(req.programFolder, kUploadBatch, kUploadScript, req.windowStyle);
        out.uploaded = runner.start(cmd);
        progress.say(pubtext::kSending);
        progress.keepGoing();
        if (out.uploaded) {
            const auto limit = std::chrono::milliseconds(std::max(0, req.timeLimitSeconds) * 1000LL);
            const auto start = std::chrono::steady_clock::now();
            bool ended = false;
            while (!(ended = runner.waitForEnd(50)) && std::chrono::steady_clock::now() - start < limit)
                progress.keepGoing();
            out.uploadStopped = !ended;
            runner.terminate();
        }
        prepared = pubtext::kSendEnded;
    }

    if (req.folderCopy) {
        std::error_code ec;
        const bool same = !req.webFolder.empty() && fs::equivalent(req.webFolder, req.programFolder, ec);
        if (req.webFolder.empty() || same) {
            prepared = pubtext::kCopyEnded;
        } else {
            prepared = pubtext::kCopyImpossible;
            if (fs::is_directory(req.webFolder, ec)) {
                progress.say(pubtext::kCopying);
                bool ok = true;
                for (const char* ext : {"htm", "jpg"}) {
                    for (const std::string& n : matchingFiles(req.programFolder, req.prefix + "2??." + ext)) {
                        const Status s = copyFileDurably((fs::path(req.programFolder) / n).string(),
                                                         (fs::path(req.webFolder) / n).string());
                        if (s != Status::Ok) {
                            ok = false;
                            break;
                        }
                        ++out.filesCopied;
                    }
                    if (!ok)
                        break;
                }
                if (ok)
                    prepared = pubtext::kCopyEnded;
            }
        }
    }
    return finish();
}

DownloadOutcome downloadLatest(const DownloadRequest& req, ProcessRunner& runner, const Progress& progress)
{
    DownloadOutcome out;
    const std::string pattern = req.target;
    std::error_code ec;
    for (const std::string& n : matchingFiles(req.programFolder, pattern)) {
        if (!fs::remove(fs::path(req.programFolder) / n, ec) || ec) {
            out.status = Status::Io;
            progress.say(pubtext::kDownloadFailed);
            return out;
        }
    }
    progress.say(pubtext::kDownloading);
    const bool started =
        runner.start(transferCommand(req.programFolder, kDownloadBatch, kDownloadScript, req.windowStyle));
    const int polls = std::max(0, req.timeLimitSeconds) * 10;
    std::string seen;
    std::uintmax_t lastSize = 0;
    int steady = 0;
    for (out.polls = 1; out.polls <= polls; ++out.polls) {
        if (!progress.pause(100)) {
            out.status = Status::Cancelled;
            break;
        }
        const bool ended = !started || runner.waitForEnd(0);
        const std::vector<std::string> found = matchingFiles(req.programFolder, pattern);
        if (found.empty()) {
            seen.clear();
            continue;
        }
        const std::uintmax_t size = fs::file_size(fs::path(req.programFolder) / found.front(), ec);
        if (found.front() == seen && !ec && size == lastSize)
            ++steady;
        else
            steady = 0;
        seen = found.front();
        lastSize = ec ? 0 : size;
        if (ended || steady >= 5) {
            out.status = Status::Ok;
            out.path = (fs::path(req.programFolder) / found.front()).string();
            progress.say(pubtext::kDownloadDone);
            return out;
        }
    }
    if (out.polls > polls)
        out.polls = polls;
    if (out.status != Status::Cancelled)
        out.status = Status::Timeout;
    progress.say(pubtext::kDownloadFailed);
    return out;
}

}  // namespace varenta
