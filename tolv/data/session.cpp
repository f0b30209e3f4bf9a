#include "tolv/data/session.h"

#include "common/channeltable.h"
#include "common/resultitems.h"
#include "tolv/data/filelist.h"
#include "tolv/data/headertext.h"
#include "tolv/data/merge.h"
#include "tolv/data/scan.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace varenta {

namespace {

bool isFile(const std::string& p)
{
    if (p.empty())
        return false;
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

std::uint64_t fileSize(const std::string& p)
{
    std::error_code ec;
    const auto n = fs::file_size(p, ec);
    return ec ? 0 : static_cast<std::uint64_t>(n);
}

// Reads n bytes at off; returns how many were read (short at the end).
std::size_t readBytesAt(const std::string& path, std::uint64_t off, std::uint8_t* buf, std::size_t n)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = ::pread(fd, buf + got, n - got, static_cast<off_t>(off + got));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            break;
        got += static_cast<std::size_t>(r);
    }
    ::close(fd);
    return got;
}

}  // namespace

DataSession::DataSession(Settings& settings, RuntimeState& state, InitStore& init, DataSet& data, StatusPanels& panels,
                         Prompter& prompter, const Clock& clock)
    : settings_(settings), state_(state), init_(init), data_(data), panels_(panels), prompter_(prompter), clock_(clock)
{
}

void DataSession::setBusy(bool on, const std::string& message)
{
    state_.busy = on;
    panels_.status = message;
    if (hooks_.busyPointer)
        hooks_.busyPointer(on);
}

std::string DataSession::caption() const { return std::string(loadtext::kCaptionPrefix) + data_.measurementPath; }

MeasurementHeader DataSession::decodeForDisplay(Sector s)
{
    // Model codes below 19 carry no processing settings of their own.
    if ((s[hdr::packetInfo] & 7) == kPacketKindHeader && s[hdr::modelCode] < 19)
        settings_.set(96, 0, "0");
    shiftHeaderTime(s.data(), timeShiftMinutes(settings_, s[hdr::durationMinutes]));
    return decodeHeader(s.data(), decodeOptionsFrom(settings_));
}

void DataSession::adoptHeader(const MeasurementHeader& h)
{
    data_.header = h;
    data_.modelCode = h.modelCode;
    if (h.packetKind() == kPacketKindHeader)
        state_.noSamples = false;
    else if (h.packetKind() == kPacketKindResult)
        state_.noSamples = true;
    applyLoggerSettings(settings_, state_, h);
    const bool wind = wantsAlternateItems(h);
    if (wind || state_.windSet) {
        state_.windSet = wind;
        const int item = activeSelectionItem(settings_, init_.start().has(startflag::kAltSelection), wind,
                                             h.optionFlagsHigh);
        applyAlternateItemSet(settings_, item, wind);
    }
    init_.rebuildSelection(h.optionFlagsHigh);
}

void DataSession::updateMerge()
{
    const std::string source = settings_.trimmed(83, 0);
    if (source.empty())
        return;
    const std::string folder = fs::path(source).parent_path().string();
    const MergeOutcome m = mergeArrivedFile(source, folder, progress_);
    if (m.status == Status::Ok || m.status == Status::Cancelled)
        return;
    // An unusable arrived file is dropped.  When the master file could not
    // be written the arrived file is the only copy of its sectors: keep it.
    if (m.status != Status::Io)
        std::remove(source.c_str());
}

bool DataSession::scanMeasurementFile(int listIndex, std::int64_t wantedNumber)
{
    if (listIndex < 0 || listIndex >= kFileListSize)
        return false;
    const std::string path = listIndex == 0 ? data_.measurementPath : settings_.trimmed(kFileListItem, listIndex);
    if (listIndex == 0)
        updateMerge();
    if (path.empty())
        return false;
    const ScanOutcome o = scanMeasurementHeaders(path, wantedNumber, progress_);
    if (o.status != Status::Ok)
        return false;
    const MeasurementHeader h = decodeForDisplay(o.chosen);
    if (listIndex == 0) {
        data_.latestNumber = o.latestNumber;
        data_.currentNumber = h.measurementNumber;
        data_.headerOffset = static_cast<std::int64_t>(o.chosenOffset);
        adoptHeader(h);
        data_.dataErrorCode = h.dataErrorFlags;
    } else {
        // Another file of the list: its header is decoded (the model code
        // is remembered from it) and its block size kept.
        data_.header = h;
        data_.modelCode = h.modelCode;
    }
    data_.sectorsPerMeasurement[static_cast<std::size_t>(listIndex)] = h.sectorsPerMeasurement;
    settings_.setInt(169, listIndex, h.sectorsPerMeasurement);
    return true;
}

