#include "tolv/shell/startup.h"

#include "common/settings.h"

#include <cctype>
#include <filesystem>

namespace varenta {

std::string userFolderBase(const StartOptions& options, const std::string& programFolder, const char* home)
{
    if (options.has(startflag::kUserFolderMode))
        return programFolder;
    const std::string given = trimBlanks(options.userBase);
    if (!given.empty())
        return given;
    std::string folder = programFolder;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    if (folder.size() >= 4) {
        std::string tail = folder.substr(folder.size() - 3);
        for (char& c : tail)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (tail == "vnt") {
            const std::string parent = std::filesystem::path(folder).parent_path().string();
            return parent.empty() ? folder : parent;
        }
    }
    const std::filesystem::path root = (home && *home) ? std::filesystem::path(home) : std::filesystem::path(folder);
    return (root / "RudeDarIvaz" / "LocalUser").string();
}

std::string errorRow()
{
    std::string row;
    for (int g = 0; g < 8; ++g) {
        if (g > 0)
            row += ", ";
        for (int k = 0; k < 8; ++k) {
            const int i = g * 8 + k;
            if (k > 0)
                row += ",";
            switch (i) {
            case 1: row += "   00"; break;
            case 2: row += " 1/ 1"; break;
            case 3: row += " 0:00"; break;
            default: row += "-----"; break;
            }
        }
    }
    row += "\r\n";
    return row;
}

std::string openDialogFilter()
{
    return "データファイル  (*.H10;*.TMP)|*.H10;*.TMP|"
           "設定ファイル  (*.TBL)|*.TBL|"
           "すべてのファイル (*.*)|*.*|";
}

std::string tolvVersionText(std::uint32_t startFlags)
{
    const std::uint32_t f = startFlags & (startflag::kFileMode | startflag::kFolderInit);
    if (f == startflag::kFolderInit)
        return "VarentaK Version 4.8.241W";
    if (f == (startflag::kFileMode | startflag::kFolderInit))
        return "VarentaK Version 4.8.241w";
    return "VarentaK Version 4.8.241D";
}

bool tolvUsesFolderIcon(std::uint32_t startFlags) { return (startFlags & startflag::kFolderInit) != 0; }

std::string tolvCaption(const std::string& measurementPath, const std::string& resultsPath)
{
    if (measurementPath.empty() && resultsPath.empty())
        return kIdleCaption;
    std::string c = std::string("Varentix - ") + measurementPath;
    if (!resultsPath.empty())
        c += " - " + resultsPath;
    return c;
}

}  // namespace varenta
