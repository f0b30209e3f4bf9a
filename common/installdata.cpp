#include "common/installdata.h"

#include "common/textfile.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;

namespace varenta {

bool isInstalledTextFile(const std::string& name)
{
    const std::string ext = fs::path(name).extension().string();
    std::string e;
    for (char c : ext)
        e += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return e == ".org" || e == ".tbl" || e == ".txt" || e == ".ini";
}

static Status readUtf8Lines(const fs::path& p, std::vector<std::string>& lines)
{
    std::ifstream in(p, std::ios::binary);
    if (!in)
        return Status::NotFound;
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string all = ss.str();
    lines.clear();
    std::size_t pos = 0;
    while (pos < all.size()) {
        std::size_t nl = all.find('\n', pos);
        std::string line = all.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        if (nl == std::string::npos)
            break;
        pos = nl + 1;
    }
    return Status::Ok;
}

Status installProgramData(const std::string& dataDir, const std::string& folder, std::string* message)
{
    std::error_code ec;
    if (!fs::is_directory(dataDir, ec)) {
        if (message)
            *message = "installation data not found: " + dataDir;
        return Status::NotFound;
    }
    fs::create_directories(folder, ec);
    if (ec) {
        if (message)
            *message = "cannot create " + folder + ": " + ec.message();
        return Status::Io;
    }
    for (auto it = fs::recursive_directory_iterator(dataDir, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const fs::path src = it->path();
        const fs::path rel = fs::relative(src, dataDir, ec);
        const fs::path dst = fs::path(folder) / rel;
        if (it->is_directory()) {
            fs::create_directories(dst, ec);
            continue;
        }
        if (src.filename() == "README.md")
            continue;
        Status st = Status::Ok;
        if (isInstalledTextFile(src.filename().string())) {
            std::vector<std::string> lines;
            st = readUtf8Lines(src, lines);
            // A file whose source ends without a line end keeps it that way.
            bool finalNewline = true;
            {
                std::ifstream in(src, std::ios::binary | std::ios::ate);
                const auto size = in.tellg();
                if (size > 0) {
                    in.seekg(-1, std::ios::end);
                    char c = 0;
                    in.get(c);
                    finalNewline = c == '\n';
                }
            }
            if (st == Status::Ok)
                st = writeTextLines(dst.string(), lines, finalNewline);
        } else {
            fs::copy_file(src, dst, fs::copy_options::overwrite_existing, ec);
            if (ec)
                st = Status::Io;
        }
        if (st != Status::Ok) {
            if (message)
                *message = "cannot install " + dst.string();
            return st;
        }
    }
    if (ec) {
        if (message)
            *message = "cannot read " + dataDir + ": " + ec.message();
        return Status::Io;
    }
    return Status::Ok;
}

}  // namespace varenta
