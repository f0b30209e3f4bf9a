#include "tolv/data/userfolders.h"

#include "common/textfile.h"

#include <cctype>
#include <filesystem>
#include <system_error>

namespace varenta {

namespace fs = std::filesystem;

Status readUserFolderTable(const std::string& path, std::vector<std::string>& entries, std::string* message)
{
    entries.clear();
    std::vector<std::string> lines;
    const Status st = readTextLines(path, lines);
    if (st != Status::Ok) {
        if (message)
            *message = "ユーザーフォルダ名の表を読めません: " + path;
        return st;
    }
    std::vector<std::string> out;
    for (std::size_t n = 0; n < lines.size(); ++n) {
        std::string line = lines[n];
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t'))
            line.pop_back();
        if (line.empty() || !std::isdigit(static_cast<unsigned char>(line[0])))
            continue;
        bool ok = line.size() == kUserFolderEntryLength && line[3] == '_' &&
                  line.substr(0, 3) == std::to_string(1000 + out.size()).substr(1) &&
                  static_cast<int>(out.size()) < kUserFolderEntries;
        for (std::size_t i = 4; ok && i < line.size(); ++i)
            ok = std::isalnum(static_cast<unsigned char>(line[i])) != 0;
        if (!ok) {
            if (message)
                *message = "ユーザーフォルダ名の表の" + std::to_string(n + 1) + "行目が正しくありません: " + path;
            return Status::DataFormat;
        }
        out.push_back(line);
    }
    if (static_cast<int>(out.size()) != kUserFolderEntries) {
        if (message)
            *message = "ユーザーフォルダ名の表の項目が" + std::to_string(out.size()) + "個しかありません: " + path;
        return Status::DataFormat;
    }
    entries = std::move(out);
    return Status::Ok;
}

std::string userFolderName(const std::vector<std::string>& entries, int index)
{
    if (index < 0 || index >= static_cast<int>(entries.size()))
        return {};
    return entries[static_cast<std::size_t>(index)].substr(0, kUserFolderNameLength);
}

UserFolderOutcome createUserFolders(const UserFolderRequest& rq, const std::vector<std::string>& entries,
                                    const std::function<void(const std::string&)>& each)
{
    UserFolderOutcome out;
    auto fail = [&](const std::string& text) {
        out.status = Status::Io;
        out.message = text;
        return out;
    };
    const int from = rq.block * rq.count;
    for (int i = from; i < from + rq.count; ++i) {
        const std::string name = userFolderName(entries, i);
        if (name.empty())
            continue;  // beyond the table: no folder
        const fs::path folder = fs::path(rq.base) / name;
        std::error_code ec;
        if (fs::exists(folder, ec))
            continue;
        if (!fs::create_directories(folder, ec) || ec)
            return fail("フォルダを作成できません: " + folder.string());
        out.created.push_back(folder.string());
        if (rq.copyFiles && fs::is_directory(rq.templateFolder, ec)) {
            for (const fs::directory_entry& e : fs::directory_iterator(rq.templateFolder, ec)) {
                std::error_code ce;
                if (e.is_directory(ce)) {
                    if (rq.copyFolders)
                        fs::copy(e.path(), folder / e.path().filename(), fs::copy_options::recursive, ce);
                } else if (e.is_regular_file(ce)) {
                    fs::copy_file(e.path(), folder / e.path().filename(), ce);
                }
                if (ce)
                    return fail("テンプレートをコピーできません: " + e.path().string());
            }
            if (ec)
                return fail("テンプレートを読めません: " + rq.templateFolder);
        }
        if (each)
            each(folder.string());
    }
    return out;
}

}  // namespace varenta
