// libFuzzer target: the device-information image decode.  Any input is
// taken as a "Brenlo.tbl" dump (or, when it is not one, as raw image
// bytes); every tab must show, take its own texts back unchanged, and
// either take fuzzed entries or refuse them without touching the image.
#include "brenlo24/config/devinfo.h"
#include "brenlo24/config/devpolicy.h"
#include "brenlo24/link/packetdump.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace varenta;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Packet image{};
    if (auto dump = parsePacketDump(text))
        image = *dump;
    else
        for (std::size_t i = 0; i < size && i < image.size(); ++i)
            image[i] = data[i];
    image[16] &= 0xF7;  // bit 3 of the flags has no start control
    const MainWindowFields main = mainWindowFieldsOf(image);

    for (DevTab tab : {DevTab::Connection, DevTab::Processing, DevTab::Coefficients})
        for (bool high : {false, true}) {
            const FieldTexts shown = showFields(image, tab, high);
            Packet back = image;
            if (writeFields(back, tab, shown, main, high) || back != image)
                std::abort();

            // The input's tail as the text of every box of the tab.
            FieldTexts fuzzed = shown;
            const std::string entry(text.substr(size / 2, 24));
            for (auto& [control, value] : fuzzed)
                value = entry;
            Packet edited = image;
            if (writeFields(edited, tab, fuzzed, main, high) && edited != image)
                std::abort();
        }

    (void)modeButtonFor(image);
    PermissionInputs in;
    in.modelCode = image[63];
    in.stateByte = image[17];
    in.lastCommand = image[45];
    in.lastReceivedKind = image[2];
    (void)checkPermission(in, DevChange::Fields);
    return 0;
}
