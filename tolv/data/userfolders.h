#pragma once
// The table of user-folder names, installation data of the program folder
// ("tolvu.org"): 256 entries of 18 characters, entry i being i as three
// digits, "_" and 14 letters and digits.  A user folder is named by the
// first 10 characters of its entry, so that its name cannot be guessed from
// its number.  The user-folder command creates the folders; the scan of
// arriving files walks them.
#include "common/status.h"

#include <functional>
#include <string>
#include <vector>

namespace varenta {

inline constexpr const char* kUserFolderTableName = "tolvu.org";
constexpr int kUserFolderEntries = 256;
constexpr std::size_t kUserFolderEntryLength = 18;
constexpr std::size_t kUserFolderNameLength = 10;

// Reads the table: lines that do not start with a digit are comments; every
// other line must be the next entry in its exact form.  DataFormat (with a
// message naming the line) for a damaged table, NotFound when the file is
// missing.  entries is left empty on failure.
Status readUserFolderTable(const std::string& path, std::vector<std::string>& entries, std::string* message = nullptr);

// The folder name of entry index (its first 10 characters); empty for an
// index outside the table.
std::string userFolderName(const std::vector<std::string>& entries, int index);

struct UserFolderRequest {
    std::string base;          // the user-folder base
    int block = 0;             // item 84 value 0
    int count = 0;             // item 84 value 1
    bool copyFiles = false;    // the check box of the question
    bool copyFolders = false;  // start flag 0x40000: also the template sub-folders
    std::string templateFolder;  // the program folder's "UserFolder"
};

struct UserFolderOutcome {
    Status status = Status::Ok;        // Io: a folder or copy failed (message says which)
    std::vector<std::string> created;  // folders made (existing ones are left alone)
    std::string message;
};

// Creates the folders of entries block x count .. block x count + count - 1
// that do not exist yet; with copyFiles the template's files (and with
// copyFolders first its sub-folders, recursively) are copied into each new
// folder.  each(path) is called after every new folder.
UserFolderOutcome createUserFolders(const UserFolderRequest& request, const std::vector<std::string>& entries,
                                    const std::function<void(const std::string&)>& each = {});

}  // namespace varenta
