#pragma once
// The program's text files: code page CP932 with CR LF line ends.  Reading
// accepts LF alone too.  Lines are handed over in UTF-8 without line ends.
#include "common/status.h"

#include <string>
#include <vector>

namespace varenta {

// Reads every line; a final line without a line end is kept.  A final empty
// line after the last line end is not reported.  A file that starts with the
// UTF-8 byte-order mark (saved by a Unicode editor) is taken as UTF-8.
// NotFound when the file is missing, Io when it cannot be read.
Status readTextLines(const std::string& path, std::vector<std::string>& lines);

// Writes the lines joined by CR LF.  finalNewline: whether the last line
// also ends with CR LF.  The file is written to a temporary name beside it,
// flushed and renamed over the target, so a crash never leaves a torn file.
// The file keeps its permissions; a symbolic link is written through.  On
// failure (Io) the target is unchanged and no temporary file remains.
Status writeTextLines(const std::string& path, const std::vector<std::string>& lines, bool finalNewline = true);

// Whole-file helpers for byte content (no conversion).
Status readFileBytes(const std::string& path, std::string& bytes);
Status writeFileBytesAtomic(const std::string& path, const std::string& bytes);

}  // namespace varenta