void DataSession::buildDisplayChannels()
{
    ChannelTable table;
    const ChannelTable* t = &init_.channels();
    if (table.load(init_.programFile("f.org")) == Status::Ok)
        t = &table;
    DisplayChannels d;
    const std::string mask = settings_.value(79, 3);
    for (int i = 0; i < data_.header.channelCount; ++i) {
        if (static_cast<std::size_t>(i) < mask.size() && mask[static_cast<std::size_t>(i)] == '1') {
            const int code = data_.header.channels[static_cast<std::size_t>(i)];
            d.indexes.push_back(i);
            d.captions0 += t->value(code, 0);
            d.captions1 += t->value(code, 1);
            ++d.count;
        }
    }
    data_.displayChannels = std::move(d);
}

DataSession::IndexResult DataSession::indexFile()
{
    for (int k = kFileListSize - 1; k >= 1; --k)
        if (!settings_.isBlank(kFileListItem, k))
            scanMeasurementFile(k, 0);

    const int remembered = data_.modelCode;
    const MeasurementHeader previousHeader = data_.header;
    if (!scanMeasurementFile(0, data_.currentNumber)) {
        // Entries 1..7 may have decoded their headers; the one in memory
        // stays what was on display before.
        data_.header = previousHeader;
        data_.modelCode = remembered;
        panels_.status = loadtext::kNoData;
        data_.hasMeasurementFile = false;
        data_.loadStatus = kLoadStatusNoData;
        state_.setState(statebit::kFileOpen, false);
        if (hooks_.sampleViewsClosed)
            hooks_.sampleViewsClosed();
        return IndexResult::NoData;
    }
    const int now = data_.header.modelCode;
    if (now != remembered && remembered < 999 && now < 24 && settings_.isBlank(kFileListItem, 1)) {
        // A file of another model: refused until the settings are
        // initialized for it.  The remembered model stays, so trying again
        // without initializing is refused again.
        settings_.set(kFileListItem, 0, "");
        data_.previousPath.clear();
        data_.measurementPath.clear();
        data_.resultsPath.clear();
        data_.hasMeasurementFile = false;
        data_.hasResultsFile = false;
        data_.header = previousHeader;
        data_.modelCode = remembered;
        data_.loadStatus = kLoadStatusNoData;
        state_.setState(statebit::kFileOpen, false);
        prompter_.message(loadtext::kCautionTitle, loadtext::kModelMismatch, MsgIcon::Critical, MsgButtons::Ok);
        return IndexResult::Refused;
    }
    data_.loadStatus = kLoadStatusRead;
    state_.setState(statebit::kFileOpen, true);

    buildDisplayChannels();
    panels_.mno = mnoText(data_.header, data_.latestNumber);
    if (hooks_.caption)
        hooks_.caption(caption());
    for (int k = 0; k < 8; ++k)
        if (!settings_.isBlank(178, k))
            data_.graphChannel[static_cast<std::size_t>(k)] = static_cast<int>(settings_.integer(178, k));
    return IndexResult::Ok;
}

