#pragma once
// Numeric format masks ("##0", "#0.0#", "000", "0.00000E+00", "#0/", "00/",
// "0.0#####", "##0.00" ...): '0' a digit always written, '#' a digit written
// only when significant, '.' the decimal point, "E+00"/"E-00" a signed
// exponent; other characters are copied as they stand.  The last digit
// shown is rounded half away from zero.
#include <string>
#include <string_view>

namespace varenta {

std::string formatMask(double value, std::string_view mask);

// Fixed-width field: right-aligned, blanks on the left, and only the
// rightmost width characters kept when the text is longer.
std::string rightAlign(std::string_view text, std::size_t width);

}  // namespace varenta
