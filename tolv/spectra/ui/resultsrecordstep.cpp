#include "tolv/spectra/ui/resultsrecordstep.h"

#include "common/appstate.h"
#include "common/ui/uiprogress.h"
#include "tolv/data/docrules.h"
#include "tolv/data/ui/resultstableview.h"
#include "tolv/data/ui/shellservices.h"
#include "tolv/spectra/statsadapter.h"
#include "tolv/spectra/ui/powerspectrumview.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

namespace varenta {

bool statisticsSwitchOn(ShellServices& shell) { return (shell.runtime().switchWord2 & switch2::kWaveStatistics) != 0; }

void runStatisticsStep(ShellServices& shell, ResultsRecordPart& part)
{
    part.statistics = {};
    part.statisticsOf = 0;
    DataSet& d = shell.dataSet();
    if (!statisticsSwitchOn(shell) || !d.hasMeasurementFile || d.currentNumber <= 0 ||
        d.header.packetKind() == kPacketKindResult || shell.runtime().noSamples)
        return;
    // A record filtered by an earlier run of the steps is read again.
    if (part.spectral && part.spectral->record.longPeriodApplied)
        shell.runtime().setState(statebit::kRawLoaded, false);
    if (!shell.ensureRawData())
        return;
    static const ConditionedRecord none;
    const ConditionedRecord& rec = part.spectral ? part.spectral->record : none;
    part.statistics.values = dataSetStatistics(d, rec, shell.channels(), shell.settings(), shell.runtime());
    part.statisticsOf = d.currentNumber;
}

StoreOutcome runResultsRecordStep(ShellServices& shell, ResultsRecordPart& part)
{
    StoreOutcome out;
    DataSet& d = shell.dataSet();
    if (!d.hasMeasurementFile || d.currentNumber <= 0) {
        out.status = Status::Refused;
        part.last = out;
        return out;
    }
    const bool statistics = statisticsSwitchOn(shell);
    const TakenRecord taken = TakeResultsRecord(part.state, d, shell.prompter(), statistics);

    static const ResultValues noStatistics;
    ResultsRecordContext ctx;
    ctx.settings = &shell.settings();
    ctx.items = &shell.initStore().resultItems();
    ctx.selection = &shell.initStore().selection();
    ctx.header = &d.header;
    ctx.measurement = d.currentNumber;
    ctx.masterPath = d.measurementPath;
    ctx.resultsPath = d.hasResultsFile ? d.resultsPath : std::string();
    ctx.automatic = (shell.runtime().autoWord & autofn::kProcessing) != 0;
    Progress progress = makeUiProgress([&shell] { return shell.stopRequested(); },
                                       [&shell](const std::string& t) { shell.setPanel(panel::kStatus, t); });
    ctx.progress = &progress;
    if (statistics && part.statisticsOf == d.currentNumber)
        ctx.statistics = &part.statistics;
    else if (statistics)
        ctx.statistics = &noStatistics;
    out = StoreResultsRecord(part.state, taken, ctx);

    if (out.status == Status::Ok) {
        if (!d.hasResultsFile || d.resultsPath != out.resultsPath) {
            d.resultsPath = out.resultsPath;
            d.hasResultsFile = true;
        }
        d.resultsLength = static_cast<std::uint64_t>(out.records) * kResultsRecordSize;
        auto* table = dynamic_cast<ResultsTableView*>(shell.views().find(viewkind::kResultsTable));
        if (table && shell.documentWindow(viewkind::kResultsTable)) {
            switch (out.refresh) {
            case TableRefresh::Complete: table->fill(shell, 0, 0); break;
            case TableRefresh::FromRecord: table->fill(shell, out.refreshRecord, 0); break;
            case TableRefresh::OneLine: table->fill(shell, out.refreshRecord, fillmode::kOneLine); break;
            case TableRefresh::None: break;
            }
        }
        if (shell.startOptions().has(startflag::kSerialOutput) && part.sendRecord)
            part.sendRecord(out.record);
    }
    // What went wrong stays in the Status panel (the busy state of the
    // table fill has ended by now).
    if (taken.status != Status::Ok && taken.from != TakenFrom::RawData && out.statusText.empty())
        out.statusText = std::string(recordtext::kDamagedRecord) + std::to_string(d.currentNumber);
    if (!out.statusText.empty()) {
        shell.setPanel(panel::kStatus, out.statusText);
        // The views refreshed after this step end their busy state with an
        // empty Status: the text is set again once they are done.
        if (auto* window = dynamic_cast<QObject*>(&shell)) {
            QPointer<QObject> alive(window);
            const std::string text = out.statusText;
            QTimer::singleShot(0, window, [alive, &shell, text] {
                if (alive)
                    shell.setPanel(panel::kStatus, text);
            });
        }
    }
    part.last = out;
    return out;
}

std::shared_ptr<ResultsRecordPart> attachResultsRecordStep(ShellServices& shell,
                                                           std::shared_ptr<SpectralState> spectral)
{
    auto part = std::make_shared<ResultsRecordPart>();
    part->spectral = std::move(spectral);
    shell.processing().add(kStatisticsStepOrder, "burst statistics",
                           [part](ShellServices& s) { runStatisticsStep(s, *part); });
    shell.processing().add(kResultsRecordStepOrder, "results record",
                           [part](ShellServices& s) { runResultsRecordStep(s, *part); });
    return part;
}

}  // namespace varenta