Status DataSession::loadDataSet(const std::string& pathIn)
{
    const std::string path = trimBlanks(pathIn);
    setBusy(true, loadtext::kOpenFile);
    data_.header.durationMinutes = 0;
    if (!path.empty())
        data_.filePrefix = filePrefixOf(path);

    std::string failedFile;
    const Status initStatus = init_.load(path, clock_, data_.header.optionFlagsHigh, &failedFile);
    if (initStatus != Status::Ok) {
        state_.setState(statebit::kStepping, false);
        setBusy(false, loadtext::kInitFailed + failedFile);
        return initStatus;
    }
    if (hooks_.applyWindowSettings)
        hooks_.applyWindowSettings();
    data_.currentNumber = settings_.integer(89, 3);

    // The pair: the given file and its partner (an existing file whose name
    // differs only in letter case counts as the partner).
    data_.measurementPath.clear();
    data_.resultsPath.clear();
    if (!path.empty()) {
        if (isResultsFileName(path)) {
            data_.resultsPath = path;
            data_.measurementPath = existingPartner(path);
        } else {
            data_.measurementPath = path;
            data_.resultsPath = existingPartner(path);
        }
    }
    const std::string resultsOverride = settings_.trimmed(89, 4);
    if (resultsOverride.size() > 4)
        data_.resultsPath = resultsOverride;
    data_.hasMeasurementFile = isFile(data_.measurementPath);
    if (!data_.hasMeasurementFile)
        data_.measurementPath.clear();
    data_.hasResultsFile = isFile(data_.resultsPath);
    if (!data_.hasResultsFile)
        data_.resultsPath.clear();

    std::string endStatus;
    Status result = Status::Ok;
    bool readFailed = false;
    if (data_.hasMeasurementFile) {
        setBusy(true, loadtext::kPreparing);
        pushFileList(settings_, data_.measurementPath);
        state_.setState(statebit::kStepping, false);
        const IndexResult ix = indexFile();
        if (ix == IndexResult::Refused) {
            // No data set is open; the busy state ends with an empty Status.
            if (hooks_.resultsViews)
                hooks_.resultsViews(false);
            state_.setState(statebit::kStepping, false);
            setBusy(false, "");
            return Status::Refused;
        }
        if (ix == IndexResult::NoData) {
            endStatus = loadtext::kNoData;
            readFailed = true;
            result = Status::DataFormat;
        }
    } else if (!path.empty() && !data_.hasResultsFile) {
        result = Status::NotFound;
    }
    if (data_.hasResultsFile) {
        data_.resultsLength = fileSize(data_.resultsPath);
        if (hooks_.caption)
            hooks_.caption(caption() + " - " + data_.resultsPath);
        if (hooks_.resultsViews)
            hooks_.resultsViews(true);
        if (hooks_.fillResultsTable && state_.state(statebit::viewBit(2)))
            hooks_.fillResultsTable();
    } else if (hooks_.resultsViews) {
        hooks_.resultsViews(false);
    }
    if (data_.hasMeasurementFile) {
        for (int kind : kViewRefreshOrder)
            if (hooks_.refreshView && state_.state(statebit::viewBit(kind)))
                hooks_.refreshView(kind);
    }
    if (data_.isOpen() || !path.empty())
        updateSelectionPanels(readFailed);
    if (readFailed)
        panels_.status = loadtext::kNoData;

    data_.header.subNumber = 0;
    state_.setState(statebit::kStepping, false);
    if (hooks_.afterLoad)
        hooks_.afterLoad();
    if (readFailed) {
        setBusy(false, endStatus);
    } else {
        setBusy(false, "");
        if (!data_.isOpen() && !path.empty())
            panels_.status = loadtext::kPleaseOpen;
    }
    syncScrollValue();
    return result;
}

Status DataSession::openChosenFile(const std::string& path)
{
    if (data_.isOpen() || (state_.stateWord & (statebit::kTextViewsMask | statebit::kOtherViewsMask)) != 0)
        closeDataSet();
    else
        panels_.clear();
    return loadDataSet(path);
}

void DataSession::updateSelectionPanels(bool readFailed)
{
    if (!data_.hasMeasurementFile && !data_.hasResultsFile) {
        panels_.status = loadtext::kPleaseOpen;
        return;
    }
    if (!data_.hasMeasurementFile) {
        panels_.status.clear();
        return;
    }
    if (readFailed) {
        panels_.status = loadtext::kNoData;
        if (hooks_.beep)
            hooks_.beep();
    } else {
        panels_.status.clear();
    }
    panels_.date = data_.header.dateText;
    panels_.time = data_.header.timeText.substr(0, 5);
    panels_.sno = snoText(data_.header, data_.currentNumber, settings_);
}

