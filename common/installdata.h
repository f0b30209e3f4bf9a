#pragma once
// Prepares a program folder from the installation data kept in the source
// tree (UTF-8, LF): text tables are written in the code page with CR LF,
// everything else is copied as it is.
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

}  // namespace varenta
