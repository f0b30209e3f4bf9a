#include "tolv/shell/helptopics.h"

#include <utility>

namespace varenta {

std::string helpTopicPage(int context)
{
    static const std::pair<int, const char*> table[] = {
        {1002, "RawGraphD.htm"},    {1003, "RawTableD.htm"},       {1004, "ResultGraphD.htm"},
        {1005, "ResultTableD.htm"}, {1006, "SpectrumGraph.htm"},   {1007, "ProcessSet.htm"},
        {1008, "UpLoad.htm"},       {1009, "Print.htm"},           {1010, "Menu01.htm"},
        {1011, "Menu02.htm"},       {1013, "File01.htm"},          {1014, "AutoProcess.htm"},
        {1015, "HeaderInfo.htm"},   {1017, "ResultItem.htm"},      {1018, "ToolBar.htm"},
        {1019, "DirSpectrum1.htm#m4"}, {1020, "DirSpectrum2.htm"}, {1024, "XYGraph.htm"},
        {1026, "TeskRawGraph.htm"}, {1027, "TeskRawTable.htm"},    {1028, "TeskResultGraph.htm"},
        {1029, "TeskResultTable.htm"}, {1030, "DownLoad-FTP.htm"},
    };
    for (const auto& [ctx, page] : table)
        if (ctx == context)
            return page;
    return kOverviewPage;
}

std::string helpFolder(const std::string& programFolder) { return programFolder + "/help/tolvd"; }

std::string helpPageFile(const std::string& programFolder, const std::string& page)
{
    const std::size_t hash = page.find('#');
    return helpFolder(programFolder) + "/" + page.substr(0, hash);
}

std::string helpPageAnchor(const std::string& page)
{
    const std::size_t hash = page.find('#');
    return hash == std::string::npos ? std::string() : page.substr(hash + 1);
}

}  // namespace varenta
