#pragma once
// Prepares a program folder from the installation data kept in the source
// tree (UTF-8, LF): text tables are written in the code page with CR LF,
// everything else is copied as it is.
#include "common/progfolder.h"
#include "common/status.h"

#include <string>

namespace varenta {

// True for the files that are written as code-page text (.org, .tbl, .txt,
// .ini).  Help pages, pictures and documentation are copied unchanged.
bool isInstalledTextFile(const std::string& name);

// Copies every file of dataDir (and its sub-folders) into folder, creating
// it when missing.  Files already there are replaced; nothing else in the
// folder is touched.  README.md files are not installed.
Status installProgramData(const std::string& dataDir, const std::string& folder, std::string* message = nullptr);

// Prepares a per-user program folder that does not yet hold "tolvi.org":
// the installation data of choice.dataFolder is installed into a staging
// folder beside it and moved in file by file, "tolvi.org" last, so a start
// that is killed half-way is completed by the next one.  Files already in
// the folder are never replaced.  prepared tells whether anything was done;
// a folder of another source is left alone.  Io (with message) when the
// folder cannot be created or written, NotFound when the data is missing.
Status prepareProgramFolder(const FolderChoice& choice, bool& prepared, std::string& message);

}  // namespace varenta
