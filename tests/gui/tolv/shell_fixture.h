#pragma once
// A program folder with the installation data and generated master files,
// and a main window over it with a scripted prompter and a set clock.
#include "common/format.h"
#include "common/installdata.h"
#include "common/prompter.h"
#include "common/settings.h"
#include "common/textfile.h"
#include "tolv/data/ui/documentwindow.h"
#include "tolv/shell/ui/mdiform1.h"
#include "tools/synth/generator.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace varenta::guitest {

namespace fs = std::filesystem;

inline std::string sourceDir()
{
    if (const char* s = std::getenv("VARENTA_SOURCE_DIR"); s && *s)
        return s;
    return VARENTA_SOURCE_DIR;
}

// A fresh program folder.
struct ProgramFolder {
    fs::path dir;

    ProgramFolder()
    {
        static std::atomic<int> n{0};
        dir = fs::temp_directory_path() / ("tolv_gui_" + std::to_string(::getpid()) + "_" + std::to_string(n++));
        fs::remove_all(dir);
        fs::create_directories(dir);
        std::string msg;
        EXPECT_EQ(installProgramData(sourceDir() + "/data", dir.string(), &msg), Status::Ok) << msg;
        fs::copy_file(dir / "tolvi.org", dir / "tolvi.ini", fs::copy_options::overwrite_existing);
    }
    ~ProgramFolder()
    {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    std::string path(const std::string& name) const { return (dir / name).string(); }

    // Sets values of "tolvi.ini" (item, value, text).
    void setIni(const std::vector<std::tuple<int, int, std::string>>& values) const
    {
        const std::string ini = path("tolvi.ini");
        std::vector<std::string> layout;
        ASSERT_EQ(readTextLines(ini, layout), Status::Ok);
        Settings s;
        ASSERT_EQ(s.load(ini), Status::Ok);
        for (const auto& [item, value, text] : values)
            s.set(item, value, text);
        ASSERT_EQ(writeTextLines(ini, s.render(layout)), Status::Ok);
    }

    ChannelTable channelTable() const
    {
        ChannelTable t;
        EXPECT_EQ(t.load(path("tolvf.org")), Status::Ok);
        return t;
    }

    // Generated master file pair "NR012M.H10"/"NR012L.H10".
    synth::GeneratorOptions generate(int bursts, std::vector<int> channels = {1, 2, 3}, int code = 1,
                                     int duration = 20, int interval = 60) const
    {
        synth::GeneratorOptions o;
        o.plan.bursts = bursts;
        o.plan.channels = std::move(channels);
        o.plan.intervalCode = code;
        o.plan.durationMinutes = duration;
        o.plan.intervalMinutes = interval;
        o.fidelity = synth::Fidelity::Cheap;
        o.factors = synth::ChannelFactors::fromTable(channelTable());
        std::string msg;
        EXPECT_EQ(synth::writeMasterPair(dir.string(), "NR012", o, nullptr, &msg), Status::Ok) << msg;
        return o;
    }
    std::string master() const { return path("NR012M.H10"); }

    // A generated master pair that start-up opens, with the saved state
    // word 100 (hex) showing the raw table.
    synth::GeneratorOptions generateOpened(int bursts) const
    {
        synth::GeneratorOptions o = generate(bursts);
        setIni({{98, 0, master()}, {89, 0, "100"}});
        return o;
    }
};

// The main window over a program folder.
struct Shell {
    ScriptedPrompter prompter;
    ManualClock clock{DateTime{2026, 5, 8, 9, 30, 0, 0}};
    std::string nextOpen;
    std::unique_ptr<MDIForm1> window;

    explicit Shell(const ProgramFolder& pf, const std::string& argument = {})
    {
        ShellOptions o;
        o.programFolder = pf.dir.string();
        o.argument = argument;
        o.prompter = &prompter;
        o.clock = &clock;
        o.openDialog = [this] { return nextOpen; };
        window = std::make_unique<MDIForm1>(o);
    }
    ~Shell()
    {
        if (window) {
            window->hooks() = {};
            window->runtime().autoWord = 0;
            window->close();
        }
    }
    MDIForm1& w() { return *window; }
    std::string panel(const char* key) const { return window->panelText(key); }
    DocumentWindow* doc(int kind) const { return window->documentWindow(kind); }
};

inline void settle(int ms = 30)
{
    QApplication::processEvents();
    QApplication::processEvents();
    (void)ms;
}

// The raw table text as computed from a generated burst: each sample a line
// of 7-character fields (factor x count in the channel's format), no time
// column.
inline std::string expectedRawTable(const synth::Burst& b, const ChannelTable& t)
{
    std::string out;
    for (int j = 0; j < b.samplesPerChannel; ++j) {
        if (j > 0)
            out += "\n";
        for (std::size_t c = 0; c < b.channels.size(); ++c) {
            const int code = b.channels[c];
            const double v = t.factor(code) * b.counts[c][static_cast<std::size_t>(j)];
            std::string f = t.value(code, 3);
            while (!f.empty() && f.back() == ' ')
                f.pop_back();
            while (!f.empty() && f.front() == ' ')
                f.erase(f.begin());
            std::string txt = formatMask(v, f);
            if (txt.size() < 7)
                txt = std::string(7 - txt.size(), ' ') + txt;
            else
                txt = txt.substr(txt.size() - 7);
            out += txt;
            if (c + 1 < b.channels.size())
                out += ",";
        }
    }
    return out;
}

}  // namespace varenta::guitest
