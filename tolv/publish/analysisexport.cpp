#include "tolv/publish/analysisexport.h"

#include "common/clock.h"
#include "common/masterreader.h"
#include "common/numeric.h"
#include "common/textfile.h"
#include "tolv/data/dataset.h"
#include "tolv/data/filelist.h"
#include "tolv/data/headertext.h"
#include "tolv/spectra/spectraadapter.h"
#include "tolv/spectra/spectrum.h"

#include <netcdf.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <memory>
#include <mutex>
#include <numeric>
#include <thread>

namespace varenta {

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// Tables and names

Status loadExportTables(const std::string& programFolder, ExportTables& out, std::string* message)
{
    const fs::path dir(programFolder);
    auto fail = [&](Status st, const fs::path& p) {
        if (message)
            *message = p.string() + (st == Status::NotFound ? ": no such file" : ": not a valid table");
        return st;
    };
    const fs::path f = dir / "tolvf.org", g = dir / "tolvg.org";
    fs::path i = dir / "tolvi.ini";
    if (!fs::exists(i))
        i = dir / "tolvi.org";
    if (const Status st = out.channels.load(f.string()); st != Status::Ok)
        return fail(st, f);
    if (const Status st = out.items.load(g.string()); st != Status::Ok)
        return fail(st, g);
    if (const Status st = out.settings.load(i.string()); st != Status::Ok)
        return fail(st, i);
    return Status::Ok;
}

std::string channelShortName(int code)
{
    switch (code) {
    case 1: return "pressure";
    case 2: return "current_x";
    case 3: return "current_y";
    case 4: return "level";
    case 5: return "bearing";
    case 6: return "temperature";
    case 7: return "wind_x";
    case 8: return "wind_y";
    case 9: return "tilt_x";
    case 10: return "tilt_y";
    case 12: return "pressure_2";
    default:
        if (code >= 48 && code <= 51)
            return "array_pressure_" + std::to_string(code - 48);
        return "channel_" + std::to_string(code);
    }
}

std::string channelStandardName(int code)
{
    switch (code) {
    case 1:
    case 12: return "sea_water_pressure";
    case 2: return "eastward_sea_water_velocity";
    case 3: return "northward_sea_water_velocity";
    case 4: return "sea_surface_height";
    case 6: return "sea_water_temperature";
    case 7: return "eastward_wind";
    case 8: return "northward_wind";
    default: return (code >= 48 && code <= 51) ? "sea_water_pressure" : "";
    }
}

std::string udunitsOf(const std::string& tableUnit, int code)
{
    std::string u = trimBlanks(tableUnit);
    if (u.size() >= 2 && u.front() == '(' && u.back() == ')')
        u = trimBlanks(u.substr(1, u.size() - 2));
    // Pressure channels are water heads.
    if (u == "cm" && channelStandardName(code) == "sea_water_pressure")
        return "cmH2O";
    if (u == "cm/s")
        return "cm s-1";
    if (u == "m/s")
        return "m s-1";
    if (u == "°")
        return "degree";
    if (u == "℃")
        return "degC";
    return u.empty() ? "1" : u;
}

double headerEpochSeconds(const MeasurementHeader& h, double utcOffsetHours)
{
    const long long days = daysFromCivil(2000 + h.year, h.month, h.day);
    return static_cast<double>(days * 86400LL + h.hour * 3600LL + h.minute * 60LL + h.second) -
           utcOffsetHours * 3600.0;
}

std::string isoTime(double epochSeconds)
{
    const long long ms = std::llround(epochSeconds * 1000.0);
    long long secs = ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
    const int frac = static_cast<int>(ms - secs * 1000);
    long long days = secs >= 0 ? secs / 86400 : -((-secs + 86399) / 86400);
    const long long rem = secs - days * 86400;
    // civil date from days since 1970-01-01
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long doe = days - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const long long d = doy - (153 * mp + 2) / 5 + 1;
    const long long m = mp < 10 ? mp + 3 : mp - 9;
    const long long y = yoe + era * 400 + (m <= 2 ? 1 : 0);
    char buf[96];
    std::snprintf(buf, sizeof buf, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lld.%03dZ", y, m, d, rem / 3600,
                  rem / 60 % 60, rem % 60, frac);
    return buf;
}

SampleTimePacking sampleTimePacking(const std::vector<BurstClock>& bursts, int samples)
{
    SampleTimePacking p;
    if (bursts.empty() || samples <= 0)
        return p;
    // Every value below is then a multiple of 2^-20 s under 2^33 s: the
    // products and sums of the unpacking are exact in double precision.
    const double unit = std::ldexp(1.0, 20);
    const auto binaryFraction = [unit](double v) { return std::fabs(v) < 8.0e9 && v * unit == std::floor(v * unit); };
    const double dt = bursts.front().dt;
    const double offset = bursts.front().start;
    if (!(dt > 0) || !binaryFraction(dt) || !binaryFraction(offset))
        return p;
    constexpr double kLowest = -2147483646.0;  // above the fill value
    constexpr double kHighest = 2147483647.0;
    for (const BurstClock& b : bursts) {
        if (b.dt != dt || !binaryFraction(b.start))
            return p;
        const double k = (b.start - offset) / dt;
        if (k != std::floor(k) || k * dt + offset != b.start || k < kLowest || k + (samples - 1) > kHighest)
            return p;
    }
    p.packed = true;
    p.scale = dt;
    p.offset = offset;
    return p;
}

// ---------------------------------------------------------------------------
// Walking the bursts of the range

namespace {

struct Layout {
    std::vector<int> channels;  // codes
    int samples = 0;            // per channel
    double dt = 1.0;
    MeasurementHeader first;
};

class BurstWalk {
public:
    BurstWalk(const ExportRequest& req, const ExportTables& t) : req_(req), tables_(t) {}

