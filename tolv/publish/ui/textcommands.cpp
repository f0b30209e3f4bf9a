#include "tolv/publish/ui/textcommands.h"

#include "common/textconvert.h"
#include "tolv/publish/analysisexport.h"
#include "tolv/data/headertext.h"
#include "tolv/data/ui/shellservices.h"
#include "tolv/shell/ui/mdiform1.h"

#include <filesystem>
#include <memory>
#include <string>

namespace varenta {

namespace exporttext {
inline constexpr const char* kTitle = "VarentaK - NetCDF形式で出力";
inline constexpr const char* kQuestion =
    "NetCDF形式で出力します。出力ファイル名と、開始、終了測定番号を指定します。\r\n例：/data/NR012.nc,00001,10000";
inline constexpr const char* kBusy = "NetCDF形式で出力中";
inline constexpr const char* kDone = "NetCDF形式で出力しました: ";
inline constexpr const char* kFailed = "NetCDF形式で出力できません: ";
}  // namespace exporttext

namespace {

// The measurement file of the open data set; empty when none is open.
std::string openMasterFile(ShellServices& s)
{
    const DataSet& d = s.dataSet();
    return d.hasMeasurementFile ? d.measurementPath : std::string();
}

void convertOpenFileToText(ShellServices& s)
{
    const std::string master = openMasterFile(s);
    if (master.empty())
        return;
    s.runtime().stopRequest = false;
    TextCommandHooks hooks;
    hooks.prompter = &s.prompter();
    hooks.busy = [&s](bool on, const std::string& text) { s.setBusy(on, text); };
    hooks.number = [&s](long long m) { s.setPanel(panel::kSno, std::to_string(m)); };
    hooks.poll = [&s] {
        s.serveEvents();
        return !s.stopRequested();
    };
    // The sectors per measurement of the file's first valid header, as the
    // communication program reads them, so that both write the same files.
    TextConversionOptions opt;
    opt.decode = decodeOptionsFrom(s.settings());
    ConvertToText(master, hooks, opt);
}

// The answer "path,first,last": the path alone is enough.
struct ExportAnswer {
    std::string path;
    long long first = 1, last = 0;
};
ExportAnswer parseExportAnswer(const std::string& a)
{
    ExportAnswer r;
    std::string rest = a;
    auto takeLast = [&rest]() {
        const auto comma = rest.rfind(',');
        std::string tail = comma == std::string::npos ? std::string() : trimBlanks(rest.substr(comma + 1));
        const bool number = !tail.empty() && tail.find_first_not_of("0123456789") == std::string::npos;
        if (number)
            rest.erase(comma);
        return number ? textToInt(tail) : -1LL;
    };
    const long long second = takeLast();
    const long long first = second >= 0 ? takeLast() : -1;
    if (first >= 0)
        r.first = std::max(1LL, first), r.last = second;
    else if (second >= 0)
        r.first = std::max(1LL, second);
    r.path = trimBlanks(rest);
    return r;
}

void exportOpenFile(ShellServices& s)
{
    const std::string master = openMasterFile(s);
    if (master.empty())
        return;
    namespace fs = std::filesystem;
    const fs::path mp(master);
    InputRequest q;
    q.caption = exporttext::kTitle;
    q.message = exporttext::kQuestion;
    q.preset = (mp.parent_path() / (mp.stem().string() + ".nc")).string() + ",00001,10000";
    const InputResult answer = s.prompter().input(q);
    if (answer.cancelled())
        return;
    const ExportAnswer a = parseExportAnswer(answer.answer);
    if (a.path.empty())
        return;

    ExportTables tables;
    tables.settings = s.settings();
    tables.channels = s.channels();
    tables.items = s.initStore().resultItems();
    ExportRequest req;
    req.masterPath = master;
    req.first = a.first;
    req.last = a.last;
    s.runtime().stopRequest = false;
    s.setBusy(true, exporttext::kBusy);
    Progress progress;
    progress.text = [&s](const std::string& number) { s.setPanel(panel::kSno, number); };
    progress.poll = [&s] {
        s.serveEvents();
        return !s.stopRequested();
    };
    const ExportResult r = exportNetcdf(req, tables, a.path, progress);
    if (r.status == Status::Ok) {
        s.setBusy(false, exporttext::kDone + a.path);
        return;
    }
    s.setBusy(false, exporttext::kFailed + r.message);
    if (r.status != Status::Cancelled)
        s.prompter().message(exporttext::kTitle, exporttext::kFailed + r.message, MsgIcon::Warning);
}

}  // namespace

void attachTextCommands(MDIForm1& window)
{
    // Both serve the event loop while they run: a second start meanwhile
    // does nothing.
    auto running = std::make_shared<bool>(false);
    auto once = [running](auto&& work) {
        if (*running)
            return;
        *running = true;
        work();
        *running = false;
    };
    window.setCommand(QStringLiteral("Mtext"), [&window, once] { once([&window] { convertOpenFileToText(window); }); });
    window.setCommand(QStringLiteral("MnetCDF"), [&window, once] { once([&window] { exportOpenFile(window); }); });
}

}  // namespace varenta
