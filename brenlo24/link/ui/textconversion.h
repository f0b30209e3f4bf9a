#pragma once
// The communication program's conversion of a master file to text data
// files, run after the header search of the chosen file: the shared
// conversion with the range question, the busy pointer, the status line
// texts that carry the measurement number, and the collection-stop button
// as the stop request.
#include "brenlo24/link/newest.h"
#include "common/textconvert.h"

#include <string>

namespace varenta {

class Form1;

TextConversionResult convertCollectedFileToText(Form1& window, const std::string& masterPath,
                                                const NewestSearch& found);

}  // namespace varenta
