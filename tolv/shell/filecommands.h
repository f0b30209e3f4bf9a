#pragma once
// The File menu's whole-file commands: save under another name, the error
// row, backup and move of the data files.  (The size change and the date
// and time editors are in masteredit.h, the user folders in
// tolv/data/userfolders.h.)
#include "common/clock.h"
#include "common/status.h"

#include <string>
#include <vector>

namespace varenta {

namespace filetext {
inline constexpr const char* kSaveTitle = "ファイル名を付けて保存";
inline constexpr const char* kSaving = "ファイル保存中";
inline constexpr const char* kSaved = "保存終了";
inline constexpr const char* kBackingUp = "バックアップ中";
inline constexpr const char* kBackedUp = "バックアップ終了";
inline constexpr const char* kMoving = "ファイル移動中";
inline constexpr const char* kMoved = "ファイル移動終了";
inline constexpr const char* kUserCaption = "ユーザーフォルダ作成の注意";
inline constexpr const char* kUserMessage =
    "下記のフォルダにユーザー別のフォルダを作成します。よろしいですか？"
    "[ファイル]をチェックで、必要なファイルとフォルダもコピーします";
inline constexpr const char* kUserCheck = "ファイル";
inline constexpr const char* kUserCancelled = "キャンセル！";
inline constexpr const char* kUserWorking = " ユーザーフォルダ作成中！";
inline constexpr const char* kUserDone = " ユーザーフォルダ作成終了！";
}  // namespace filetext

// Whether two paths name the same file for the save command: equal without
// regard to letter case, or the same file on disk.
bool sameFileForSave(const std::string& a, const std::string& b);

// Copies a file: written to a temporary name beside the target, flushed and
// renamed over it, so that the target is the old file or the whole copy.
// Io with a message on failure (nothing left behind).
Status copyFileWhole(const std::string& from, const std::string& to, std::string* message = nullptr);

// Overwrites record number (from 1) of the results file with row (392
// bytes) by one positioned write.  NotFound when the record is not wholly
// inside the file.
Status writeResultsRecord(const std::string& resultsPath, long long number, const std::string& row);

// The backup folder's name: "B" yyyy "-" mmdd "-" hhmmss.
std::string backupFolderName(const DateTime& now);

struct BackupRequest {
    std::string masterPath;
    std::string programFolder;
    DateTime now;
    bool move = false;  // move the data files instead of copying them
};

struct BackupOutcome {
    Status status = Status::Ok;
    std::string target;              // the folder the files went to
    std::vector<std::string> files;  // names copied or moved
    std::string message;
};

// The target is program folder / base (the master name less its extension
// and last character) / backupFolderName; an existing target is emptied of
// files first.  Every file of the master file's folder with the master
// file's extension (letter case ignored) is copied (backup, followed by the
// program's "tolv*.ini") or moved (rename, or copy and delete across file
// systems).
BackupOutcome backupDataFiles(const BackupRequest& request);

}  // namespace varenta