Status DataSession::readMeasurement(std::int64_t number, bool withSamples)
{
    if (!data_.hasMeasurementFile)
        return Status::NotFound;
    data_.loadStatus = kLoadStatusNoData;
    const int spm = data_.header.sectorsPerMeasurement > 0 ? data_.header.sectorsPerMeasurement : 1;
    const std::uint64_t offset = measurementOffset(number, spm);
    Sector s{};
    const std::size_t got = readBytesAt(data_.measurementPath, offset, s.data(), kSectorSize);
    if (got < kSectorSize || !headerCheckBytes(s.data())) {
        data_.dataErrorCode = kDataErrorBadHeader;
        return Status::DataFormat;
    }
    const MeasurementHeader h = decodeForDisplay(s);
    if (!headerCheckFields(h)) {
        data_.dataErrorCode = kDataErrorBadHeader;
        return Status::DataFormat;
    }
    data_.currentNumber = number;
    data_.headerOffset = static_cast<std::int64_t>(offset);
    adoptHeader(h);
    data_.dataErrorCode = h.dataErrorFlags;
    panels_.mno = mnoText(data_.header, data_.latestNumber);
    data_.loadStatus = kLoadStatusRead;
    if (!withSamples)
        return Status::Ok;

    const MeasurementHeader& hh = data_.header;
    const std::size_t bytes = static_cast<std::size_t>(hh.sectorsPerMeasurement) * kSectorSize;
    std::unique_ptr<std::uint8_t[]> buf(new std::uint8_t[bytes]);
    const std::size_t n = readBytesAt(data_.measurementPath, offset, buf.get(), bytes);
    std::vector<std::int16_t> interleaved;
    const Status st = unpackSamples(hh, buf.get(), n, interleaved);
    const int channels = hh.packetKind() == kPacketKindResult ? 0 : hh.channelCount;
    const int per = hh.packetKind() == kPacketKindResult ? 0 : hh.samplesPerChannel;
    data_.rawCounts.assign(static_cast<std::size_t>(channels), std::vector<std::int16_t>(static_cast<std::size_t>(per)));
    data_.values.assign(static_cast<std::size_t>(channels), std::vector<float>(static_cast<std::size_t>(per)));
    for (int i = 0; i < per; ++i)
        for (int c = 0; c < channels; ++c) {
            const std::size_t w = static_cast<std::size_t>(i) * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c);
            const std::int16_t v = w < interleaved.size() ? interleaved[w] : std::int16_t(-32768);
            data_.rawCounts[static_cast<std::size_t>(c)][static_cast<std::size_t>(i)] = v;
            data_.values[static_cast<std::size_t>(c)][static_cast<std::size_t>(i)] = static_cast<float>(v);
        }
    state_.setState(statebit::kRawLoaded, true);
    if (hooks_.conditionSamples)
        hooks_.conditionSamples(data_);
    // A burst cut short by the end of the file keeps the samples present;
    // the rest are marked missing.
    (void)st;
    return Status::Ok;
}

Status DataSession::selectMeasurement(std::int64_t number, bool withSamples)
{
    if (!data_.hasMeasurementFile)
        return Status::NotFound;
    if (data_.latestNumber >= 1) {
        if (number < 1)
            number = 1;
        if (number > data_.latestNumber)
            number = data_.latestNumber;
    }
    data_.currentNumber = number;
    state_.setState(statebit::kRawLoaded | statebit::kProcessed, false);
    const Status st = readMeasurement(number, withSamples);
    updateSelectionPanels(st != Status::Ok);
    return st;
}

Status DataSession::refreshFile()
{
    if (!data_.hasMeasurementFile)
        return Status::NotFound;
    if (!scanMeasurementFile(0, 0)) {
        panels_.status = loadtext::kNoData;
        return Status::DataFormat;
    }
    panels_.mno = mnoText(data_.header, data_.latestNumber);
    updateSelectionPanels(false);
    syncScrollValue();
    return Status::Ok;
}

std::string DataSession::headerInfo(bool showErrorCode) const
{
    return headerInfoText(data_.header, showErrorCode, data_.dataErrorCode, settings_.trimmed(96, 0) == "1");
}

