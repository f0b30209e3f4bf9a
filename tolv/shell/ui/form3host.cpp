#include "tolv/shell/ui/form3host.h"

#include "common/progress.h"
#include "tolv/data/docrules.h"
#include "tolv/data/headertext.h"
#include "tolv/data/merge.h"
#include "tolv/data/session.h"
#include "tolv/data/ui/documentwindow.h"
#include "tolv/data/ui/viewregistry.h"

#include <QPoint>

namespace varenta {

std::uint32_t Form3Host::startFlags() const
{
    return overridden_ ? flagsOverride_ : shell_.startOptions().flags;
}

void Form3Host::setStartFlags(std::uint32_t flags)
{
    if (links_.setStartFlags) {
        links_.setStartFlags(flags);
        overridden_ = false;
        return;
    }
    // Without a link the flags live here, for the dialog's own use.
    flagsOverride_ = flags;
    overridden_ = true;
}

void Form3Host::copyHeaderConditions()
{
    DataSet& d = shell_.dataSet();
    if (d.hasMeasurementFile)
        applyLoggerSettings(shell_.settings(), shell_.runtime(), d.header);
}

void Form3Host::rebuildItemMapping()
{
    shell_.initStore().rebuildSelection(shell_.dataSet().header.optionFlagsHigh);
}

std::string Form3Host::mergeArrivedFile(const std::string& source)
{
    if (source.empty())
        return {};
    Progress progress;
    progress.poll = [this] {
        shell_.serveEvents();
        return !shell_.stopRequested();
    };
    progress.text = [this](const std::string& t) { shell_.setPanel(panel::kStatus, t); };
    const MergeOutcome out = varenta::mergeArrivedFile(source, shell_.webFolder(), &progress);
    return out.status == Status::Ok ? out.targetPath : std::string();
}

void Form3Host::reprocess()
{
    if (links_.reprocess)
        links_.reprocess();
    else
        shell_.redisplay();
}

bool Form3Host::resultsTableOpen() const { return shell_.documentWindow(viewkind::kResultsTable) != nullptr; }

void Form3Host::rebuildResultsTable()
{
    if (ViewKind* v = shell_.views().find(viewkind::kResultsTable))
        v->refresh(shell_, RefreshReason::Loaded);
}

void Form3Host::redrawResultsGraph()
{
    if (!shell_.documentWindow(viewkind::kResultsGraph))
        return;
    if (ViewKind* v = shell_.views().find(viewkind::kResultsGraph))
        v->redraw(shell_);
}

void Form3Host::reapplyTimers()
{
    if (links_.reapplyTimers)
        links_.reapplyTimers();
}

std::vector<std::string> Form3Host::laneChannelNames() const
{
    std::vector<std::string> names;
    const DataSet& d = shell_.dataSet();
    const ChannelTable& table = shell_.channels();
    for (std::size_t i = 0; i < d.header.channels.size(); ++i)
        names.push_back(std::to_string(i + 1) + " " + trimBlanks(table.name(d.header.channels[i])));
    return names;
}

void Form3Host::setLaneChannel(int lane, int channelIndex)
{
    if (lane < 0 || lane >= 8 || channelIndex < 0)
        return;
    shell_.dataSet().graphChannel[static_cast<std::size_t>(lane)] = channelIndex;
    shell_.settings().setInt(kLaneChannelItem, lane, channelIndex);
}

std::string Form3Host::headerInformation() const
{
    if (!shell_.dataSet().hasMeasurementFile)
        return {};
    return shell_.session().headerInfo(false);
}

void Form3Host::contextHelp(int context, int globalX, int globalY)
{
    shell_.showPopupMenu(popupbit::kHelp, context, QPoint(globalX, globalY), false);
}

void Form3Host::setStatusText(const std::string& text) { shell_.setPanel(panel::kStatus, text); }

}  // namespace varenta
