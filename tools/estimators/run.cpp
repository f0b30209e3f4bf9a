#include "tools/estimators/run.h"

#include "common/channeltable.h"
#include "common/format.h"
#include "common/progfolder.h"
#include "common/textfile.h"
#include "tools/estimators/record.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace varenta::est {

namespace {

// Channel kind codes of the header's channel slots.
constexpr int kPressure = 1, kCurrentX = 2, kCurrentY = 3, kLevel = 4, kPressureH = 12;
constexpr int kArrayFirst = 48, kArrayLast = 51;

bool isAuxiliaryKind(int kind) { return kind >= 5 && kind <= 8; }  // compass, temperature, wind

std::string lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return s;
}

bool isRotatedCopy(const std::string& path)
{
    return lower(std::filesystem::path(path).filename().string()) == "dirspec.tmp";
}

const char* programName(Method m) { return m == Method::Emep ? "emep2" : "bayes2"; }

// A field of 12: "0.00000E+00" keeps its two-digit exponent only down to
// 1E-99, so smaller magnitudes are written as 0.
std::string number(double v) { return rightAlign(formatMask(std::abs(v) < 1e-99 ? 0.0 : v, "0.00000E+00"), 12); }

}  // namespace

std::vector<std::string> formatSpectrum(const DirectionalSpectrum& s)
{
    std::vector<std::string> lines;
    std::string head = s.title.substr(0, 40);
    head.resize(40, ' ');
    head += rightAlign(std::to_string(s.frequency.size()), 5) + rightAlign(std::to_string(s.nd), 5);
    lines.push_back(head);
    for (std::size_t i = 0; i < s.frequency.size(); ++i) {
        lines.push_back(number(s.frequency[i]));
        std::string line;
        for (int j = 0; j < s.nd; ++j) {
            line += number(s.density[i][static_cast<std::size_t>(j)]);
            if (j % 6 == 5 || j == s.nd - 1) {
                lines.push_back(line);
                line.clear();
            }
        }
    }
    return lines;
}

