// The packet receiver fed from the serial line piece by piece, with the
// receive-threshold events the line raises, the time-out and line errors in
// between, after one of the commands that change how it reads, and the
// collection writer storing what it accepts.  Nothing may be stored that
// does not sum to 0, nor without a packet marker unless the last command
// was one (0x14, 0x44) after which any first byte is taken.
//
// Input: byte 0 picks the command sent first; then pieces, each a length
// byte b and its bytes: b & 0x7F bytes (times 8 when b & 0x80); b = 0 fires
// the receive time-out, b = 0x80 raises a line error instead.
#include "brenlo24/link/collection.h"
#include "brenlo24/link/link.h"
#include "common/sector.h"
#include "fuzz_support.h"

using namespace varenta;

namespace {

class Host final : public LinkHost {
public:
    explicit Host(FakeSerialPort& port) : port_(port) {}
    void showStatus(const std::string&) override {}
    void beep() override {}
    void showKindIndicators(int) override {}
    void sleepMs(int ms) override { tick_ += ms; }
    void serveEvents() override { port_.deliverPosted(); }
    void waitEvents() override
    {
        tick_ += 50;
        port_.deliverPosted();
    }
    void startReceiveTimer(int) override {}
    void stopReceiveTimer() override {}
    std::int64_t tickMs() override { return tick_; }

private:
    FakeSerialPort& port_;
    std::int64_t tick_ = 0;
};

class Writer final : public PacketHandler {
public:
    Writer() : writer(CollectionConfig{fuzz::scratchFolder(), 0, 4}) {}
    Status storePacket(const Packet& p, const StatusRecord& current) override
    {
        const std::uint8_t last = link->lastCommandCode();
        FUZZ_CHECK(p[0] == kPacketMarker || last == 0x14 || last == 0x44);
        FUZZ_CHECK(sectorSumOk(p.data()));
        StoreOutcome out;
        return writer.store(p, current.modelCode(), out);
    }
    PacketWriter writer;
    const DeviceLink* link = nullptr;
};

constexpr const char* kCommands[] = {"", "54", "16", "14", "44", "20", "90"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    FakeSerialPort port;
    SerialLine line{port};
    Host host{port};
    DeviceLink link{line, host};
    Writer writer;
    writer.link = &link;
    port.open("/dev/fuzz", 115200);
    link.setHandler(&writer);
    link.setDumpFolder(fuzz::scratchFolder());
    link.setLineSpeed(115200);
    link.flushAndRearm();
    const char* command = kCommands[data[0] % std::size(kCommands)];
    if (*command)
        link.sendCommand(command, sendmode::kArmTimeout);

    std::size_t at = 1;
    while (at < size) {
        const std::uint8_t b = data[at++];
        if (b == 0) {
            link.onReceiveTimeout();
            continue;
        }
        if (b == 0x80) {
            port.raiseError(kSerialFrame);
            continue;
        }
        const std::size_t n = std::min<std::size_t>((b & 0x7F) * ((b & 0x80) ? 8 : 1), size - at);
        port.feed(data + at, n);
        port.deliverPosted();
        at += n;
    }
    return 0;
}
