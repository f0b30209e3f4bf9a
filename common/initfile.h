#pragma once
// Loading and saving the initialization table, the choice of the
// initialization file, the protection state and the pieces of the
// initialization command (variant list, question, file copies).
//
// Program files are the program folder followed by "/tolv" and a suffix:
// "i.ini" the active settings, "i.org" the template, "i-NN.org" the
// variants, "g.org" the result items, "f.org" the channels, ".tp0" the
// temporary file of a save.
#include "common/appstate.h"
#include "common/channeltable.h"
#include "common/clock.h"
#include "common/resultitems.h"
#include "common/settings.h"
#include "common/status.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace varenta {

// What a save stores besides the table itself: the main window and the
// document windows as the front end sees them, and the data set's current
// measurement and lane channels.
struct SaveSnapshot {
    WindowShow mainState = WindowShow::Normal;
    WindowGeometry main;
    bool withDocuments = false;                // exit: document geometry requested
    std::array<DocumentWindowInfo, 8> documents{};
    std::optional<long long> currentNumber;    // item 89 value 3
    std::optional<std::array<int, 8>> laneChannels;  // item 178 values 0..7
};

// Texts of the store.
namespace inittext {
inline constexpr const char* kSaved = "保存終了";
// A save refused because the settings were not read completely, followed
// by the file that failed to load.
inline constexpr const char* kNotSaved = "設定の読込みが不完全なため保存しません: ";
}  // namespace inittext

// The Minit question.
struct VariantQuestion {
    std::string caption;   // "アプリケーションの初期化 "
    std::string message;   // the request, CR LF, "現在の番号=NN"
    std::string preset;    // the list entry of the current number
    std::vector<std::string> choices;  // "NN=name" entries
};

class InitStore {
public:
    InitStore(Settings& settings, RuntimeState& state, const StartOptions& start, std::string programFolder);

    // Program folder + "/tolv" + suffix.
    std::string programFile(const std::string& suffix) const;
    const std::string& folder() const { return folder_; }
    const StartOptions& start() const { return start_; }

    // The initialization file for a data file path (possibly empty):
    // command-line field 2 when longer than 4 characters; else, with start
    // flag 0x02 and a data path longer than 4 characters, the data file's
    // folder + "tolvi.ini", with "SM" inserted when the two characters before
    // the path's last eight read "SM" in any case; else the program folder's
    // "tolvi.ini".
    std::string chooseFile(const std::string& dataPath) const;

    // Loads: chooses the file (created from "tolvi.org" when missing), reads
    // "tolvg.org", "tolvf.org" and the file, builds the selection, aligns the
    // three schedules to the clock and applies the switch words.  Any failure
    // leaves the table, the tables and the state as they were; message says
    // which file failed.
    Status load(const std::string& dataPath, const Clock& clock, int headerOptionFlagsHigh = 0,
                std::string* message = nullptr);

    // The active initialization file of the last successful load.
    const std::string& activePath() const { return active_; }
    // Whether the last load read every file completely.  Until one did (and
    // after any load that failed) the table may hold defaults or stale
    // values, and no save writes it over a file.
    bool complete() const { return complete_; }
    // The file whose reading failed in the last load ("" when complete).
    const std::string& failedFile() const { return failed_; }

    // Saves by the save algorithm.  Protected: nothing is written, Refused is
    // returned and statusText stays empty.  Not complete: nothing is written
    // either and Refused is returned; statusText says why (kNotSaved and the
    // file), but only at the first refused save after the failed load, so
    // the reason is told once.  The file is replaced only once the temporary
    // file was completely written and flushed, so a crash mid-save leaves
    // the old or the new file, never a torn one.  On success statusText is
    // "保存終了".
    Status save(const SaveSnapshot& snap, std::string* statusText = nullptr);

    // The protection menu command: with the mark set, remove it and turn
    // protection off; otherwise set it and save (the save then turns
    // protection on).
    Status toggleBarrier(const SaveSnapshot& snap, std::string* statusText = nullptr);

    // Rebuilds the result-item selection (after the wind set or header
    // priority changed).
    void rebuildSelection(int headerOptionFlagsHigh);

    const ResultItemTable& resultItems() const { return resultItems_; }
    const ChannelTable& channels() const { return channels_; }
    const ResultSelection& selection() const { return selection_; }
    // Graph-scale lists of item 65 values 1..5 (widths 5, 4, 4, 4, 4).
    std::vector<double> scaleList(int value) const;

    // ---- initialization variants ----
    std::vector<std::string> variantList() const;
    VariantQuestion variantQuestion() const;
    // The variant number of an answer: nullopt for "can"; the current number
    // for an empty answer; else the integer of the first two characters.
    std::optional<int> variantFromAnswer(const std::string& answer) const;
    std::string variantPath(int number) const;
    // Copies the variant file over "tolvi.org" and over the initialization
    // file chosen for dataPath.  NotFound when the variant is missing;
    // nothing is copied then.
    Status applyVariant(int number, const std::string& dataPath, std::string* message = nullptr);

private:
    Settings& settings_;
    RuntimeState& state_;
    const StartOptions& start_;
    std::string folder_;
    std::string active_;
    bool complete_ = false;
    bool refusalTold_ = false;
    std::string failed_;
    ResultItemTable resultItems_;
    ChannelTable channels_;
    ResultSelection selection_;
};

// Writes bytes to path through a temporary file beside it: written
// completely, flushed to the disk, then renamed over path.
Status replaceFileDurably(const std::string& path, const std::string& bytes);
// Copies a file durably (the same way).
Status copyFileDurably(const std::string& from, const std::string& to);

}  // namespace varenta