    // Opens the file and lists the complete bursts of the range that share
    // the channels of the first one (headers only: one sector each).
    Status open(std::string& message)
    {
        master_ = isResultsFileName(req_.masterPath) ? existingPartner(req_.masterPath) : req_.masterPath;
        opt_ = decodeOptionsFrom(tables_.settings);
        const Status st = reader_.open(master_, 0, opt_);
        if (st == Status::NotFound || st == Status::Io) {
            message = master_ + (st == Status::NotFound ? ": no such file" : ": cannot be read");
            return st;
        }
        first_ = std::max(1LL, req_.first);
        last_ = reader_.lastNumber();
        if (req_.last > 0)
            last_ = std::min(last_, req_.last);
        bool haveLayout = false;
        for (long long m = first_; st == Status::Ok && m <= last_; ++m) {
            const Status r = reader_.read(m, header_, samples_, false);
            if (r == Status::Io) {
                message = master_ + ": cannot be read";
                return r;
            }
            if (r != Status::Ok || header_.packetKind() != kPacketKindHeader || header_.channelCount <= 0 ||
                header_.samplesPerChannel <= 0 || !reader_.samplesInFile(m, header_))
                continue;
            if (!haveLayout) {
                layout_.channels = header_.channels;
                layout_.samples = header_.samplesPerChannel;
                layout_.dt = header_.sampleInterval();
                layout_.first = header_;
                haveLayout = true;
            } else if (header_.channels != layout_.channels || header_.samplesPerChannel > layout_.samples) {
                continue;
            }
            numbers_.push_back(m);
            clocks_.push_back(BurstClock{headerEpochSeconds(header_, req_.utcOffsetHours), header_.sampleInterval()});
        }
        if (numbers_.empty()) {
            message = master_ + ": no complete measurement" +
                      (req_.first > 1 || req_.last > 0 ? " in the range" : std::string(" in the file"));
            return Status::DataFormat;
        }
        return Status::Ok;
    }

    std::size_t count() const { return numbers_.size(); }
    // Start and sample interval of every listed burst.
    const std::vector<BurstClock>& clocks() const { return clocks_; }
    // The first listed burst with its samples.
    Status readFirst(MeasurementHeader& h, std::vector<std::int16_t>& x)
    {
        return reader_.read(numbers_.front(), h, x);
    }
    // A reader of its own on the same file, as this one was opened.
    Status openAnother(MasterReader& r) const { return r.open(master_, reader_.sectorsPerMeasurement(), opt_); }
    // Listed burst `index` (0 = the first listed) with its samples, through r.
    Status readAt(MasterReader& r, std::size_t index, MeasurementHeader& h, std::vector<std::int16_t>& x) const
    {
        return index < numbers_.size() ? r.read(numbers_[index], h, x) : Status::NotFound;
    }
    // Reads the next listed burst with its samples; false at the end, with
    // io set when the file could not be read (or changed meanwhile).
    bool next(Status& io)
    {
        io = Status::Ok;
        if (at_ >= numbers_.size())
            return false;
        const Status r = reader_.read(numbers_[at_++], header_, samples_);
        if (r != Status::Ok) {
            io = Status::Io;
            return false;
        }
        return true;
    }

