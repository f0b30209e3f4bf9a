#pragma once
// Helpers for the loading tests: hand-made header sectors and files, and a
// complete program (settings, state, data set, session) in a temporary
// program folder.
#include "common/bytes.h"
#include "common/initfile.h"
#include "common/masterfile.h"
#include "common/prompter.h"
#include "tolv/data/session.h"

#include "common/header_fixture.h"
#include "common/test_settings_fixture.h"

#include <cstring>
#include <string>
#include <vector>

namespace varenta::testing {

inline HeaderFields fields(std::uint32_t number, int year, int month, int day, int hour, int minute, int second = 0)
{
    HeaderFields f;
    f.measurementNumber = number;
    f.year = year;
    f.month = month;
    f.day = day;
    f.hour = hour;
    f.minute = minute;
    f.second = second;
    f.durationMinutes = 1;
    f.intervalMinutes = 60;
    f.measureCondition = 0;  // 1.0 s
    f.channelSlots[0] = 0x80 | 1;
    f.machineNumber = 12;
    f.modelCode = 60;
    return f;
}

// A continuation-like filler sector: marker, kind 1, valid checksum.
inline std::string dataSector(std::uint32_t address)
{
    Sector s{};
    s[0] = kSectorMarker;
    s[2] = 0x01;
    s[4] = static_cast<std::uint8_t>(address);
    s[5] = static_cast<std::uint8_t>(address >> 8);
    fixSectorChecksum(s.data());
    return sectorBytes(s);
}

// A program folder with definition files and a session over it.
struct Program {
    explicit Program(std::map<std::pair<int, int>, std::string> values = {}, std::uint32_t flags = 0)
    {
        start.flags = flags;
        std::map<std::pair<int, int>, std::string> v = {
            {{79, 3}, "111111111"}, {{91, 4}, "24"}, {{165, 1}, selectionList({{5, 109}})}, {{199, 0}, ""}};
        for (auto& [k, x] : values)
            v[k] = x;
        installDefinitions(dir.path(), v);
        init = std::make_unique<InitStore>(settings, state, start, dir.path());
        session = std::make_unique<DataSession>(settings, state, *init, data, panels, prompter, clock);
        DataHooks h;
        h.beep = [this] { ++beeps; };
        h.caption = [this](const std::string& c) { caption = c; };
        h.refreshView = [this](int kind) { refreshed.push_back(kind); };
        session->setHooks(h);
    }
    std::string file(const std::string& name) const { return dir.file(name); }

    TempFolder dir;
    Settings settings;
    RuntimeState state;
    StartOptions start;
    std::unique_ptr<InitStore> init;
    DataSet data;
    StatusPanels panels;
    ScriptedPrompter prompter;
    ManualClock clock{DateTime{2026, 5, 6, 12, 0, 0}};
    std::unique_ptr<DataSession> session;
    int beeps = 0;
    std::string caption;
    std::vector<int> refreshed;
};

}  // namespace varenta::testing