int DataSession::scrollMaximum() const { return ScrollMapping::maximum(data_.latestNumber); }

int DataSession::syncScrollValue()
{
    lastScrollValue_ = ScrollMapping::valueFor(data_.currentNumber, data_.latestNumber);
    return lastScrollValue_;
}

Status DataSession::scrollChanged(int newValue)
{
    const std::int64_t n =
        ScrollMapping::numberAfterChange(data_.currentNumber, lastScrollValue_, newValue, data_.latestNumber);
    lastScrollValue_ = newValue;
    return selectMeasurement(n, false);
}

void DataSession::closeDataSet()
{
    if (hooks_.closeGraphWindows)
        hooks_.closeGraphWindows();
    data_.previousPath = data_.measurementPath;
    data_.measurementPath.clear();
    data_.resultsPath.clear();
    settings_.set(kFileListItem, 0, "");
    settings_.set(83, 0, "");
    refusal_.clear();
    saveSettings(false);
    if (hooks_.closeDocumentWindows)
        hooks_.closeDocumentWindows();
    if (hooks_.caption)
        hooks_.caption("");
    panels_.clear();
    panels_.status = refusal_;  // why the settings were not saved stays in view
    data_.hasMeasurementFile = false;
    data_.hasResultsFile = false;
    data_.loadStatus = kLoadStatusNoData;
    data_.rawCounts.clear();
    data_.values.clear();
    state_.setState(statebit::kFileOpen | statebit::kRawLoaded | statebit::kProcessed, false);
}

Status DataSession::saveSettings(bool withDocuments)
{
    SaveSnapshot snap;
    if (hooks_.windowSnapshot)
        snap = hooks_.windowSnapshot(withDocuments);
    snap.withDocuments = withDocuments;
    snap.currentNumber = data_.currentNumber;
    // The lanes' channels are known once a measurement file was indexed;
    // before that item 178 stays as read.
    if (data_.hasMeasurementFile)
        snap.laneChannels = data_.graphChannel;
    std::string text;
    const Status st = init_.save(snap, &text);
    showSaveOutcome(st, text);
    return st;
}

void DataSession::showSaveOutcome(Status st, const std::string& text)
{
    if (text.empty())
        return;
    panels_.status = text;
    if (st == Status::Ok)
        return;
    refusal_ = text;
    if (hooks_.logMessage)
        hooks_.logMessage(text);
    else
        std::cerr << "tolv: " << text << std::endl;
}

Status DataSession::toggleBarrier()
{
    SaveSnapshot snap;
    if (hooks_.windowSnapshot)
        snap = hooks_.windowSnapshot(false);
    snap.currentNumber = data_.currentNumber;
    // The lanes' channels are known once a measurement file was indexed;
    // before that item 178 stays as read.
    if (data_.hasMeasurementFile)
        snap.laneChannels = data_.graphChannel;
    std::string text;
    const Status st = init_.toggleBarrier(snap, &text);
    showSaveOutcome(st, text);
    return st;
}

Status DataSession::runInitialization()
{
    const VariantQuestion q = init_.variantQuestion();
    InputRequest r;
    r.caption = q.caption;
    r.message = q.message;
    r.style = InputRequest::ShowInput;
    r.preset = q.preset;
    r.choices = q.choices;
    const InputResult answer = prompter_.input(r);
    const std::optional<int> number = init_.variantFromAnswer(answer.answer);
    if (!number)
        return Status::Cancelled;
    std::error_code ec;
    if (!fs::is_regular_file(init_.variantPath(*number), ec)) {
        // Nothing is closed or copied for a variant that does not exist.
        panels_.status = loadtext::kInitFailed + init_.variantPath(*number);
        return Status::NotFound;
    }
    const std::string master = data_.measurementPath.empty() ? data_.resultsPath : data_.measurementPath;
    if (data_.isOpen())
        closeDataSet();
    std::string failed;
    const Status st = init_.applyVariant(*number, master, &failed);
    if (st != Status::Ok) {
        panels_.status = loadtext::kInitFailed + failed;
        return st;
    }
    data_.modelCode = kModelCodeUnknown;
    return loadDataSet(master);
}

}  // namespace varenta
