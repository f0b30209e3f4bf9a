// make_fuzz_seeds OUT DATA: writes the seed corpus of each fuzz target into
// OUT/<target>/ from generated files: a small master file pair of the
// synthetic data generator, the installation data (in the code page, as a
// program folder holds it), packet dumps and packets split into the pieces
// a serial line delivers.  Nothing here is stored in the repository.
#include "brenlo24/link/packetdump.h"
#include "common/installdata.h"
#include "common/masterfile.h"
#include "common/sector.h"
#include "common/textfile.h"
#include "tools/synth/synth.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

using namespace varenta;
namespace fs = std::filesystem;

namespace {

std::string outRoot;

void seed(const std::string& target, const std::string& name, const std::string& bytes)
{
    const fs::path dir = fs::path(outRoot) / target;
    fs::create_directories(dir);
    writeFileBytesAtomic((dir / name).string(), bytes);
}

std::string fileBytes(const std::string& path)
{
    std::string s;
    readFileBytes(path, s);
    return s;
}

// A packet as the receiver target's pieces: the marker alone, then 504
// bytes, then the last 7.
std::string receiverPieces(const Packet& p)
{
    std::string s;
    s += char(1);
    s += char(p[0]);
    s += char(0x80 | 63);
    s.append(reinterpret_cast<const char*>(p.data()) + 1, 504);
    s += char(7);
    s.append(reinterpret_cast<const char*>(p.data()) + 505, 7);
    return s;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_fuzz_seeds OUT DATA\n");
        return 2;
    }
    outRoot = argv[1];
    const fs::path work = fs::path(outRoot) / ".work";
    fs::remove_all(work);
    fs::create_directories(work);
    const std::string prog = (work / "prog").string();
    if (installProgramData(argv[2], prog) != Status::Ok) {
        std::fprintf(stderr, "make_fuzz_seeds: cannot install %s\n", argv[2]);
        return 1;
    }

    synth::GeneratorOptions o;
    o.fidelity = synth::Fidelity::Cheap;
    o.plan.bursts = 3;
    o.plan.durationMinutes = 1;
    o.plan.intervalCode = 0;
    o.plan.channels = {synth::code::pressure, synth::code::currentX, synth::code::currentY};
    synth::MasterPairInfo info;
    std::string msg;
    if (synth::writeMasterPair(work.string(), "NR012", o, &info, &msg) != Status::Ok) {
        std::fprintf(stderr, "make_fuzz_seeds: %s\n", msg.c_str());
        return 1;
    }
    const std::string master = fileBytes(info.measurementPath);
    const std::string results = fileBytes(info.resultsPath);
    const std::size_t perMeasurement = kSectorSize * static_cast<std::size_t>(info.sectorsPerMeasurement);

    // Header decode: option byte, then one measurement.
    seed("fuzz_header", "measurement", std::string(1, '\0') + master.substr(0, perMeasurement));
    seed("fuzz_header", "extras", std::string(1, '\x07') + master.substr(0, perMeasurement));
    // Scans: wanted number and S, then the file.
    seed("fuzz_scan", "newest", std::string("\0\x80", 2) + master);
    seed("fuzz_scan", "wanted2", std::string("\x02\x02", 2) + master);
    // Results table: block start, block hours, refresh record and interval.
    seed("fuzz_results", "file", std::string("\x00\x03\x12", 3) + results);
    seed("fuzz_results", "blocks", std::string("\x06\x06\x01", 3) + results);
    // Arrived file for the merge.
    seed("fuzz_merge", "arrived", master);
    // Settings and definitions as installed.
    seed("fuzz_settings", "tolvi.org", fileBytes(prog + "/tolvi.org"));
    seed("fuzz_settings", "short", "' heading\r\n005,30\r\n089,3F5D,3\r\n199,end\r\n");
    seed("fuzz_definitions", "tolvg.org", std::string(1, '\0') + fileBytes(prog + "/tolvg.org"));
    seed("fuzz_definitions", "tolvf.org", std::string(1, '\1') + fileBytes(prog + "/tolvf.org"));

    // Packets: the first header sector and a data sector.
    Packet header{};
    std::copy_n(reinterpret_cast<const std::uint8_t*>(master.data()), kSectorSize, header.begin());
    Packet data{};
    std::copy_n(reinterpret_cast<const std::uint8_t*>(master.data()) + kSectorSize, kSectorSize, data.begin());
    seed("fuzz_packetdump", "header", packetDumpText(header));
    seed("fuzz_packetdump", "data", packetDumpText(data));
    seed("fuzz_receiver", "collect", std::string(1, '\1') + receiverPieces(header) + receiverPieces(data) + '\0');
    Packet result = data;
    result[2] = 0x06;  // a result-list line
    fixSectorChecksum(result.data());
    seed("fuzz_receiver", "results", std::string(1, '\2') + receiverPieces(result) + '\0');

    // Scripts: every kind of line, a comment, CR LF.
    seed("fuzz_script", "lines",
         "# a comment\r\nopen /data/NR012M.H10\r\nanswer 00002,00004\nanswer-checked 1,1\ncancel\nyes\nno\nok\n"
         "set 89 3 12\nset-text Form3.Text1_0 abc\ncheck Form3.Check1_2 1\nMtext\nwait 200\nwait-idle\nquit\n");
    // Web pages: kind and windows, then the first page's template, a
    // picture's frame header, the results file and a table text.
    const std::string jpeg("\xFF\xD8\xFF\xE0\x00\x04\x4A\x46\xFF\xC0\x00\x0B\x08\x02\xA0\x03\x20\x01\x01\x11\x00\xFF\xD9", 23);
    const std::string cut("\0\1", 2);
    seed("fuzz_webpages", "first", std::string("\x00\x1C", 2) + fileBytes(std::string(argv[2]) + "/NR21h.txt") + cut + jpeg +
                                       cut + results + cut + "   1  26/ 5/ 6  0:00   12.3\r\n");
    seed("fuzz_webpages", "directional", std::string("\x08\xFF", 2) + fileBytes(std::string(argv[2]) + "/NR24hp.txt") +
                                             cut + jpeg + cut + results + cut + "x\r\n");

    fs::remove_all(work);
    return 0;
}
