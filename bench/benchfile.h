#pragma once
// The 1 GiB master file the loading and export benchmarks share: 20-minute
// bursts at 0.5 s of three channels (30 sectors each), the samples of one
// generated burst under a header of its own per measurement (number, time,
// address, checksums).  Written once to $VARENTA_BENCH_FILE or
// /tmp/varenta-bench-1g.H10 and reused while its size is right.
#include "common/masterfile.h"
#include "tools/synth/synth.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace varenta::bench {

constexpr std::uint64_t kTargetBytes = 1ull << 30;

inline std::string benchFile()
{
    const char* env = std::getenv("VARENTA_BENCH_FILE");
    return env && *env ? env : "/tmp/varenta-bench-1g.H10";
}

inline std::uint64_t sizeOf(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

// The generator's plan of every benchmark master file here.
inline synth::GeneratorOptions benchPlan(std::uint64_t bursts)
{
    synth::GeneratorOptions o;
    o.fidelity = synth::Fidelity::Cheap;
    o.plan.durationMinutes = 20;
    o.plan.intervalCode = 1;
    o.plan.intervalMinutes = 60;
    o.plan.channels = {synth::code::pressure, synth::code::currentX, synth::code::currentY};
    o.plan.bursts = static_cast<int>(bursts);
    return o;
}

// Makes a master file of `bursts` measurements at path unless one of that
// size is there already.
inline bool makeFileOf(const std::string& path, std::uint64_t bursts)
{
    const synth::GeneratorOptions o = benchPlan(bursts);
    const auto spm = static_cast<std::uint64_t>(synth::sectorsPerMeasurement(o));
    if (sizeOf(path) == bursts * spm * kSectorSize)
        return true;
    const std::vector<std::int16_t> samples = synth::generateBurst(o, 1).interleaved();
    const std::string tmp = path + ".part";
    std::FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f)
        return false;
    for (std::uint64_t m = 1; m <= bursts; ++m)
        for (const Sector& s : packMeasurement(synth::headerFor(o, static_cast<std::uint32_t>(m)), samples))
            if (std::fwrite(s.data(), 1, s.size(), f) != s.size()) {
                std::fclose(f);
                return false;
            }
    return std::fclose(f) == 0 && std::rename(tmp.c_str(), path.c_str()) == 0;
}

// Makes the 1 GiB file at path unless it is there already; bursts: how many
// it holds.
inline bool makeFile(const std::string& path, std::uint64_t& bursts)
{
    bursts = kTargetBytes / (static_cast<std::uint64_t>(synth::sectorsPerMeasurement(benchPlan(1))) * kSectorSize);
    return makeFileOf(path, bursts);
}

}  // namespace varenta::bench
