#pragma once
// The text data files a program wrote beside a master file, compared with
// those the shared conversion writes for a copy of the same file.
#include "common/textconvert.h"
#include "common/textfile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

namespace varenta::testing {

// Relative name -> bytes of every text data file under folder.
inline std::map<std::string, std::string> textDataFiles(const std::filesystem::path& folder)
{
    std::map<std::string, std::string> out;
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder))
        if (e.is_regular_file() && e.path().filename().string().ends_with("a.h10"))
            readFileBytes(e.path().string(), out[std::filesystem::relative(e.path(), folder).string()]);
    return out;
}

// Converts a copy of master in a scratch folder and expects the files under
// written to be the very same; returns how many there were.
inline std::size_t expectSameAsSharedConversion(const std::string& master, const std::filesystem::path& written,
                                                const TextRange& range)
{
    namespace fs = std::filesystem;
    const auto got = textDataFiles(written);
    const fs::path ref = fs::path(master).parent_path() / "reference";
    fs::remove_all(ref);
    fs::create_directories(ref);
    const fs::path copy = ref / fs::path(master).filename();
    fs::copy_file(master, copy);
    EXPECT_EQ(convertToText(copy.string(), range, {}).status, Status::Ok);
    fs::remove(copy);
    const auto want = textDataFiles(ref);
    fs::remove_all(ref);
    EXPECT_FALSE(want.empty());
    EXPECT_TRUE(got == want) << got.size() << " files written, " << want.size() << " expected";
    return got.size();
}

}  // namespace varenta::testing
