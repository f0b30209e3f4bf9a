// The directional spectrum estimator by the extended maximum entropy
// principle, started by the processing program:
//   emep2 YEAR MONTH DAY HOUR MINUTE N C START OPTIONS DATAFILE
// reads "emep2.ini" and "tolvf.org" of the program folder (see
// estimatorFolder) and writes "nr40g.txt" there.
#include "tools/estimators/run.h"

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    return varenta::est::runEstimatorProgram(varenta::est::Method::Emep, args,
                                             varenta::est::estimatorFolder(varenta::est::Method::Emep, argc > 0 ? argv[0] : ""));
}
