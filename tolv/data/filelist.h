#pragma once
// File naming of a data set: the prefix of the export files, the partner
// file on a case-sensitive file system, and the list of recent master files
// held in item 98 values 0..7.
#include "common/settings.h"

#include <array>
#include <cstdint>
#include <string>

namespace varenta {

// The two characters that start 10 characters before the end of the path
// (NR for .../NR123M.H10); empty for a path shorter than 10 characters.
std::string filePrefixOf(const std::string& path);

// The partner name formed by the pairing rule; when no file of that name
// exists, an existing file in the same folder whose name differs from it
// only in letter case (ASCII) is taken instead.  Returns the name formed
// when neither exists.
std::string existingPartner(const std::string& path);

// An existing file whose name equals path's name ignoring letter case
// (path itself when it exists); empty when none.
std::string findIgnoringCase(const std::string& path);

constexpr int kFileListItem = 98;
constexpr int kFileListSize = 8;

std::array<std::string, kFileListSize> fileList(const Settings& s);

// Puts a path at the head of the list: an earlier occurrence is removed and
// the entries after it close up; all entries move one place down (value 7
// drops out) and the path becomes value 0.  Returns the number of non-blank
// entries.
int pushFileList(Settings& s, const std::string& path);

// The scroll bar over the measurements (range 1 .. maximum).
struct ScrollMapping {
    // latestNumber below 32768: the maximum is latestNumber; else 32767.
    static int maximum(std::int64_t latestNumber);
    // The bar value for a measurement number: the number itself below
    // 32768 measurements.  For longer files, numbers up to 32767 map to
    // themselves, numbers within 32767 of the newest to number - newest +
    // 32767, and the numbers between onto 1 .. 32767 in order.
    static int valueFor(std::int64_t currentNumber, std::int64_t latestNumber);
    // A change of the bar: the number moves by newValue - lastValue and is
    // clamped to 1 .. latestNumber.
    static std::int64_t numberAfterChange(std::int64_t currentNumber, int lastValue, int newValue,
                                          std::int64_t latestNumber);
};

}  // namespace varenta
