// The directional spectrum estimator by the Bayesian directional method,
// started by the processing program:
//   bayes2 YEAR MONTH DAY HOUR MINUTE N C START OPTIONS DATAFILE
// reads "bayes2.ini" and "tolvf.org" of the program folder (see
// estimatorFolder) and writes "nr40g.txt" there.
#include "tools/estimators/run.h"

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    return varenta::est::runEstimatorProgram(varenta::est::Method::Bdm, args,
                                             varenta::est::estimatorFolder(varenta::est::Method::Bdm, argc > 0 ? argv[0] : ""));
}
