#pragma once
// The shipped result items and settings in a throw-away program folder, and
// results files made for the tests of the results table and graph.
#include "common/format.h"
#include "common/installdata.h"
#include "common/masterfile.h"
#include "common/resultitems.h"
#include "common/settings.h"
#include "tools/synth/synth.h"

#include "common/test_settings_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace varenta::testing {

// Settings, result items and the selection of item 165 as installed.
struct Shipped {
    TempFolder dir;
    Settings settings;
    ResultItemTable items;
    ResultSelection selection;

    Shipped()
    {
        std::string msg;
        EXPECT_EQ(installProgramData(std::string(VARENTA_SOURCE_DIR) + "/data", dir.path(), &msg), Status::Ok) << msg;
        EXPECT_EQ(settings.load(dir.file("tolvi.org")), Status::Ok);
        EXPECT_EQ(items.load(dir.file("tolvg.org")), Status::Ok);
        selection = buildResultSelection(settings, 165);
    }
    std::string file(const std::string& name) const { return dir.file(name); }
};

// A results record of the shipped layout as the logger writes it: interval
// and duration, date and time, the running number, and a few values.
inline std::string loggerRecord(const ResultSelection& sel, long long number, int month, int day, int hour,
                                int minute, double h13 = 1.25, double direction = 200)
{
    std::string r = emptyResultsRecord();
    setResultItem(r, 0, " 6020");
    setResultItem(r, 1, "   26");
    setResultItem(r, 2, rightAlign(std::to_string(month), 2) + "/" + rightAlign(std::to_string(day), 2));
    setResultItem(r, 3, rightAlign(std::to_string(hour), 2) + ":" + formatMask(minute, "00"));
    setResultItem(r, sel.positionOf(6), std::to_string(number % 100000));
    setResultItem(r, sel.positionOf(12), formatMask(h13, "#0.00"));
    setResultItem(r, sel.positionOf(24), formatMask(direction, "##0"));
    setResultItem(r, sel.positionOf(109), "  0.0");
    return r;
}

// Hourly records from a date and hour on, numbered 1 .. count.
inline std::string hourlyRecords(const ResultSelection& sel, long long count, int day, int hour)
{
    std::string all;
    DateTime t{2026, 5, day, hour, 0, 0, 0};
    for (long long k = 1; k <= count; ++k) {
        all += loggerRecord(sel, k, t.month, t.day, t.hour, t.minute, 0.5 + 0.01 * static_cast<double>(k % 100),
                            static_cast<double>((k * 7) % 360));
        t = addMinutes(t, 60);
    }
    return all;
}

inline std::string recordOf(const std::string& file, long long k)
{
    return file.substr(static_cast<std::size_t>(k - 1) * kResultsRecordSize, kResultsRecordSize);
}

inline void putRecord(std::string& file, long long k, const std::string& record)
{
    file.replace(static_cast<std::size_t>(k - 1) * kResultsRecordSize, kResultsRecordSize, record);
}

// Lines of a text joined by CR LF (the last one ended too), without ends.
inline std::vector<std::string> crlfLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t e = text.find("\r\n", at);
        if (e == std::string::npos) {
            lines.push_back(text.substr(at));
            break;
        }
        lines.push_back(text.substr(at, e - at));
        at = e + 2;
    }
    return lines;
}

}  // namespace varenta::testing
