#pragma once
// Opening, indexing and closing a data set, reading the measurement on
// display, and the commands that reload the settings around it (the
// initialization command and the protection toggle).  The front end plugs
// its windows in through DataHooks; everything here is testable without
// them.
#include "common/appstate.h"
#include "common/clock.h"
#include "common/initfile.h"
#include "common/progress.h"
#include "common/prompter.h"
#include "common/settings.h"
#include "common/status.h"
#include "tolv/data/dataset.h"

#include <cstdint>
#include <functional>
#include <string>

namespace varenta {

// Texts of the loader.
namespace loadtext {
inline constexpr const char* kOpenFile = "ファイルを開いてください";        // busy text of a load
inline constexpr const char* kPleaseOpen = "ファイルを開いて下さい";        // no file open
inline constexpr const char* kPreparing = "準備をしています。しばらくお待ち下さい";
inline constexpr const char* kNoData = "データ無し";
inline constexpr const char* kCaptionPrefix = "Varentix - ";
inline constexpr const char* kCautionTitle = "VarentaK - 操作の注意";
inline constexpr const char* kModelMismatch =
    "異なる機種のファイルを開きました。適切な初期化(F9)をしてから開いてください。";
inline constexpr const char* kInitFailed = "初期化ファイルを読めません: ";
}  // namespace loadtext

// The view kinds refreshed after a load, in this order: raw data table,
// raw data graph, power spectrum, directional spectrum, component 2-D graph,
// contour graph.
inline constexpr int kViewRefreshOrder[6] = {0, 1, 4, 5, 6, 7};

// What the front end does at the steps of loading and closing.  Every hook
// is optional.
struct DataHooks {
    std::function<void(bool on)> busyPointer;                 // hourglass on/off
    std::function<void()> beep;                               // warning beep
    std::function<void(const std::string&)> caption;          // main window caption; "" = idle caption
    std::function<void()> applyWindowSettings;                // main window state and placement (item 88, 89)
    std::function<void(bool enabled)> resultsViews;           // results table and graph commands
    std::function<void()> fillResultsTable;                   // when the results table is switched on
    std::function<void(int kind)> refreshView;                // open or refresh a switched-on view
    std::function<void()> sampleViewsClosed;                  // indexing failed: sample views marked closed
    std::function<void()> closeGraphWindows;                  // closing: graph windows of the data set
    std::function<void()> closeDocumentWindows;               // closing: all view windows
    std::function<void()> afterLoad;                          // toolbar, serial output, scan timer
    std::function<SaveSnapshot(bool withDocuments)> windowSnapshot;  // windows as they stand, for a save
    std::function<void(DataSet&)> conditionSamples;           // conversion of the counts read
    // The message log: events that must outlive the Status panel (a save
    // refused).  Unset: the line goes to standard error.
    std::function<void(const std::string&)> logMessage;
};

class DataSession {
public:
    DataSession(Settings& settings, RuntimeState& state, InitStore& init, DataSet& data, StatusPanels& panels,
                Prompter& prompter, const Clock& clock);

    void setHooks(DataHooks hooks) { hooks_ = std::move(hooks); }
    // Long scans call this seam every 32768 bytes and stop when it says so.
    void setProgress(const Progress* progress) { progress_ = progress; }

    // ---- loading ----
    // The open command after its file dialog: the open data set (or any
    // open view) is closed first, otherwise the panels are emptied; then
    // the chosen path is loaded (an empty path loads only the settings).
    Status openChosenFile(const std::string& path);
    // The loading steps: settings reloaded for the file, the pair formed,
    // the file indexed, the model checked, panels and views refreshed.
    // Ok: something is open or nothing was asked for.  Refused: model
    // mismatch.  DataFormat: no measurement in the file (a results file may
    // still be open).  NotFound: neither file exists.  Other: the settings
    // could not be loaded (Status panel says which file).
    Status loadDataSet(const std::string& path);
    // Closes the data set: windows, paths, item 98 value 0 and item 83
    // value 0 cleared, settings saved, caption and panels reset.
    void closeDataSet();
    // Finds the header to use in file-list entry listIndex (0 = the current
    // file; it first merges a pending arrived file).
    bool scanMeasurementFile(int listIndex, std::int64_t wantedNumber);
    // Reads one measurement of the current file: the header, and with
    // samples its counts.  DataFormat: the header failed its checks
    // (dataErrorCode 16, the previous header stays).
    Status readMeasurement(std::int64_t number, bool withSamples);
    // Rescan of the open file for measurements added since it was opened
    // (newest shown); panels refreshed when it succeeds.
    Status refreshFile();
    // Makes number (clamped to 1 .. latest) the measurement on display:
    // header read, panels refreshed.  The caller refreshes the views.
    Status selectMeasurement(std::int64_t number, bool withSamples = false);
    // Status, Date, Time and Sno after a measurement was selected.
    void updateSelectionPanels(bool readFailed);
    // busy pointer and Status text
    void setBusy(bool on, const std::string& message);
    // The header information text of the measurement on display.
    std::string headerInfo(bool showErrorCode) const;
    int findChannel(int type) const { return data_.header.findChannel(type); }

    // ---- scroll bar ----
    int scrollMaximum() const;
    // The bar value for the current number; remembered as the last value.
    int syncScrollValue();
    // A change of the bar: the number moves and the header is read.
    Status scrollChanged(int newValue);

    // ---- settings commands ----
    // Saves the settings with the windows as the front end reports them.
    // Refused when protected, or when the settings were not read completely
    // (the file is left as it was; the first such refusal is told in the
    // Status panel and the message log).
    Status saveSettings(bool withDocuments);
    // The protection menu command.
    Status toggleBarrier();
    // The initialization command: asks for a variant, closes the data set,
    // copies the variant and reopens the file that was open.  Cancelled when
    // the question is cancelled.
    Status runInitialization();

    DataSet& data() { return data_; }
    const DataSet& data() const { return data_; }
    StatusPanels& panels() { return panels_; }
    InitStore& init() { return init_; }

private:
    void adoptHeader(const MeasurementHeader& h);
    MeasurementHeader decodeForDisplay(Sector sector);
    void buildDisplayChannels();
    void updateMerge();
    enum class IndexResult { Ok, NoData, Refused };
    IndexResult indexFile();
    std::string caption() const;
    void showSaveOutcome(Status st, const std::string& text);

    Settings& settings_;
    RuntimeState& state_;
    InitStore& init_;
    DataSet& data_;
    StatusPanels& panels_;
    Prompter& prompter_;
    const Clock& clock_;
    std::string refusal_;  // the text of the last refused save
    const Progress* progress_ = nullptr;
    DataHooks hooks_;
    int lastScrollValue_ = 1;
};

}  // namespace varenta
