#pragma once
// Publishing the web pages (upload with the user's FTP script or batch
// file, copy to the web folder) and downloading the newest measurement file
// with the user's download script.  The program never reads the scripts: it
// starts them and judges the outcome by time (upload) or by the appearance of
// the expected file (download).
//
// On this platform a batch file ("tolvb.bat", "tolvd.bat") is a shell script
// run by /bin/sh in the program folder (read as the shell's input); without one the command-line FTP
// client runs without prompts ("ftp -i -n -v") with the user's script
// ("tolvb.txt", "tolvd.txt") as its command input.
#include "common/progress.h"
#include "common/status.h"
#include "common/process.h"

#include <functional>
#include <string>
#include <vector>

namespace varenta {

inline constexpr const char* kUploadBatch = "tolvb.bat";
inline constexpr const char* kUploadScript = "tolvb.txt";
inline constexpr const char* kDownloadBatch = "tolvd.bat";
inline constexpr const char* kDownloadScript = "tolvd.txt";
inline constexpr const char* kFtpClient = "ftp";

namespace pubtext {
inline constexpr const char* kSendImpossible = "Web-送信不可";
inline constexpr const char* kSending = "Web-送信中";
inline constexpr const char* kSendEnded = "Web-送信終了";
inline constexpr const char* kCopyEnded = "Web-コピー終了";
inline constexpr const char* kCopyImpossible = "Web-コピー不可";
inline constexpr const char* kCopying = "Web-コピー中";
inline constexpr const char* kDownloading = "ファイルダウンロード中";
inline constexpr const char* kDownloadDone = "ファイルダウンロード完了";
inline constexpr const char* kDownloadFailed = "ファイルダウンロード失敗";
}  // namespace pubtext

// The command of a transfer: the batch file through /bin/sh when it exists
// in the folder, otherwise the FTP client reading the script.
ProcessRequest transferCommand(const std::string& folder, const char* batch, const char* script, int windowStyle);

// Whether a file name matches a pattern with "*" and "?" (any case, as the
// names on the server and the logger's names differ in case).
bool nameMatches(const std::string& pattern, const std::string& name);
// Files of a folder whose names match, sorted by name.
std::vector<std::string> matchingFiles(const std::string& folder, const std::string& pattern);

struct PublishRequest {
    std::string programFolder;
    std::string webFolder;
    std::string prefix;
    bool resultsFileExists = false;
    bool upload = false;      // FTP upload switch
    bool folderCopy = false;  // folder copy switch
    int windowStyle = 1;      // item 96 value 3
    int timeLimitSeconds = 0; // item 69 value 6
    // Builds the pages; false when the generation failed.
    std::function<bool()> makePages;
};

struct PublishOutcome {
    std::string finalText;        // the status text shown last
    bool pagesBuilt = false;
    bool uploaded = false;        // the upload command was started
    bool uploadStopped = false;   // it still ran at the time limit and was stopped
    int filesCopied = 0;
};

// Pages, then the upload with its bounded wait and forced stop, then the
// copy of "{pp}2??.htm" and "{pp}2??.jpg" to the web folder.  Every status
// text goes to progress.text; waits go through progress.wait.
PublishOutcome publishWeb(const PublishRequest& req, ProcessRunner& runner, const Progress& progress);

struct DownloadRequest {
    std::string programFolder;
    std::string target;       // item 83 value 1 (may hold wildcards)
    int windowStyle = 1;
    int timeLimitSeconds = 0; // item 69 value 6
};

struct DownloadOutcome {
    Status status = Status::Timeout;  // Ok, Timeout, Io (target could not be deleted) or Cancelled
    std::string path;                 // program folder + "/" + the file found
    int polls = 0;
};

// Deletes the files matching the target, starts the download command
// without waiting for it, and looks for the target every 100 ms for at most
// the time limit.  A file counts once the command has ended, or once its
// size has stayed the same for half a second while the command still runs
// (so a file the client is still writing is never taken).
DownloadOutcome downloadLatest(const DownloadRequest& req, ProcessRunner& runner, const Progress& progress);

}  // namespace varenta
