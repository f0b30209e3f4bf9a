// The directional spectrum estimator by the extended maximum entropy
// principle, started by the processing program:
//   emep2 YEAR MONTH DAY HOUR MINUTE N C START OPTIONS DATAFILE
// reads "emep2.ini" and "tolvf.org" of the program folder (see
// estimatorFolder) and writes "nr40g.txt" there.
#include "common/cliinfo.h"
#include "tools/estimators/run.h"

namespace {
const char* const kUsage =
    "usage: emep2 YEAR MONTH DAY HOUR MINUTE N C START OPTIONS DATAFILE\n"
    "Estimates the directional wave spectrum of one measurement (extended maximum entropy principle).\n"
    "Started by the processing program in its program folder: reads emep2.ini and tolvf.org\n"
    "there and writes the spectrum to nr40g.txt.\n";
}  // namespace

int main(int argc, char** argv)
{
    if (varenta::answerInfoOption(argc, argv, "emep2", kUsage))
        return 0;
    const std::vector<std::string> args(argv + 1, argv + argc);
    return varenta::est::runEstimatorProgram(varenta::est::Method::Emep, args,
                                             varenta::est::estimatorFolder(varenta::est::Method::Emep, argc > 0 ? argv[0] : ""));
}
