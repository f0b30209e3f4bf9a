#pragma once
// One run of an estimator program: parameter file, command line and
// measurement in, "nr40g.txt" out.
//
// Sensor frame.  The currents are taken in the frame of the data file:
//   * the rotated copy "DirSpec.tmp" (coordinate transformation on) holds
//     X = -(east velocity) and Y = -(north velocity), as the processing
//     program's rotation leaves them;
//   * a master data file holds the instrument's own components with its Y
//     axis taken as north: X = east velocity and Y = north velocity, or X =
//     -(east velocity) when bit 7 of the measurement-condition byte says the
//     X axis points the other way.
// Directions come out as the direction the waves come FROM, clockwise from
// that north; index j of "nr40g.txt" stands for (j - 1) * 360 / nd degrees.
#include "tools/estimators/params.h"

#include <string>
#include <vector>

namespace varenta::est {

// The directional spectrum as written to "nr40g.txt".
struct DirectionalSpectrum {
    int nd = 0;
    std::vector<double> frequency;              // Hz
    std::vector<std::vector<double>> density;   // [frequency][direction], m^2/(Hz rad)
    std::string title;                          // columns 1-40 of line 1
};

// The lines of "nr40g.txt": line 1 with nf in columns 41-45 and nd in
// 46-50, then per frequency a line with the frequency in columns 1-12 and
// ceil(nd / 6) lines of six densities in fields of 12.
std::vector<std::string> formatSpectrum(const DirectionalSpectrum& s);

struct RunReport {
    std::vector<std::string> notes;  // sensors left out and the like, one line each
    std::string failure;             // why no spectrum could be estimated
};

// Estimates the spectrum of the measurement the command line names, with
// the parameter file and the channel table of the program folder.  False
// with report.failure set when it cannot.
bool estimate(Method method, const std::vector<std::string>& args, const std::string& programFolder,
              DirectionalSpectrum& out, RunReport& report);

// The folder of the parameter file, the channel table and "nr40g.txt":
// VARENTA_HOME when set; else the current folder when it holds the
// parameter file (the processing program starts the estimator with its
// program folder current); else the folder of the executable.
std::string estimatorFolder(Method method, const std::string& executablePath);

// The whole program: estimate, then write "nr40g.txt" into the program
// folder (replacing it), or "NaN" on its first line when the estimation
// failed.  The reason and the notes go to standard error, one line each,
// prefixed with the program name.  Returns the exit status (0 written, 1
// failed).
int runEstimatorProgram(Method method, const std::vector<std::string>& args, const std::string& programFolder);

}  // namespace varenta::est
