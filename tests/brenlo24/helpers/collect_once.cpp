// collect_once PORT SPEED FOLDER CODE FIRST LAST
// One collection run of the communication program's link and writer on a
// serial line (the logger emulator's pseudo-terminal), without a window:
// sends the collection command CODE for measurements FIRST..LAST, serves
// the line until the receive time-out ends the run and stores what arrives
// in FOLDER.  The kill tests run it under strace.  Exit status 0 when the
// run ended with "回収終了".
#include "brenlo24/link/collection.h"
#include "brenlo24/link/link.h"
#include "brenlo24/link/pollhost.h"
#include "common/serialposix.h"

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace varenta;

namespace {

class Writer final : public PacketHandler {
public:
    explicit Writer(CollectionConfig cfg) : writer(std::move(cfg)) {}
    Status storePacket(const Packet& p, const StatusRecord& current) override
    {
        StoreOutcome out;
        return writer.store(p, current.modelCode(), out);
    }
    PacketWriter writer;
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 7) {
        std::fprintf(stderr, "usage: collect_once PORT SPEED FOLDER CODE FIRST LAST\n");
        return 2;
    }
    const int speed = std::atoi(argv[2]);
    PosixSerialPort port;
    if (port.open(argv[1], speed) != Status::Ok) {
        std::fprintf(stderr, "collect_once: %s\n", port.lastError().c_str());
        return 1;
    }
    SerialLine line{port};
    PollHost host{port};
    DeviceLink link{line, host};
    // Field 4 of the emulator's result lines holds the measurement number.
    Writer writer(CollectionConfig{argv[3], 0, 4});
    CommandParameters par;
    par.firstNumber = std::atoi(argv[5]);
    par.lastNumber = std::atoi(argv[6]);
    host.attach(&link);
    link.setHandler(&writer);
    link.setDumpFolder(argv[3]);
    link.setParameters([&par] { return par; });
    link.setLineSpeed(speed);
    link.flushAndRearm();
    if (link.sendCommand(argv[4], sendmode::kArmTimeout) != DeviceLink::SendResult::Sent)
        return 1;
    if (!host.runUntil([&] { return !host.timerRunning(); }, 120000))
        return 1;
    std::printf("%s\n", host.status().c_str());
    return host.status() == linktext::kCollectionDone ? 0 : 1;
}