    const Layout& layout() const { return layout_; }
    const MeasurementHeader& header() const { return header_; }
    const std::vector<std::int16_t>& samples() const { return samples_; }
    int skipped() const { return static_cast<int>(last_ - first_ + 1 - static_cast<long long>(numbers_.size())); }
    const std::string& master() const { return master_; }
    long long firstNumber() const { return first_; }
    long long lastNumber() const { return last_; }

private:
    const ExportRequest& req_;
    const ExportTables& tables_;
    std::string master_;
    HeaderDecodeOptions opt_;
    MasterReader reader_;
    long long first_ = 1, last_ = 0;
    std::vector<long long> numbers_;
    std::vector<BurstClock> clocks_;
    std::size_t at_ = 0;
    Layout layout_;
    MeasurementHeader header_;
    std::vector<std::int16_t> samples_;
};

std::string channelLongName(const ExportTables& t, int code)
{
    const std::string n = trimBlanks(t.channels.value(code, 0));
    return n.empty() ? channelShortName(code) : n;
}

// Unique variable names: a second channel of the same kind gets "_2".
std::vector<std::string> variableNames(const std::vector<int>& channels)
{
    std::vector<std::string> names;
    for (int code : channels) {
        std::string n = channelShortName(code);
        int k = 1;
        for (const std::string& e : names)
            if (e == n || e.rfind(n + "_", 0) == 0)
                ++k;
        names.push_back(k > 1 ? n + "_" + std::to_string(k) : n);
    }
    return names;
}

// Digits after the decimal point of a factor as written ("0.01" -> 2).
int factorDecimals(const std::string& text)
{
    const std::string t = trimBlanks(text);
    const auto dot = t.find('.');
    if (dot == std::string::npos || t.find_first_of("eE") != std::string::npos)
        return t.find_first_of("eE") != std::string::npos ? -1 : 0;
    return static_cast<int>(t.size() - dot - 1);
}

std::string tempNameFor(const std::string& target) { return target + ".~" + std::to_string(::getpid()); }

// ---- the spectrum of the conditioned pressure (or level) channel ----

struct SpectrumPart {
    int channel = -1;  // index in the channel list
    std::vector<float> frequency;
};

int spectrumChannel(const MeasurementHeader& h)
{
    const int p = h.findChannel(0);
    return p >= 0 ? p : h.findChannel(4);
}

bool burstSpectrum(const MeasurementHeader& h, const std::vector<std::int16_t>& interleaved, int channel,
                   const ExportTables& t, Spectrum& out)
{
    // Only channel 0 (the water depth comes from its mean) and the
    // spectrum's channel are conditioned.
    std::vector<int> picked{0};
    if (channel != 0)
        picked.push_back(channel);
    DataSet d;
    d.header = h;
    d.header.channels.clear();
    for (int c : picked)
        d.header.channels.push_back(h.channels[static_cast<std::size_t>(c)]);
    d.header.channelCount = static_cast<int>(picked.size());
    const std::size_t nc = static_cast<std::size_t>(h.channelCount);
    const std::size_t n = static_cast<std::size_t>(h.samplesPerChannel);
    d.rawCounts.assign(picked.size(), std::vector<std::int16_t>(n));
    for (std::size_t k = 0; k < picked.size(); ++k)
        for (std::size_t i = 0; i < n; ++i)
            d.rawCounts[k][i] = interleaved[i * nc + static_cast<std::size_t>(picked[k])];
    RuntimeState state;
    ConditionedRecord rec;
    conditionDataSet(d, t.channels, t.settings, state, rec);
    if (d.values.size() != picked.size())
        return false;
    return PowerSpectrumCompute(d.values.back(), channel, spectrumRecordFrom(d, rec), spectrumSettingsFrom(t.settings),
                                out) == Status::Ok;
}

// ---- result items ----

struct ResultsFile {
    std::string bytes;
    ResultSelection selection;
    bool present = false;

    std::string record(std::int32_t number) const
    {
        if (number < 1)
            return {};
        const std::size_t off = static_cast<std::size_t>(number - 1) * kResultsRecordSize;
        if (off + kResultsRecordSize > bytes.size())
            return {};
        return bytes.substr(off, kResultsRecordSize);
    }
};

float itemValue(const std::string& record, int i)
{
    const std::string t = trimBlanks(resultItem(record, i));
    if (t.empty())
        return NC_FILL_FLOAT;
    char* end = nullptr;
    const double v = std::strtod(t.c_str(), &end);
    return (end && *end == '\0' && std::isfinite(v)) ? static_cast<float>(v) : NC_FILL_FLOAT;
}

std::string itemName(const ExportTables& t, int code)
{
    std::string n = trimBlanks(t.items.shortName(code));
    if (n.empty())
        n = trimBlanks(trimBlanks(t.items.heading1(code)) + " " + trimBlanks(t.items.heading2(code)));
    return n.empty() ? (code >= 0 ? "item " + std::to_string(code) : std::string()) : n;
}

// ---- NetCDF helpers: the first error is kept, later calls do nothing ----

class NcFile {
public:
    int id = -1;
    int err = NC_NOERR;

