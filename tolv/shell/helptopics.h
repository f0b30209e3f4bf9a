#pragma once
// Help topics of the processing program: the page shown for a help context
// number, and where the pages lie in the program folder.
#include <string>

namespace varenta {

namespace helpctx {
constexpr int kRawGraph = 1002;
constexpr int kRawTable = 1003;
constexpr int kResultGraph = 1004;
constexpr int kResultTable = 1005;
constexpr int kSpectrum = 1006;
constexpr int kProcessSet = 1007;
constexpr int kUpload = 1008;
constexpr int kPrint = 1009;
constexpr int kMenu = 1010;
constexpr int kToolBar = 1018;
constexpr int kOverview = 1001;
}  // namespace helpctx

// The page of a context number; any number without an entry gives
// "AbstractD.htm".  A page may carry an anchor ("DirSpectrum1.htm#m4").
std::string helpTopicPage(int context);
constexpr const char* kOverviewPage = "AbstractD.htm";

// The folder of the help pages: program folder + "/help/tolvd".
std::string helpFolder(const std::string& programFolder);
// The file of a page (anchor removed) and its anchor ("" when none).
std::string helpPageFile(const std::string& programFolder, const std::string& page);
std::string helpPageAnchor(const std::string& page);

}  // namespace varenta