bool estimate(Method method, const std::vector<std::string>& args, const std::string& folder,
              DirectionalSpectrum& out, RunReport& report)
{
    std::string& why = report.failure;
    CommandLine cmd;
    if (!parseCommandLine(args, cmd, why))
        return false;
    const std::string paramName = method == Method::Emep ? "emep2.ini" : "bayes2.ini";
    std::vector<std::string> lines;
    if (readTextLines(folder + "/" + paramName, lines) != Status::Ok) {
        why = "cannot read the parameter file " + paramName;
        return false;
    }
    ParameterFile par;
    if (!parseParameters(method, lines, par, why))
        return false;
    const EstimatorSettings& set = par.settings;
    ChannelTable table;
    if (table.load(folder + "/tolvf.org") != Status::Ok) {
        why = "cannot read the channel table tolvf.org";
        return false;
    }
    Measurement meas;
    if (!readMeasurement(cmd.dataFile, cmd.start, meas, why))
        return false;
    const MeasurementHeader& h = meas.header;
    if (h.channelCount != cmd.channels) {
        why = "the measurement at byte " + std::to_string(cmd.start) + " has " + std::to_string(h.channelCount) +
              " channels, the command line says " + std::to_string(cmd.channels);
        return false;
    }
    if (meas.truncated)
        report.notes.push_back("the data file ends inside the measurement; the missing samples count as invalid");
    const int n = std::min(cmd.samples, h.samplesPerChannel);

    // Data-file axes as earth vectors (east, north).  Bit 5 of the
    // measurement condition says the counts carry the sensor's own reversed
    // signs (X reversed unless bit 7 says it is mounted upward, Y always),
    // as the program's calibration reads them.  The rotated copy turns such
    // counts to east and north; counts with their own signs come out of its
    // sign pattern as west and south.
    const bool rotated = isRotatedCopy(cmd.dataFile);
    const bool sensorSigns = (h.measureCondition & 0x20) != 0;
    double xEast = 1.0, yNorth = 1.0;
    if (rotated) {
        xEast = yNorth = sensorSigns ? 1.0 : -1.0;
    } else if (sensorSigns) {
        xEast = (h.measureCondition & 0x80) ? 1.0 : -1.0;
        yNorth = -1.0;
    }

    // The pressure gauge and the current meter as the parameter file places them.
    const double pressureZ = par.pressureElevation.value_or(-(par.depth - par.gaugeHeight.value_or(0.0)));
    double currentZ = par.currentElevation.value_or(pressureZ + 0.1);
    if (set.currentAboveGauge)
        currentZ = pressureZ + *set.currentAboveGauge;

    std::vector<Sensor> sensors;
    std::vector<std::vector<double>> records;
    std::vector<int> used;
    bool havePressure = false, haveLevel = false;
    int velocities = 0;
    for (const ChannelEntry& e : par.channels) {
        const int c = e.channel - 1;
        if (c < 0 || c >= h.channelCount) {
            why = "channel " + std::to_string(e.channel) + " of the parameter file is not recorded in the measurement";
            return false;
        }
        if (std::find(used.begin(), used.end(), c) != used.end())
            continue;
        const int kind = h.channels[static_cast<std::size_t>(c)];
        Sensor s;
        if (kind == kPressure || kind == kPressureH) {
            if (havePressure) {
                report.notes.push_back("channel " + std::to_string(e.channel) + ": a second pressure gauge is left out");
                continue;
            }
            s.kind = SensorKind::Pressure;
            s.elevation = pressureZ;
            s.headScale = set.headScale;
            havePressure = true;
        } else if (kind == kCurrentX || kind == kCurrentY) {
            double az = kind == kCurrentX ? 0.0 : 90.0;
            double gain = 1.0;
            if (method == Method::Bdm) {
                if (!e.lineError.empty()) {
                    why = e.lineError;
                    return false;
                }
                if (!e.azimuth || !e.inclination) {
                    why = "channel " + std::to_string(e.channel) + " is a current but its parameter line has no azimuth";
                    return false;
                }
                if (std::abs(*e.inclination - 90.0) > 1e-6) {
                    why = "channel " + std::to_string(e.channel) + ": only horizontal current components are modelled";
                    return false;
                }
                az = *e.azimuth;
                gain = e.gain;
            }
            const double a = az * kPi / 180.0;
            // Axis = cos(a) X + sin(a) Y in earth components, times the gain.
            s.kind = SensorKind::Velocity;
            s.elevation = currentZ;
            s.axisEast = gain * std::cos(a) * xEast;
            s.axisNorth = gain * std::sin(a) * yNorth;
            ++velocities;
        } else if (kind == kLevel) {
            if (!cmd.includeLevel()) {
                report.notes.push_back("channel " + std::to_string(e.channel) + ": the ultrasonic level is excluded by the options");
                continue;
            }
            if (haveLevel)
                continue;
            s.kind = SensorKind::Level;
            haveLevel = true;
        } else if (kind >= kArrayFirst && kind <= kArrayLast) {
            report.notes.push_back("channel " + std::to_string(e.channel) + ": array sensor (kind " + std::to_string(kind) +
                                   ") left out, the parameter file gives no positions");
            continue;
        } else if (isAuxiliaryKind(kind)) {
            report.notes.push_back("channel " + std::to_string(e.channel) + ": kind " + std::to_string(kind) +
                                   " is not a wave sensor, left out");
            continue;
        } else {
            why = "channel " + std::to_string(e.channel) + " is an unknown sensor (kind " + std::to_string(kind) + ")";
            return false;
        }
        std::vector<double> x = channelValues(meas, c, table.factor(kind));
        x.resize(static_cast<std::size_t>(n));
        const int valid = prepareRecord(x);
        if (valid < 64 || valid < set.minValidShare * n) {
            why = "too few valid samples on channel " + std::to_string(e.channel) + " (" + std::to_string(valid) + " of " +
                  std::to_string(n) + ")";
            return false;
        }
        used.push_back(c);
        sensors.push_back(s);
        records.push_back(std::move(x));
    }
    if (velocities != 2 || !(havePressure || haveLevel)) {
        why = "a pressure gauge or level and both current components are needed";
        return false;
    }
    const double dt = par.dt > 0.0 ? par.dt : h.sampleInterval();
    if (n * dt < 4.0 / set.fmin) {
        why = "too few samples (" + std::to_string(n) + ") for the lowest frequency";
        return false;
    }
    const CrossSpectra spectra(records, dt);
    for (int m = 0; m < spectra.channels(); ++m) {
        if (!(spectra.variance(m) > 1e-14)) {
            why = "singular cross-spectral matrix: channel " + std::to_string(used[static_cast<std::size_t>(m)] + 1) +
                  " carries no signal";
            return false;
        }
    }

    // Frequencies: nf evenly from fmin to fmax, kept below the Nyquist
    // frequency by half an averaging band.
    const double band = set.smoothing * spectra.resolution();
    const double fmax = std::min(set.fmax, spectra.nyquist() - 0.5 * band);
    if (!(fmax >= set.fmin)) {
        why = "the frequency band lies above the Nyquist frequency";
        return false;
    }
    out = DirectionalSpectrum{};
    out.nd = set.nd;
    char title[64];
    std::snprintf(title, sizeof title, "%s No.%03d %04d/%02d/%02d %02d:%02d", programName(method), h.machineNumber,
                  cmd.year, cmd.month, cmd.day, cmd.hour, cmd.minute);
    out.title = title;
    const SensorKind reference = par.levelReference ? SensorKind::Level : SensorKind::Pressure;
    int estimated = 0;
    DirectionalEquations eq;
    for (int i = 0; i < set.nf; ++i) {
        const double f = set.nf > 1 ? set.fmin + (fmax - set.fmin) * i / (set.nf - 1) : set.fmin;
        const CrossSpectrum csm = spectra.at(f, set.smoothing);
        const double S = surfaceSpectrum(csm, sensors, f, par.depth, reference, set.gainLimit);
        std::vector<double> d(static_cast<std::size_t>(set.nd), 0.0);
        bool ok = false;
        if (S > 0.0 && makeEquations(csm, sensors, f, par.depth, set.nd, eq)) {
            if (method == Method::Emep) {
                EmepResult r;
                ok = estimateEmep(eq, set.maxOrder, r, samplingErrorFloor(set.smoothing));
                if (ok)
                    d = r.spreading;
            } else {
                BdmResult r;
                ok = estimateBdm(eq, set.bdm, r, samplingErrorFloor(set.smoothing));
                if (ok)
                    d = r.spreading;
            }
        }
        // A spreading that is not finite everywhere is no estimate.
        ok = ok && std::all_of(d.begin(), d.end(), [](double v) { return std::isfinite(v) && v >= 0.0; });
        if (!ok)
            std::fill(d.begin(), d.end(), 0.0);
        if (ok) {
            ++estimated;
            for (double& v : d)
                v *= S;
        }
        out.frequency.push_back(f);
        out.density.push_back(std::move(d));
    }
    if (estimated == 0) {
        why = "singular cross-spectral matrix: no frequency of the band could be estimated";
        return false;
    }
    return true;
}

std::string estimatorFolder(Method method, const std::string& executablePath)
{
    const char* home = std::getenv("VARENTA_HOME");
    if (!(home && *home)) {
        std::error_code ec;
        const std::filesystem::path cwd = std::filesystem::current_path(ec);
        if (!ec && std::filesystem::is_regular_file(cwd / (method == Method::Emep ? "emep2.ini" : "bayes2.ini"), ec))
            return cwd.string();
    }
    return resolveProgramFolder(executablePath);
}

int runEstimatorProgram(Method method, const std::vector<std::string>& args, const std::string& folder)
{
    DirectionalSpectrum spectrum;
    RunReport report;
    const bool ok = estimate(method, args, folder, spectrum, report);
    for (const std::string& note : report.notes)
        std::fprintf(stderr, "%s: %s\n", programName(method), note.c_str());
    const std::string path = folder + "/nr40g.txt";
    if (ok) {
        if (writeTextLines(path, formatSpectrum(spectrum)) == Status::Ok)
            return 0;
        report.failure = "cannot write " + path;
    }
    std::fprintf(stderr, "%s: %s\n", programName(method), report.failure.c_str());
    writeTextLines(path, {"NaN"});
    return 1;
}

}  // namespace varenta::est
