#pragma once
// The serial output of results records in the processing program (start
// flag 0x20000): the output port opened at each initialization from item 86
// value 6, its status text in the Status panel, and every results record
// the processing run stores sent as a packet (logged by item 86 value 7).
#include "common/serialport.h"
#include "tolv/shell/serialoutput.h"

#include <memory>
#include <string>

namespace varenta {

class MDIForm1;
struct ResultsRecordPart;

struct SerialOutputPart {
    explicit SerialOutputPart(std::unique_ptr<SerialPort> p);
    std::unique_ptr<SerialPort> port;
    SerialOutput output;
    std::string statusText;  // of the last opening
    long long sent = 0;      // packets sent
};

// Wires the opening to the initialization hook and the sending to the
// results record step.  port: the port to use (a POSIX terminal port when
// null).
std::shared_ptr<SerialOutputPart> attachSerialOutput(MDIForm1& window, ResultsRecordPart& records,
                                                     std::unique_ptr<SerialPort> port = nullptr);

}  // namespace varenta