    bool ok() const { return err == NC_NOERR; }
    void check(int e)
    {
        if (err == NC_NOERR && e != NC_NOERR)
            err = e;
    }
    void text(int var, const char* name, const std::string& v)
    {
        if (ok())
            check(nc_put_att_text(id, var, name, v.size(), v.c_str()));
    }
    void real(int var, const char* name, double v)
    {
        if (ok())
            check(nc_put_att_double(id, var, name, NC_DOUBLE, 1, &v));
    }
    void integer(int var, const char* name, int v)
    {
        if (ok())
            check(nc_put_att_int(id, var, name, NC_INT, 1, &v));
    }
    // A variable stored contiguously (all dimensions are fixed and nothing
    // is compressed), so that blocks of bursts go to the file as they are.
    int var(const char* name, nc_type type, std::vector<int> dims)
    {
        int v = -1;
        if (ok())
            check(nc_def_var(id, name, type, static_cast<int>(dims.size()), dims.data(), &v));
        if (ok() && type != NC_STRING)
            check(nc_def_var_chunking(id, v, NC_CONTIGUOUS, nullptr));
        return v;
    }
    template <class T>
    void fill(int var, nc_type type, T value)
    {
        if (ok())
            check(nc_put_att(id, var, "_FillValue", type, 1, &value));
    }
};

}  // namespace

// ---------------------------------------------------------------------------
// NetCDF

ExportResult exportNetcdf(const ExportRequest& req, const ExportTables& t, const std::string& outPath,
                          const Progress& progress)
{
    ExportResult res;
    BurstWalk walk(req, t);
    res.status = walk.open(res.message);
    if (res.status != Status::Ok)
        return res;
    // Never over the data it comes from.
    std::error_code ec;
    for (const std::string& source : {walk.master(), existingPartner(walk.master())})
        if (fs::exists(outPath, ec) && fs::equivalent(outPath, source, ec)) {
            res.status = Status::Refused;
            res.message = outPath + ": is the master data file pair itself";
            return res;
        }
    const Layout& lay = walk.layout();
    const std::size_t nc = lay.channels.size();
    const std::size_t ns = static_cast<std::size_t>(lay.samples);
    const std::size_t nb = walk.count();

    // The spectrum's frequencies come from the first burst.
    SpectrumPart sp;
    sp.channel = spectrumChannel(lay.first);
    if (sp.channel >= 0) {
        MeasurementHeader h;
        std::vector<std::int16_t> x;
        Spectrum s;
        if (walk.readFirst(h, x) == Status::Ok && burstSpectrum(h, x, sp.channel, t, s) && !s.frequency.empty())
            sp.frequency = s.frequency;
        else
            sp.channel = -1;
    }
    const std::size_t nf = sp.frequency.size();

    ResultsFile results;
    results.present = readFileBytes(existingPartner(walk.master()), results.bytes) == Status::Ok;
    results.selection = buildResultSelection(
        t.settings, activeSelectionItem(t.settings, false, false, lay.first.optionFlagsHigh));

    const std::string temp = tempNameFor(outPath);
    NcFile f;
    f.check(nc_create(temp.c_str(), NC_NETCDF4 | NC_CLOBBER, &f.id));
    if (!f.ok()) {
        res.status = Status::Io;
        res.message = outPath + ": cannot be created (" + nc_strerror(f.err) + ")";
        return res;
    }
    auto fail = [&](const std::string& what) {
        res.status = Status::Io;
        res.message = outPath + ": " + what + (f.err != NC_NOERR ? std::string(" (") + nc_strerror(f.err) + ")" : "");
        if (f.id >= 0)
            nc_close(f.id);
        std::remove(temp.c_str());
        res.bursts = 0;
        return res;
    };
    // Every value is written, so nothing is filled in beforehand.
    int oldFill = 0;
    f.check(nc_set_fill(f.id, NC_NOFILL, &oldFill));

    constexpr std::size_t kRecordText = kResultsRecordSize - 2;
    int dBurst = -1, dSample = -1, dFreq = -1, dItem = -1, dText = -1;
    f.check(nc_def_dim(f.id, "burst", nb, &dBurst));
    f.check(nc_def_dim(f.id, "sample", ns, &dSample));
    f.check(nc_def_dim(f.id, "item", kResultItems, &dItem));
    f.check(nc_def_dim(f.id, "record_text", kRecordText, &dText));
    if (sp.channel >= 0)
        f.check(nc_def_dim(f.id, "frequency", nf, &dFreq));

    const char* timeUnits = "seconds since 1970-01-01T00:00:00Z";
    const int vTime = f.var("time", NC_DOUBLE, {dBurst});
    f.text(vTime, "standard_name", "time");
    f.text(vTime, "long_name", "start of the burst");
    f.text(vTime, "units", timeUnits);
    f.text(vTime, "calendar", "standard");
    f.text(vTime, "axis", "T");
    const int vNumber = f.var("measurement_number", NC_INT, {dBurst});
    f.text(vNumber, "long_name", "measurement number of the burst");
    // Whole intervals from the first start when that is exact (half the
    // bytes of doubles), else the seconds themselves.
    const SampleTimePacking timePacking = sampleTimePacking(walk.clocks(), static_cast<int>(ns));
    const int vSampleTime = f.var("sample_time", timePacking.packed ? NC_INT : NC_DOUBLE, {dBurst, dSample});
    if (timePacking.packed) {
        f.fill(vSampleTime, NC_INT, NC_FILL_INT);
        f.real(vSampleTime, "scale_factor", timePacking.scale);
        f.real(vSampleTime, "add_offset", timePacking.offset);
    } else {
        f.fill(vSampleTime, NC_DOUBLE, NC_FILL_DOUBLE);
    }
    f.text(vSampleTime, "standard_name", "time");
    f.text(vSampleTime, "long_name", "time of the sample");
    f.text(vSampleTime, "units", timeUnits);
    f.text(vSampleTime, "calendar", "standard");

    const std::vector<std::string> names = variableNames(lay.channels);
    std::vector<int> vChannel(nc);
    for (std::size_t c = 0; c < nc; ++c) {
        const int code = lay.channels[c];
        vChannel[c] = f.var(names[c].c_str(), NC_SHORT, {dBurst, dSample});
        f.fill(vChannel[c], NC_SHORT, static_cast<short>(kMissingSample));
        f.real(vChannel[c], "scale_factor", t.channels.factor(code));
        f.text(vChannel[c], "units", udunitsOf(t.channels.value(code, 1), code));
        f.text(vChannel[c], "long_name", channelLongName(t, code));
        if (const std::string sn = channelStandardName(code); !sn.empty())
            f.text(vChannel[c], "standard_name", sn);
        f.text(vChannel[c], "coordinates", "sample_time");
        f.integer(vChannel[c], "channel_code", code);
        f.text(vChannel[c], "comment", "stored counts times scale_factor; no trend removal, no sign rules");
    }

    const int vItemCode = f.var("item_code", NC_INT, {dItem});
    f.text(vItemCode, "long_name", "result item code");
    const int vItemName = f.var("item_name", NC_STRING, {dItem});
    f.text(vItemName, "long_name", "result item name");
    const int vItemUnits = f.var("item_units", NC_STRING, {dItem});
    const int vResults = f.var("results", NC_FLOAT, {dBurst, dItem});
    f.fill(vResults, NC_FLOAT, NC_FILL_FLOAT);
    f.text(vResults, "long_name", "result items of the burst");
    f.text(vResults, "coordinates", "item_code item_name");
    const int vRecord = f.var("results_record", NC_CHAR, {dBurst, dText});
    f.text(vRecord, "long_name", "results record text as stored in the results file (blank when none)");

    int vFreq = -1, vSpectrum = -1, vDepth = -1;
    if (sp.channel >= 0) {
        vFreq = f.var("frequency", NC_FLOAT, {dFreq});
        f.text(vFreq, "long_name", "frequency");
        f.text(vFreq, "units", "Hz");
        vSpectrum = f.var("spectrum", NC_FLOAT, {dBurst, dFreq});
        f.fill(vSpectrum, NC_FLOAT, NC_FILL_FLOAT);
        const std::string& name = names[static_cast<std::size_t>(sp.channel)];
        const int code = lay.channels[static_cast<std::size_t>(sp.channel)];
        const std::string unit = udunitsOf(t.channels.value(code, 1), code);
        f.text(vSpectrum, "long_name", "power spectral density of the conditioned " + name);
        f.text(vSpectrum, "units", unit == "cmH2O" ? std::string("cm2 s") : "(" + unit + ")2 s");
        f.text(vSpectrum, "channel", name);
        vDepth = f.var("water_depth", NC_FLOAT, {dBurst});
        f.fill(vDepth, NC_FLOAT, NC_FILL_FLOAT);
        f.text(vDepth, "long_name", "water depth used by the spectrum");
        f.text(vDepth, "units", "m");
    }

    // Global attributes.
    const Settings& s = t.settings;
    const SpectrumSettings ss = spectrumSettingsFrom(s);
    const std::string fileName = fs::path(walk.master()).filename().string();
    f.text(NC_GLOBAL, "Conventions", "CF-1.8");
    f.text(NC_GLOBAL, "title", "Wave, current and wind logger bursts of " + fileName);
    f.text(NC_GLOBAL, "source", "master data file " + fileName);
    f.integer(NC_GLOBAL, "model_code", lay.first.modelCode);
    f.integer(NC_GLOBAL, "machine_number", lay.first.machineNumber);
    f.real(NC_GLOBAL, "gauge_height_m", s.real(67, 0));
    f.real(NC_GLOBAL, "logger_clock_utc_offset_hours", req.utcOffsetHours);
    f.real(NC_GLOBAL, "sample_interval_s", lay.dt);
    f.integer(NC_GLOBAL, "burst_duration_min", lay.first.durationMinutes);
    f.integer(NC_GLOBAL, "burst_interval_min", lay.first.intervalMinutes);
    f.integer(NC_GLOBAL, "first_measurement", static_cast<int>(walk.firstNumber()));
    f.integer(NC_GLOBAL, "last_measurement", static_cast<int>(walk.lastNumber()));
    f.integer(NC_GLOBAL, "bursts_skipped", walk.skipped());
    f.integer(NC_GLOBAL, "spectrum_smoothing_passes", ss.smoothingPasses);
    f.integer(NC_GLOBAL, "spectrum_requested_length", ss.requestedLength);
    f.integer(NC_GLOBAL, "spectrum_converted_to_surface", ss.convertToSurface ? 1 : 0);
    f.real(NC_GLOBAL, "spectrum_pressure_divisor", ss.pressureDivisor);
    f.text(NC_GLOBAL, "spike_filter", "item 68 values 0,1: " + trimBlanks(s.value(68, 0)) + "," + trimBlanks(s.value(68, 1)));
    f.text(NC_GLOBAL, "trend_removal_mask", trimBlanks(s.value(82, 4)));
    const double noDepth = 0.0;
    f.real(NC_GLOBAL, "water_depth_m", noDepth);  // set at the end
    if (f.ok())
        f.check(nc_enddef(f.id));

    // Item coordinates.
    if (f.ok()) {
        std::vector<int> codes(kResultItems);
        std::vector<std::string> itemNames(kResultItems), itemUnits(kResultItems);
        std::vector<const char*> pn(kResultItems), pu(kResultItems);
        for (std::size_t i = 0; i < static_cast<std::size_t>(kResultItems); ++i) {
            codes[i] = results.selection.codeAt(static_cast<int>(i));
            itemNames[i] = itemName(t, codes[i]);
            itemUnits[i] = trimBlanks(t.items.value(codes[i], 3));
            pn[i] = itemNames[i].c_str();
            pu[i] = itemUnits[i].c_str();
        }
        f.check(nc_put_var_int(f.id, vItemCode, codes.data()));
        if (f.ok())
            f.check(nc_put_var_string(f.id, vItemName, pn.data()));
        if (f.ok())
            f.check(nc_put_var_string(f.id, vItemUnits, pu.data()));
        if (f.ok() && vFreq >= 0)
            f.check(nc_put_var_float(f.id, vFreq, sp.frequency.data()));
    }

    // Bursts go out in blocks of kBlock.  Reader threads (one a core) each
    // take every K-th block: they read its bursts with a reader of their
    // own, unpack them and compute their spectra; this thread hands the
    // blocks to the library in their order (it is not made for more than
    // one thread) and reports progress.  2K buffers go round, so that
    // every reader works on one block while the one before waits here.
    struct Block {
        std::size_t count = 0;
        std::vector<std::vector<std::int16_t>> chan;
        std::vector<double> times, start;
        std::vector<std::int32_t> packedTimes;
        std::vector<int> numbers;
        std::vector<float> items, density, depth;
        std::string text;
    };
    constexpr std::size_t kBlock = 64;
    const std::size_t blockCount = (nb + kBlock - 1) / kBlock;
    const std::size_t readers =
        std::max<std::size_t>(1, std::min<std::size_t>({std::thread::hardware_concurrency(), 4, blockCount}));
    std::vector<Block> blocks(2 * readers);
    std::mutex m;
    std::condition_variable changed;
    std::vector<std::size_t> filled(blocks.size(), SIZE_MAX);  // the block each buffer holds, once complete
    std::size_t written = 0;                                     // blocks handed to the library
    bool stop = false;
    Status io = Status::Ok;
    std::vector<double> depthSum(readers, 0.0);
    std::vector<int> depthCount(readers, 0);

    auto fill = [&](Block& blk, std::size_t k, const MeasurementHeader& h, const std::vector<std::int16_t>& x,
                    std::size_t reader) {
        const std::size_t n = static_cast<std::size_t>(h.samplesPerChannel);
        const double t0 = headerEpochSeconds(h, req.utcOffsetHours);
        blk.start[k] = t0;
        blk.numbers[k] = h.measurementNumber;
        if (timePacking.packed) {
            // Exact: t0 lies a whole number of intervals from the offset.
            const auto k0 = static_cast<std::int32_t>((t0 - timePacking.offset) / timePacking.scale);
            std::int32_t* tt = blk.packedTimes.data() + k * ns;
            for (std::size_t i = 0; i < ns; ++i)
                tt[i] = i < n ? k0 + static_cast<std::int32_t>(i) : NC_FILL_INT;
        } else {
            const double dt = h.sampleInterval();
            double* tt = blk.times.data() + k * ns;
            for (std::size_t i = 0; i < ns; ++i)
                tt[i] = i < n ? t0 + static_cast<double>(i) * dt : NC_FILL_DOUBLE;
        }
        for (std::size_t c = 0; c < nc; ++c) {
            std::int16_t* col = blk.chan[c].data() + k * ns;
            const std::int16_t* from = x.data() + c;
            for (std::size_t i = 0; i < n; ++i)
                col[i] = from[i * nc];
            std::fill(col + n, col + ns, kMissingSample);
        }
        const std::string record = results.record(h.measurementNumber);
        for (int i = 0; i < kResultItems; ++i)
            blk.items[k * kResultItems + static_cast<std::size_t>(i)] =
                record.empty() ? NC_FILL_FLOAT : itemValue(record, i);
        blk.text.replace(k * kRecordText, kRecordText,
                         record.empty() ? std::string(kRecordText, ' ') : record.substr(0, kRecordText));
        if (vSpectrum >= 0) {
            thread_local Spectrum sb;
            const bool have = burstSpectrum(h, x, sp.channel, t, sb) && sb.density.size() == nf;
            for (std::size_t j = 0; j < nf; ++j)
                blk.density[k * nf + j] = have ? sb.density[j] : NC_FILL_FLOAT;
            blk.depth[k] = have && sb.depth > 0 ? sb.depth : NC_FILL_FLOAT;
            if (have && sb.depth > 0)
                depthSum[reader] += sb.depth, ++depthCount[reader];
        }
    };

    auto readBlocks = [&](std::size_t reader) {
        MasterReader file;
        const bool opened = walk.openAnother(file) == Status::Ok;
        MeasurementHeader h;
        std::vector<std::int16_t> x;
        for (std::size_t j = reader; j < blockCount; j += readers) {
            Block& blk = blocks[j % blocks.size()];
            {
                std::unique_lock<std::mutex> lock(m);
                changed.wait(lock, [&] { return stop || written + blocks.size() > j; });
                if (stop)
                    return;
            }
            if (blk.chan.empty()) {
                blk.chan.assign(nc, std::vector<std::int16_t>(kBlock * ns));
                if (timePacking.packed)
                    blk.packedTimes.resize(kBlock * ns);
                else
                    blk.times.resize(kBlock * ns);
                blk.start.resize(kBlock);
                blk.numbers.resize(kBlock);
                blk.items.resize(kBlock * kResultItems);
                blk.density.resize(kBlock * nf);
                blk.depth.resize(kBlock);
                blk.text.assign(kBlock * kRecordText, ' ');
            }
            blk.count = std::min(kBlock, nb - j * kBlock);
            bool ok = opened;
            for (std::size_t k = 0; ok && k < blk.count; ++k) {
                ok = walk.readAt(file, j * kBlock + k, h, x) == Status::Ok;
                if (ok)
                    fill(blk, k, h, x, reader);
            }
            std::lock_guard<std::mutex> lock(m);
            if (!ok) {
                // The file could not be read (or changed meanwhile).
                io = Status::Io;
                stop = true;
            } else {
                filled[j % blocks.size()] = j;
            }
            changed.notify_all();
            if (!ok)
                return;
        }
    };
    std::vector<std::thread> readerThreads;
    for (std::size_t r = 0; r < readers; ++r)
        readerThreads.emplace_back([&, r] {
            try {
                readBlocks(r);
            } catch (...) {
                // Out of memory in a reader: the export fails as a read does.
                std::lock_guard<std::mutex> lock(m);
                io = Status::Io;
                stop = true;
                changed.notify_all();
            }
        });

    std::size_t b0 = 0;
    bool cancelled = false;
    auto write = [&](const Block& blk) {
        const std::size_t k = blk.count;
        const std::size_t at1[] = {b0}, n1[] = {k};
        const std::size_t at2[] = {b0, 0};
        f.check(nc_put_vara_double(f.id, vTime, at1, n1, blk.start.data()));
        if (f.ok())
            f.check(nc_put_vara_int(f.id, vNumber, at1, n1, blk.numbers.data()));
        const std::size_t ns2[] = {k, ns};
        if (f.ok())
            f.check(timePacking.packed ? nc_put_vara_int(f.id, vSampleTime, at2, ns2, blk.packedTimes.data())
                                       : nc_put_vara_double(f.id, vSampleTime, at2, ns2, blk.times.data()));
        for (std::size_t c = 0; c < nc && f.ok(); ++c)
            f.check(nc_put_vara_short(f.id, vChannel[c], at2, ns2, blk.chan[c].data()));
        const std::size_t ni[] = {k, static_cast<std::size_t>(kResultItems)};
        if (f.ok())
            f.check(nc_put_vara_float(f.id, vResults, at2, ni, blk.items.data()));
        const std::size_t nt[] = {k, kRecordText};
        if (f.ok())
            f.check(nc_put_vara_text(f.id, vRecord, at2, nt, blk.text.data()));
        if (vSpectrum >= 0 && f.ok()) {
            const std::size_t nsf[] = {k, nf};
            f.check(nc_put_vara_float(f.id, vSpectrum, at2, nsf, blk.density.data()));
            if (f.ok())
                f.check(nc_put_vara_float(f.id, vDepth, at1, n1, blk.depth.data()));
        }
        b0 += k;
    };
    for (std::size_t j = 0; j < blockCount; ++j) {
        Block& blk = blocks[j % blocks.size()];
        {
            std::unique_lock<std::mutex> lock(m);
            changed.wait(lock, [&] { return stop || filled[j % blocks.size()] == j; });
            if (stop)
                break;
        }
        write(blk);
        progress.say(std::to_string(blk.numbers[blk.count - 1]));
        cancelled = !progress.keepGoing();
        std::lock_guard<std::mutex> lock(m);
        ++written;
        if (cancelled || !f.ok())
            stop = true;
        changed.notify_all();
        if (stop)
            break;
    }
    {
        std::lock_guard<std::mutex> lock(m);
        stop = true;  // readers still waiting for a buffer end
        changed.notify_all();
    }
    for (std::thread& th : readerThreads)
        th.join();
    if (cancelled) {
        res.status = Status::Cancelled;
        res.message = outPath + ": stopped";
        nc_close(f.id);
        std::remove(temp.c_str());
        return res;
    }
    if (io != Status::Ok)
        return fail(walk.master() + " could not be read to the end");
    if (!f.ok())
        return fail("cannot be written");

    // The mean depth is known only now; the attribute keeps its size.
    const int depths = std::accumulate(depthCount.begin(), depthCount.end(), 0);
    const double meanDepth = depths > 0 ? std::accumulate(depthSum.begin(), depthSum.end(), 0.0) / depths : 0.0;
    f.check(nc_put_att_double(f.id, NC_GLOBAL, "water_depth_m", NC_DOUBLE, 1, &meanDepth));
    const int closed = nc_close(f.id);
    f.id = -1;
    f.check(closed);
    if (!f.ok() || std::rename(temp.c_str(), outPath.c_str()) != 0)
        return fail("cannot be written");
    res.bursts = static_cast<int>(b0);
    res.skipped = walk.skipped();
    res.files.push_back(outPath);
    return res;
}

// ---------------------------------------------------------------------------
// CSV

ExportResult exportCsv(const ExportRequest& req, const ExportTables& t, const std::string& outDir,
                       const Progress& progress)
{
    ExportResult res;
    BurstWalk walk(req, t);
    res.status = walk.open(res.message);
    if (res.status != Status::Ok)
        return res;
    const Layout& lay = walk.layout();
    const std::size_t nc = lay.channels.size();
    const std::vector<std::string> names = variableNames(lay.channels);
    std::string head = "time";
    std::vector<int> decimals(nc);
    std::vector<double> factors(nc);
    for (std::size_t c = 0; c < nc; ++c) {
        const int code = lay.channels[c];
        head += "," + names[c] + " [" + udunitsOf(t.channels.value(code, 1), code) + "]";
        decimals[c] = factorDecimals(t.channels.value(code, 2));
        factors[c] = t.channels.factor(code);
    }
    head += "\r\n";
    std::error_code ec;
    fs::create_directories(outDir, ec);
    const std::string base = fs::path(walk.master()).stem().string();

    Status io = Status::Ok;
    std::string text;
    char buf[64];
    while (walk.next(io)) {
        const MeasurementHeader& h = walk.header();
        const std::vector<std::int16_t>& x = walk.samples();
        const std::size_t n = static_cast<std::size_t>(h.samplesPerChannel);
        const double t0 = headerEpochSeconds(h, req.utcOffsetHours);
        text = head;
        for (std::size_t i = 0; i < n; ++i) {
            text += isoTime(t0 + static_cast<double>(i) * h.sampleInterval());
            for (std::size_t c = 0; c < nc; ++c) {
                text += ',';
                const std::int16_t v = x[i * nc + c];
                if (v == kMissingSample)
                    continue;
                if (decimals[c] >= 0)
                    std::snprintf(buf, sizeof buf, "%.*f", std::min(decimals[c], 12), v * factors[c]);
                else
                    std::snprintf(buf, sizeof buf, "%.9g", v * factors[c]);
                text += buf;
            }
            text += "\r\n";
        }
        char number[16];
        std::snprintf(number, sizeof number, "%05d", h.measurementNumber);
        const std::string path = (fs::path(outDir) / (base + "-" + number + ".csv")).string();
        if (writeFileBytesAtomic(path, text) != Status::Ok) {
            res.status = Status::Io;
            res.message = path + ": cannot be written";
            return res;
        }
        res.files.push_back(path);
        ++res.bursts;
        progress.say(std::to_string(h.measurementNumber));
        if (!progress.keepGoing()) {
            res.status = Status::Cancelled;
            res.message = outDir + ": stopped";
            return res;
        }
    }
    if (io != Status::Ok) {
        res.status = Status::Io;
        res.message = walk.master() + ": cannot be read";
    }
    res.skipped = walk.skipped();
    return res;
}

}  // namespace varenta
