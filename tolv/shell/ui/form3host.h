#pragma once
// The conditions dialog's view of the running program: ConditionsHost built
// on the services the main window offers to every view (ShellServices),
// plus the few commands only the main window itself can run (the stepping
// run in reprocess mode, the automatic-function timers, the start flags and
// the download), handed in as Form3Links.
#include "tolv/data/ui/shellservices.h"
#include "tolv/shell/conditions.h"

#include <cstdint>
#include <functional>
#include <string>

namespace varenta {

struct Form3Links {
    std::function<void()> reprocess;                   // stepping run, reprocess mode (0x01)
    std::function<void()> reapplyTimers;               // Timer1/Timer3 by the automatic-function word
    std::function<void(std::uint32_t)> setStartFlags;  // the start flags held for the run
    std::function<bool()> download;                    // the download of tolvd.txt; false: not available
};

class Form3Host final : public ConditionsHost {
public:
    Form3Host(ShellServices& shell, Form3Links links) : shell_(shell), links_(std::move(links)) {}

    Settings& settings() override { return shell_.settings(); }
    RuntimeState& runtime() override { return shell_.runtime(); }
    std::uint32_t startFlags() const override;
    void setStartFlags(std::uint32_t flags) override;
    std::string programFolder() const override { return shell_.programFolder(); }
    const ResultItemTable& resultItems() const override { return shell_.initStore().resultItems(); }
    int selectionItem() const override { return shell_.initStore().selection().item; }

    void copyHeaderConditions() override;
    void rebuildItemMapping() override;
    std::string mergeArrivedFile(const std::string& source) override;
    void reprocess() override;
    bool resultsTableOpen() const override;
    void rebuildResultsTable() override;
    void redisplay() override { shell_.redisplay(); }
    void redrawResultsGraph() override;
    void reapplyTimers() override;

    std::vector<std::string> laneChannelNames() const override;
    void setLaneChannel(int lane, int channelIndex) override;
    std::string headerInformation() const override;
    bool runDownload() override { return links_.download ? links_.download() : false; }
    void contextHelp(int context, int globalX, int globalY) override;
    void setStatusText(const std::string& text) override;

private:
    ShellServices& shell_;
    Form3Links links_;
    std::uint32_t flagsOverride_ = 0;
    bool overridden_ = false;
};

}  // namespace varenta
