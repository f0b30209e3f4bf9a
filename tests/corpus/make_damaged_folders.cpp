// make_damaged_folders OUT: the malformed-input corpus.  Writes program
// folders OUT/NN-name/, each an installed program folder with a generated
// master file pair NR012M.H10 / NR012L.H10 and a user's "tolvi.ini" that
// opens it, with one damage: master files truncated, emptied, garbage,
// with bad check bytes, impossible dates or huge sample counts; results
// records cut or garbage; "tolvi.ini" with over-long, binary, missing or
// duplicated lines; "tolvf.org" and "tolvg.org" missing or damaged.
// Folder 00-intact has no damage.  OUT/manifest.tsv lists each folder with
// its description, the user's values its "tolvi.ini" must still hold after
// a run ("-" where the damage itself removed them) and the files the
// program may rewrite in place ("-" for none).
#include "common/installdata.h"
#include "common/masterfile.h"
#include "common/sector.h"
#include "common/settings.h"
#include "common/textfile.h"
#include "tools/synth/synth.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

using namespace varenta;
namespace fs = std::filesystem;

namespace {

const std::string kMaster = "NR012M.H10";
const std::string kResults = "NR012L.H10";

std::string bytesOf(const fs::path& p)
{
    std::string s;
    readFileBytes(p.string(), s);
    return s;
}

void put(const fs::path& p, const std::string& bytes)
{
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string garbage(std::size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(rng() & 0xFF);
    return s;
}

// One damaged folder: the base copied, then the damage applied to it.
struct Case {
    std::string name;
    std::string description;
    std::function<void(const fs::path& dir)> damage;
    bool userValuesKept = true;  // false: the damage itself removes them
    // Files the program may rewrite in place (same size): a results file
    // whose records are out of sequence is repaired by the results table.
    std::string rewritable = "-";
};

struct Base {
    fs::path dir;
    std::size_t sectorsPerMeasurement = 0;
    int bursts = 0;
    // The user's values, as "ITEM VALUE TEXT" triples for the manifest.
    std::vector<std::tuple<int, int, std::string>> user;
};

// Edits one header sector of the master file and fixes its check byte
// (unless keepSum).
void editHeader(const fs::path& dir, const Base& b, int measurement, const std::function<void(std::uint8_t*)>& edit,
                bool keepSum = false)
{
    std::string m = bytesOf(dir / kMaster);
    const std::size_t at = static_cast<std::size_t>(measurement - 1) * b.sectorsPerMeasurement * kSectorSize;
    if (at + kSectorSize > m.size())
        return;
    auto* s = reinterpret_cast<std::uint8_t*>(m.data() + at);
    edit(s);
    if (!keepSum)
        fixSectorChecksum(s);
    put(dir / kMaster, m);
}

void editEveryHeader(const fs::path& dir, const Base& b, const std::function<void(std::uint8_t*)>& edit)
{
    for (int k = 1; k <= b.bursts; ++k)
        editHeader(dir, b, k, edit);
}

void editLines(const fs::path& file, const std::function<void(std::vector<std::string>&)>& edit, bool crlf = true)
{
    std::vector<std::string> lines;
    readTextLines(file.string(), lines);
    edit(lines);
    if (crlf) {
        writeTextLines(file.string(), lines);
        return;
    }
    std::string s = bytesOf(file);
    std::string out;
    for (char c : s)
        if (c != '\r')
            out += c;
    put(file, out);
}

void dropItem(std::vector<std::string>& lines, const std::string& prefix)
{
    std::erase_if(lines, [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
}

void truncateTo(const fs::path& p, std::size_t n) { fs::resize_file(p, n); }

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_damaged_folders OUT DATA\n");
        return 2;
    }
    const fs::path out = argv[1];
    fs::remove_all(out);
    fs::create_directories(out);

    Base b;
    b.dir = out / ".base";
    if (installProgramData(argv[2], b.dir.string()) != Status::Ok) {
        std::fprintf(stderr, "make_damaged_folders: cannot install %s\n", argv[2]);
        return 1;
    }
    synth::GeneratorOptions o;
    o.fidelity = synth::Fidelity::Cheap;
    o.plan.bursts = b.bursts = 6;
    o.plan.durationMinutes = 2;
    o.plan.intervalCode = 1;
    o.plan.channels = {synth::code::pressure, synth::code::currentX, synth::code::currentY};
    synth::MasterPairInfo info;
    std::string msg;
    if (synth::writeMasterPair(b.dir.string(), "NR012", o, &info, &msg) != Status::Ok) {
        std::fprintf(stderr, "make_damaged_folders: %s\n", msg.c_str());
        return 1;
    }
    b.sectorsPerMeasurement = static_cast<std::size_t>(info.sectorsPerMeasurement);

    const std::size_t msize = fs::file_size(b.dir / kMaster);
    const std::size_t rsize = fs::file_size(b.dir / kResults);

    std::vector<Case> cases = {
        {"intact", "no damage", [](const fs::path&) {}},
        // ---- the master file ----
        {"master-cut-1", "master file cut to 1 byte", [](const fs::path& d) { truncateTo(d / kMaster, 1); }},
        {"master-cut-511", "master file cut to 511 bytes", [](const fs::path& d) { truncateTo(d / kMaster, 511); }},
        {"master-cut-513", "master file cut to 513 bytes", [](const fs::path& d) { truncateTo(d / kMaster, 513); }},
        {"master-cut-1001", "master file cut to 1001 bytes", [](const fs::path& d) { truncateTo(d / kMaster, 1001); }},
        {"master-cut-half", "master file cut in the middle of a sector",
         [msize](const fs::path& d) { truncateTo(d / kMaster, msize / 2 + 3); }},
        {"master-cut-last", "master file lacking its last byte",
         [msize](const fs::path& d) { truncateTo(d / kMaster, msize - 1); }},
        {"master-empty", "master file of 0 bytes", [](const fs::path& d) { truncateTo(d / kMaster, 0); }},
        {"master-garbage", "master file of random bytes",
         [msize](const fs::path& d) { put(d / kMaster, garbage(msize, 1)); }},
        {"master-garbage-short", "master file of 100 random bytes",
         [](const fs::path& d) { put(d / kMaster, garbage(100, 2)); }},
        {"master-all-ff", "master file of all-0xFF sectors",
         [msize](const fs::path& d) { put(d / kMaster, std::string(msize, '\xff')); }},
        {"master-all-00", "master file of zero bytes",
         [msize](const fs::path& d) { put(d / kMaster, std::string(msize, '\0')); }},
        {"master-ff-sector", "one all-0xFF sector inside a measurement",
         [](const fs::path& d) {
             std::string m = bytesOf(d / kMaster);
             m.replace(kSectorSize, kSectorSize, std::string(kSectorSize, '\xff'));
             put(d / kMaster, m);
         }},
        {"header-bad-check-all", "every header with a bad check byte",
         [&b](const fs::path& d) {
             for (int k = 1; k <= b.bursts; ++k)
                 editHeader(d, b, k, [](std::uint8_t* s) { s[hdr::checksumByte] ^= 0x11; }, true);
         }},
        {"header-bad-check-newest", "the newest header with a bad check byte",
         [&b](const fs::path& d) { editHeader(d, b, b.bursts, [](std::uint8_t* s) { s[hdr::checksumByte] ^= 1; }, true); }},
        {"header-month-13", "the newest header dated month 13",
         [&b](const fs::path& d) { editHeader(d, b, b.bursts, [](std::uint8_t* s) { s[hdr::month] = 13; }); }},
        {"header-month-0-all", "every header dated month 0",
         [&b](const fs::path& d) { editEveryHeader(d, b, [](std::uint8_t* s) { s[hdr::month] = 0; }); }},
        {"header-day-32-hour-25", "a header on day 32 at hour 25",
         [&b](const fs::path& d) {
             editHeader(d, b, 2, [](std::uint8_t* s) {
                 s[hdr::day] = 32;
                 s[hdr::hour] = 25;
             });
         }},
        {"header-huge-samples", "the newest header with 60 minutes at 0.1 s (more samples than the file holds)",
         [&b](const fs::path& d) {
             editHeader(d, b, b.bursts, [](std::uint8_t* s) {
                 s[hdr::durationMinutes] = 60;
                 s[hdr::measureCondition] = 3;
             });
         }},
        {"header-duration-255", "every header with a burst of 255 minutes",
         [&b](const fs::path& d) { editEveryHeader(d, b, [](std::uint8_t* s) { s[hdr::durationMinutes] = 255; }); }},
        {"header-duration-0", "every header with a burst of 0 minutes",
         [&b](const fs::path& d) { editEveryHeader(d, b, [](std::uint8_t* s) { s[hdr::durationMinutes] = 0; }); }},
        {"header-no-channels", "every header without a recorded channel",
         [&b](const fs::path& d) {
             editEveryHeader(d, b, [](std::uint8_t* s) {
                 for (int i = 0; i < kMaxChannels; ++i)
                     s[hdr::channelSlots + i] = 0;
             });
         }},
        {"header-nine-unknown-channels", "nine channels of codes the table lacks",
         [&b](const fs::path& d) {
             editEveryHeader(d, b, [](std::uint8_t* s) {
                 for (int i = 0; i < kMaxChannels; ++i)
                     s[hdr::channelSlots + i] = 0xFF;
             });
         }},
        {"header-number-0", "every measurement number 0",
         [&b](const fs::path& d) {
             editEveryHeader(d, b, [](std::uint8_t* s) {
                 s[hdr::measurementNumber] = 0;
                 s[hdr::measurementNumber + 1] = 0;
             });
         }},
        {"header-number-huge", "the newest measurement number 65535",
         [&b](const fs::path& d) {
             editHeader(d, b, b.bursts, [](std::uint8_t* s) {
                 s[hdr::measurementNumber] = 0xFF;
                 s[hdr::measurementNumber + 1] = 0xFF;
             });
         }},
        {"header-interval-code-7", "headers with an unknown sample interval code",
         [&b](const fs::path& d) { editEveryHeader(d, b, [](std::uint8_t* s) { s[hdr::measureCondition] = 7; }); }},
        {"header-model-99", "headers of an unknown model",
         [&b](const fs::path& d) { editEveryHeader(d, b, [](std::uint8_t* s) { s[hdr::modelCode] = 99; }); }},
        {"master-doubled", "master file holding every measurement twice",
         [](const fs::path& d) { put(d / kMaster, bytesOf(d / kMaster) + bytesOf(d / kMaster)); }},
        {"master-sparse-64m", "master file with a lone header 64 MB in",
         [&b](const fs::path& d) {
             const std::string m = bytesOf(d / kMaster);
             std::fstream f(d / kMaster, std::ios::binary | std::ios::in | std::ios::out);
             f.seekp(64 << 20);
             f.write(m.data(), kSectorSize);
         }},
        {"master-missing", "only the results file is there", [](const fs::path& d) { fs::remove(d / kMaster); }},
        // ---- the results file ----
        {"results-partial-record", "results file ending in a partial record",
         [rsize](const fs::path& d) { truncateTo(d / kResults, rsize - 100); }},
        {"results-empty", "results file of 0 bytes", [](const fs::path& d) { truncateTo(d / kResults, 0); }},
        {"results-garbage", "results file of random bytes",
         [rsize](const fs::path& d) { put(d / kResults, garbage(rsize, 3)); }, true, kResults},
        {"results-all-ff", "results records of 0xFF bytes",
         [rsize](const fs::path& d) { put(d / kResults, std::string(rsize, '\xff')); }, true, kResults},
        {"results-letters", "results records of letters instead of numbers",
         [rsize](const fs::path& d) { put(d / kResults, std::string(rsize, 'x')); }, true, kResults},
        {"results-missing", "only the measurement file is there", [](const fs::path& d) { fs::remove(d / kResults); }},
        // ---- tolvi.ini ----
        {"ini-overlong-line", "tolvi.ini with a 100000-character value",
         [](const fs::path& d) {
             editLines(d / "tolvi.ini", [](auto& l) { l.insert(l.begin() + 5, "065," + std::string(100000, '9')); });
         }},
        {"ini-binary-values", "tolvi.ini with control and 0xFF bytes in values",
         [](const fs::path& d) {
             std::string s = bytesOf(d / "tolvi.ini");
             const std::size_t at = s.find("\r\n096,");
             s.insert(at + 6, std::string("\x01\x00\xff\x7f\x1b", 5));
             put(d / "tolvi.ini", s);
         }},
        {"ini-missing-items", "tolvi.ini without the lines of items 89, 165 and 178",
         [](const fs::path& d) {
             editLines(d / "tolvi.ini", [](auto& l) {
                 dropItem(l, "089,");
                 dropItem(l, "165,");
                 dropItem(l, "178,");
             });
         }},
        {"ini-duplicated-items", "tolvi.ini with items 89 and 98 twice",
         [](const fs::path& d) {
             editLines(d / "tolvi.ini", [](auto& l) {
                 l.insert(l.begin() + 3, "089,FFFF,FFFF,,99999");
                 l.insert(l.begin() + 3, "098,/nowhere/NR999M.H10");
             });
         }},
        {"ini-no-199", "tolvi.ini without its item 199 line",
         [](const fs::path& d) { editLines(d / "tolvi.ini", [](auto& l) { dropItem(l, "199,"); }); }},
        {"ini-cut-mid-line", "tolvi.ini cut in the middle of a line",
         [](const fs::path& d) {
             const std::string s = bytesOf(d / "tolvi.ini");
             put(d / "tolvi.ini", s.substr(0, s.find("\r\n150,") + 5));
         }},
        {"ini-empty", "tolvi.ini of 0 bytes", [](const fs::path& d) { put(d / "tolvi.ini", ""); }},
        {"ini-missing", "no tolvi.ini (made again from tolvi.org)", [](const fs::path& d) { fs::remove(d / "tolvi.ini"); },
         false},
        {"ini-garbage", "tolvi.ini of random bytes", [](const fs::path& d) { put(d / "tolvi.ini", garbage(4000, 4)); }},
        {"ini-bad-selection", "tolvi.ini with a selection list of letters and codes above 999",
         [](const fs::path& d) {
             editLines(d / "tolvi.ini", [](auto& l) {
                 dropItem(l, "165,");
                 l.insert(l.end() - 1, "165,abc9999999-1-1xyz");
             });
         }},
        {"ini-bad-words", "tolvi.ini with switch words and window sizes that are not numbers",
         [](const fs::path& d) {
             editLines(d / "tolvi.ini", [](auto& l) {
                 dropItem(l, "088,");
                 dropItem(l, "089,");
                 dropItem(l, "085,");
                 l.insert(l.begin() + 3, "088,-99999999,99999999999,0,-5");
                 l.insert(l.begin() + 3, "089,ZZZZ,&HFFFFFFFFFF,,-1");
                 l.insert(l.begin() + 3, "085,,,,,GG,1E9999");
             });
         }},
        {"ini-path-is-folder", "tolvi.ini naming a folder as the master file",
         [](const fs::path& d) { editLines(d / "tolvi.ini", [&d](auto& l) { dropItem(l, "098,"); l.insert(l.begin() + 3, "098," + d.string()); }); },
         false},
        {"ini-path-garbage-file", "tolvi.ini naming a file of random bytes",
         [](const fs::path& d) {
             put(d / "NR077M.H10", garbage(3000, 5));
             editLines(d / "tolvi.ini", [&d](auto& l) { dropItem(l, "098,"); l.insert(l.begin() + 3, "098," + (d / "NR077M.H10").string()); });
         },
         false},
        {"ini-lone-lead-byte", "tolvi.ini with a lone double-byte lead byte before a line end",
         [](const fs::path& d) {
             std::string s = bytesOf(d / "tolvi.ini");
             s.insert(s.find("\r\n080,") + 2 + 8, "\x83");
             put(d / "tolvi.ini", s);
         }},
        {"ini-lf-only", "tolvi.ini with LF line ends", [](const fs::path& d) { editLines(d / "tolvi.ini", [](auto&) {}, false); }},
        {"ini-numbers-above-199", "tolvi.ini with item numbers 200 and 999 before item 199",
         [](const fs::path& d) {
             editLines(d / "tolvi.ini", [](auto& l) {
                 l.insert(l.begin() + 4, "999,x");
                 l.insert(l.begin() + 4, "200,x");
             });
         },
         false},
        {"ini-bad-schedules", "tolvi.ini with negative and huge schedule times",
         [](const fs::path& d) {
             editLines(d / "tolvi.ini", [](auto& l) {
                 dropItem(l, "083,");
                 dropItem(l, "066,");
                 dropItem(l, "067,");
                 l.insert(l.begin() + 3, "083,,,,,,-60,99,-1");
                 l.insert(l.begin() + 3, "066,,,,,,0,-25,70");
                 l.insert(l.begin() + 3, "067,,,,,,99999999999999999999,24,60");
             });
         }},
        // ---- the definition files ----
        {"tolvf-missing", "no tolvf.org", [](const fs::path& d) { fs::remove(d / "tolvf.org"); }},
        {"tolvf-empty", "tolvf.org of 0 bytes", [](const fs::path& d) { put(d / "tolvf.org", ""); }},
        {"tolvf-garbage", "tolvf.org of random bytes", [](const fs::path& d) { put(d / "tolvf.org", garbage(2000, 6)); }},
        {"tolvf-highest-999", "tolvf.org announcing channel code 999",
         [](const fs::path& d) { editLines(d / "tolvf.org", [](auto& l) { l[0] = l[0].substr(0, l[0].size() - 3) + "999"; }); }},
        {"tolvf-highest-000", "tolvf.org announcing channel code 0",
         [](const fs::path& d) { editLines(d / "tolvf.org", [](auto& l) { l[0] = l[0].substr(0, l[0].size() - 3) + "000"; }); }},
        {"tolvg-missing", "no tolvg.org", [](const fs::path& d) { fs::remove(d / "tolvg.org"); }},
        {"tolvg-empty", "tolvg.org of 0 bytes", [](const fs::path& d) { put(d / "tolvg.org", ""); }},
        {"tolvg-zero-items", "tolvg.org announcing 0 items",
         [](const fs::path& d) { editLines(d / "tolvg.org", [](auto& l) { l[0] = "[000]"; }); }},
        {"tolvg-999-items", "tolvg.org announcing 999 items with the lines of the shipped file",
         [](const fs::path& d) { editLines(d / "tolvg.org", [](auto& l) { l[0] = "[999]"; }); }},
        {"tolvg-garbage", "tolvg.org of random bytes", [](const fs::path& d) { put(d / "tolvg.org", garbage(3000, 7)); }},
        {"tolvi-org-and-ini-missing", "neither tolvi.ini nor tolvi.org",
         [](const fs::path& d) {
             fs::remove(d / "tolvi.ini");
             fs::remove(d / "tolvi.org");
         },
         false},
    };

    std::ofstream manifest(out / "manifest.tsv", std::ios::trunc);
    char num[16];
    int index = 0;
    for (const Case& c : cases) {
        std::snprintf(num, sizeof num, "%02d", index++);
        const fs::path dir = out / (std::string(num) + "-" + c.name);
        fs::copy(b.dir, dir, fs::copy_options::recursive);
        // The user's settings: the template, the master file to open and a
        // few values of their own.
        Settings user;
        std::vector<std::string> layout;
        readTextLines((dir / "tolvi.org").string(), layout);
        user.parse(layout);
        const std::vector<std::tuple<int, int, std::string>> values = {
            {98, 0, (dir / kMaster).string()}, {96, 5, "48"}, {65, 1, "  5.0 10.0 20.0"}, {190, 0, "IPAGothic"}};
        for (const auto& [n, k, v] : values)
            user.set(n, k, v);
        writeTextLines((dir / "tolvi.ini").string(), user.render(layout));
        c.damage(dir);
        manifest << dir.filename().string() << '\t' << c.description << '\t';
        if (c.userValuesKept)
            for (const auto& [n, k, v] : values)
                manifest << n << ' ' << k << ' ' << v << ';';
        else
            manifest << '-';
        manifest << '\t' << c.rewritable << '\n';
    }
    fs::remove_all(b.dir);
    std::printf("%d folders in %s\n", index, out.string().c_str());
    return 0;
}
