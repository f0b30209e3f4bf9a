// The directional spectrum estimator by the Bayesian directional method,
// started by the processing program:
//   bayes2 YEAR MONTH DAY HOUR MINUTE N C START OPTIONS DATAFILE
// reads "bayes2.ini" and "tolvf.org" of the program folder (see
// estimatorFolder) and writes "nr40g.txt" there.
#include "common/cliinfo.h"
#include "tools/estimators/run.h"

namespace {
const char* const kUsage =
    "usage: bayes2 YEAR MONTH DAY HOUR MINUTE N C START OPTIONS DATAFILE\n"
    "Estimates the directional wave spectrum of one measurement (Bayesian method).\n"
    "Started by the processing program in its program folder: reads bayes2.ini and tolvf.org\n"
    "there and writes the spectrum to nr40g.txt.\n";
}  // namespace

int main(int argc, char** argv)
{
    if (varenta::answerInfoOption(argc, argv, "bayes2", kUsage))
        return 0;
    const std::vector<std::string> args(argv + 1, argv + argc);
    return varenta::est::runEstimatorProgram(varenta::est::Method::Bdm, args,
                                             varenta::est::estimatorFolder(varenta::est::Method::Bdm, argc > 0 ? argv[0] : ""));
}
