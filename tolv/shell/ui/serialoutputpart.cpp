#include "tolv/shell/ui/serialoutputpart.h"

#include "common/serialposix.h"
#include "common/ui/uiprogress.h"
#include "tolv/data/ui/shellservices.h"
#include "tolv/shell/ui/mdiform1.h"
#include "tolv/spectra/ui/resultsrecordstep.h"

namespace varenta {

SerialOutputPart::SerialOutputPart(std::unique_ptr<SerialPort> p)
    : port(std::move(p)), output(*port, [](int ms) { uiWait(ms); })
{
}

std::shared_ptr<SerialOutputPart> attachSerialOutput(MDIForm1& window, ResultsRecordPart& records,
                                                     std::unique_ptr<SerialPort> port)
{
    if (!port)
        port = std::make_unique<PosixSerialPort>();
    auto part = std::make_shared<SerialOutputPart>(std::move(port));
    window.hooks().openSerialOutput = [part, &window] {
        part->statusText = part->output.open(window.settings().value(86, 6));
        window.setPanel(panel::kStatus, part->statusText);
    };
    records.sendRecord = [part, &window](const std::string& record) {
        const DataSet& d = window.dataSet();
        const int log = static_cast<int>(window.settings().integer(86, 7));
        const SerialOutput::Sent s = part->output.send(d.header, d.currentNumber, record, log,
                                                       window.initStore().programFile(kOutputLogName));
        if (s.status == Status::Refused)
            return;
        if (s.status == Status::Ok)
            ++part->sent;
        window.setPanel(panel::kStatus, s.statusText);
        window.serveEvents();
    };
    return part;
}

}  // namespace varenta
