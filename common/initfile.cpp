#include "common/initfile.h"

#include "common/schedule.h"
#include "common/textcodec.h"
#include "common/textfile.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace varenta {

namespace {

bool fileExists(const std::string& p)
{
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

std::string folderOf(const std::string& path)
{
    const fs::path p(path);
    const fs::path parent = p.parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

bool samePath(const std::string& a, const std::string& b)
{
    std::error_code ec1, ec2;
    const fs::path pa = fs::weakly_canonical(a, ec1);
    const fs::path pb = fs::weakly_canonical(b, ec2);
    if (ec1 || ec2)
        return fs::path(a).lexically_normal() == fs::path(b).lexically_normal();
    return pa == pb;
}

Status writeAllAndSync(const std::string& path, const std::string& bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return (errno == ENOENT || errno == ENOTDIR) ? Status::NotFound : Status::Io;
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            return Status::Io;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) {
        ::close(fd);
        return Status::Io;
    }
    if (::close(fd) != 0)
        return Status::Io;
    return Status::Ok;
}

void syncFolderOf(const std::string& path)
{
    const int fd = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

std::string twoDigits(long long n)
{
    char buf[24];
    std::snprintf(buf, sizeof buf, "%02lld", n);
    return buf;
}

bool isDigitChar(char c) { return c >= '0' && c <= '9'; }

}  // namespace

Status replaceFileDurably(const std::string& path, const std::string& bytes)
{
    const std::string tmp = path + ".new~" + std::to_string(::getpid());
    Status st = writeAllAndSync(tmp, bytes);
    if (st != Status::Ok) {
        std::remove(tmp.c_str());
        return st;
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        std::remove(tmp.c_str());
        return Status::Io;
    }
    syncFolderOf(path);
    return Status::Ok;
}

Status copyFileDurably(const std::string& from, const std::string& to)
{
    std::string bytes;
    const Status st = readFileBytes(from, bytes);
    if (st != Status::Ok)
        return st;
    return replaceFileDurably(to, bytes);
}

InitStore::InitStore(Settings& settings, RuntimeState& state, const StartOptions& start, std::string programFolder)
    : settings_(settings), state_(state), start_(start), folder_(std::move(programFolder))
{
    if (folder_.empty())
        folder_.assign(1, '.');
    while (folder_.size() > 1 && folder_.back() == '/')
        folder_.pop_back();
    state_.protection = start_.has(startflag::kProtected);
    state_.barrierMark = state_.protection;
}

std::string InitStore::programFile(const std::string& suffix) const { return folder_ + "/tolv" + suffix; }

std::string InitStore::chooseFile(const std::string& dataPath) const
{
    const std::string field2 = trimBlanks(start_.initFile);
    if (field2.size() > 4)
        return field2;
    const std::string data = trimBlanks(dataPath);
    if (data.size() > 4 && start_.has(startflag::kFolderInit)) {
        const std::size_t slash = data.find_last_of('/');
        std::string dir = slash == std::string::npos ? std::string() : data.substr(0, slash + 1);
        std::string name = "tolvi.ini";
        const std::size_t n = data.size();
        if (n >= 10) {
            const std::string two = data.substr(n - 10, 2);
            if ((two[0] == 'S' || two[0] == 's') && (two[1] == 'M' || two[1] == 'm'))
                name = two + name;
        }
        return dir + name;
    }
    return programFile("i.ini");
}

std::vector<double> InitStore::scaleList(int value) const
{
    return fixedWidthList(settings_.value(65, value), value == 1 ? 5 : 4);
}

void InitStore::rebuildSelection(int headerOptionFlagsHigh)
{
    const int item = activeSelectionItem(settings_, start_.has(startflag::kAltSelection), state_.windSet,
                                         headerOptionFlagsHigh);
    selection_ = buildResultSelection(settings_, item);
}

Status InitStore::load(const std::string& dataPath, const Clock& clock, int headerOptionFlagsHigh, std::string* message)
{
    auto fail = [&](Status st, const std::string& file) {
        if (message)
            *message = file;
        complete_ = false;
        refusalTold_ = false;
        failed_ = file;
        return st;
    };
    const std::string path = chooseFile(dataPath);
    if (!fileExists(path)) {
        const std::string org = programFile("i.org");
        if (!fileExists(org))
            return fail(Status::NotFound, org);
        const Status st = copyFileDurably(org, path);
        if (st != Status::Ok)
            return fail(st, path);
    }
    ResultItemTable items;
    Status st = items.load(programFile("g.org"));
    if (st != Status::Ok)
        return fail(st, programFile("g.org"));
    ChannelTable channels;
    st = channels.load(programFile("f.org"));
    if (st != Status::Ok)
        return fail(st, programFile("f.org"));
    Settings loaded = settings_;
    st = loaded.load(path);
    if (st != Status::Ok)
        return fail(st, path);

    settings_ = std::move(loaded);
    resultItems_ = std::move(items);
    channels_ = std::move(channels);
    active_ = path;
    complete_ = true;
    refusalTold_ = false;
    failed_.clear();

    const DateTime now = clock.now();
    alignSchedule(settings_, kDownloadSchedule, now);
    alignSchedule(settings_, kProcessingSchedule, now);
    alignSchedule(settings_, kPrintSchedule, now);

    state_.stateWord = (settings_.hex(89, 0) & ~statebit::kClearedOnLoad) | statebit::kStepping;
    state_.runWord = settings_.hex(89, 1) & runword::kAppliedMask;
    state_.autoWord = settings_.hex(85, 4);
    if (start_.has(startflag::kFolderInit) && !start_.has(startflag::kUserFolderMode))
        state_.autoWord |= autofn::kFolderInit;
    state_.switchWord2 = settings_.hex(85, 5) & ~switch2::kClearedOnLoad;
    state_.windSet = (settings_.hex(95, 4) & switchw::kWindSet) != 0;
    state_.barrierMark = state_.protection;
    rebuildSelection(headerOptionFlagsHigh);
    if (message)
        message->clear();
    return Status::Ok;
}

Status InitStore::save(const SaveSnapshot& snap, std::string* statusText)
{
    if (state_.protection)
        return Status::Refused;
    if (state_.barrierMark)
        state_.protection = true;  // this save still runs; later ones do not
    if (!complete_) {
        // Writing now would put defaults over the values the file holds.
        if (statusText && !refusalTold_)
            *statusText = std::string(inittext::kNotSaved) + (failed_.empty() ? chooseFile({}) : failed_);
        refusalTold_ = true;
        return Status::Refused;
    }

    if (snap.withDocuments && state_.state(statebit::kSaveDocGeometry)) {
        for (int k = 0; k < 8; ++k) {
            const DocumentWindowInfo& d = snap.documents[static_cast<std::size_t>(k)];
            if (!d.open || !d.normal)
                continue;
            settings_.setInt(180 + k, 0, d.geometry.top);
            settings_.setInt(180 + k, 1, d.geometry.left);
            settings_.setInt(180 + k, 2, d.geometry.width);
            settings_.setInt(180 + k, 3, d.geometry.height);
        }
    }
    state_.stateWord = (state_.stateWord & ~statebit::kWindowStateMask) |
                       (static_cast<std::uint32_t>(snap.mainState) * 64u);
    if (snap.mainState == WindowShow::Normal) {
        settings_.setInt(88, 0, snap.main.top);
        settings_.setInt(88, 1, snap.main.left);
        settings_.setInt(88, 2, snap.main.width);
        settings_.setInt(88, 3, snap.main.height);
    }
    settings_.setHex(89, 0, state_.stateWord);
    settings_.setHex(89, 1, state_.runWord & runword::kSavedMask);
    settings_.setHex(85, 4, state_.autoWord);
    settings_.setHex(85, 5, state_.switchWord2);
    if (snap.currentNumber)
        settings_.setInt(89, 3, *snap.currentNumber);
    if (snap.laneChannels)
        for (int k = 0; k < 8; ++k)
            settings_.setInt(178, k, (*snap.laneChannels)[static_cast<std::size_t>(k)]);

    // The layout (headings and the order of the item lines) comes from the
    // active file.
    const std::string& active = active_;
    std::vector<std::string> layout;
    Status st = readTextLines(active, layout);
    if (st != Status::Ok)
        return st;
    const std::vector<std::string> lines = settings_.render(layout);
    std::string bytes;
    for (const std::string& l : lines) {
        bytes += toCodePage(l);
        bytes += "\r\n";
    }

    // The temporary file is written and flushed completely before any
    // initialization file is touched; the program folder's file is then
    // replaced by renaming it, never rewritten in place.
    const std::string tp0 = programFile(".tp0");
    st = writeAllAndSync(tp0, bytes);
    if (st != Status::Ok) {
        std::remove(tp0.c_str());
        return st;
    }
    const std::string main = programFile("i.ini");
    if (!samePath(active, main) && start_.has(startflag::kFolderInit)) {
        st = copyFileDurably(tp0, active);
        if (st != Status::Ok) {
            std::remove(tp0.c_str());
            return st;
        }
    }
    if (std::rename(tp0.c_str(), main.c_str()) != 0) {
        std::remove(tp0.c_str());
        return Status::Io;
    }
    syncFolderOf(main);
    if (statusText)
        *statusText = inittext::kSaved;
    return Status::Ok;
}

Status InitStore::toggleBarrier(const SaveSnapshot& snap, std::string* statusText)
{
    if (state_.barrierMark) {
        state_.barrierMark = false;
        state_.protection = false;
        return Status::Ok;
    }
    state_.barrierMark = true;
    const Status st = save(snap, statusText);
    // Protected already (mark was off but protection on): nothing to write.
    if (st == Status::Refused && complete_)
        return Status::Ok;
    return st;
}

std::vector<std::string> InitStore::variantList() const
{
    std::vector<std::string> out;
    long long last = settings_.integer(69, 7);
    if (last > 7)
        last = 7;
    for (long long a = 0; a <= last; ++a) {
        std::string entry = twoDigits(a);
        const std::string name = settings_.trimmed(80, static_cast<int>(a));
        if (!name.empty())
            entry += "=" + name;
        out.push_back(entry);
    }
    return out;
}

VariantQuestion InitStore::variantQuestion() const
{
    VariantQuestion q;
    q.caption = "アプリケーションの初期化 ";
    const long long current = settings_.integer(86, 1);
    q.message = "アプリケーションを初期化します。初期化ファイルの番号を指定してください。指定がない場合は現在の番号になります。"
                "\r\n現在の番号=" +
                twoDigits(current);
    q.choices = variantList();
    q.preset = twoDigits(current);
    if (current >= 0 && current < static_cast<long long>(q.choices.size()))
        q.preset = q.choices[static_cast<std::size_t>(current)];
    return q;
}

std::optional<int> InitStore::variantFromAnswer(const std::string& answer) const
{
    const std::string a = trimBlanks(answer);
    if (a == "can")
        return std::nullopt;
    if (a.empty())
        return static_cast<int>(settings_.integer(86, 1));
    if (!isDigitChar(a[0]))
        return std::nullopt;
    return static_cast<int>(textToInt(a.substr(0, 2)));
}

std::string InitStore::variantPath(int number) const { return programFile("i-" + twoDigits(number) + ".org"); }

Status InitStore::applyVariant(int number, const std::string& dataPath, std::string* message)
{
    const std::string variant = variantPath(number);
    if (!fileExists(variant)) {
        if (message)
            *message = variant;
        return Status::NotFound;
    }
    Status st = copyFileDurably(variant, programFile("i.org"));
    if (st == Status::Ok)
        st = copyFileDurably(variant, chooseFile(dataPath));
    if (st != Status::Ok && message)
        *message = variant;
    return st;
}

}  // namespace varenta
