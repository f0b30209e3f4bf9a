#pragma once
// A recording ConditionsHost for the tests of the conditions dialog: the
// settings of an installed program folder, and a log of every call the
// dialog makes on the main window.
#include "common/installdata.h"
#include "common/resultitems.h"
#include "common/settings.h"
#include "tolv/shell/conditions.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace varenta::testing {

// A fresh program folder with the installation data.
inline std::string installedFolder(const std::string& name)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("varenta_form3_" + name + "_" + std::to_string(::getpid()));
    std::error_code ec;
    fs::remove_all(dir, ec);
    fs::create_directories(dir);
    std::string message;
    const Status st = installProgramData(std::string(VARENTA_SOURCE_DIR) + "/data", dir.string(), &message);
    EXPECT_EQ(st, Status::Ok) << message;
    return dir.string();
}

class RecordingConditionsHost : public ConditionsHost {
public:
    explicit RecordingConditionsHost(const std::string& folder) : folder_(folder)
    {
        EXPECT_EQ(settings_.load(folder + "/tolvi.org"), Status::Ok);
        EXPECT_EQ(items_.load(folder + "/tolvg.org"), Status::Ok);
        state_.autoWord = settings_.hex(85, 4);
        state_.switchWord2 = settings_.hex(85, 5);
    }

    // Calls made, in order: "copyHeader", "mapping", "merge <path>",
    // "reprocess", "table", "redisplay", "graph", "timers", "lane i n",
    // "download", "help n", "status <text>".
    std::vector<std::string> calls;
    std::string mergeResult = "/data/NR012M.h10";  // "" makes the merge fail
    bool tableOpen = true;
    bool downloadAvailable = true;
    std::vector<std::string> lanes = {"1 水圧", "2 流速X", "3 流速Y"};
    std::string header = "機械番号= 12\r\n測定番号= 345\r\n";
    int selection = 165;
    std::uint32_t flags = 0;
    // Header copy: the values the open header carries.
    std::string headerNoiseLevel = "40";

    int count(const std::string& call) const
    {
        return static_cast<int>(std::count(calls.begin(), calls.end(), call));
    }

    Settings& settings() override { return settings_; }
    RuntimeState& runtime() override { return state_; }
    std::uint32_t startFlags() const override { return flags; }
    void setStartFlags(std::uint32_t f) override { flags = f; }
    std::string programFolder() const override { return folder_; }
    const ResultItemTable& resultItems() const override { return items_; }
    int selectionItem() const override { return selection; }
    void copyHeaderConditions() override
    {
        calls.push_back("copyHeader");
        settings_.set(68, 0, headerNoiseLevel);
    }
    void rebuildItemMapping() override { calls.push_back("mapping"); }
    std::string mergeArrivedFile(const std::string& source) override
    {
        calls.push_back("merge " + source);
        return mergeResult;
    }
    void reprocess() override { calls.push_back("reprocess"); }
    bool resultsTableOpen() const override { return tableOpen; }
    void rebuildResultsTable() override { calls.push_back("table"); }
    void redisplay() override { calls.push_back("redisplay"); }
    void redrawResultsGraph() override { calls.push_back("graph"); }
    void reapplyTimers() override { calls.push_back("timers"); }
    std::vector<std::string> laneChannelNames() const override { return lanes; }
    void setLaneChannel(int lane, int channelIndex) override
    {
        calls.push_back("lane " + std::to_string(lane) + " " + std::to_string(channelIndex));
        settings_.setInt(kLaneChannelItem, lane, channelIndex);
    }
    std::string headerInformation() const override { return header; }
    bool runDownload() override
    {
        calls.push_back("download");
        return downloadAvailable;
    }
    void contextHelp(int context, int, int) override { calls.push_back("help " + std::to_string(context)); }
    void setStatusText(const std::string& text) override { calls.push_back("status " + text); }

private:
    std::string folder_;
    Settings settings_;
    RuntimeState state_;
    ResultItemTable items_;
};

}  // namespace varenta::testing
