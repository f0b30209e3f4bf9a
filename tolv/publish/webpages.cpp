#include "tolv/publish/webpages.h"

#include "common/format.h"
#include "common/settings.h"
#include "common/textcodec.h"
#include "common/textfile.h"

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace varenta {

namespace {

constexpr std::size_t kRecordBytes = 392;
constexpr const char* kCrLf = "\r\n";

// ---- UTF-8 ----
bool nextCodePoint(std::string_view s, std::size_t& i, char32_t& cp)
{
    if (i >= s.size())
        return false;
    const auto b = static_cast<unsigned char>(s[i]);
    int n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 1;
    if (i + static_cast<std::size_t>(n) > s.size())
        n = 1;
    if (n == 1) {
        cp = b;
    } else {
        cp = b & (0x7F >> n);
        for (int k = 1; k < n; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]) & 0x3F);
    }
    i += static_cast<std::size_t>(n);
    return true;
}

void appendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Half-width forms of the full-width katakana U+30A1..U+30F6: the base
// letter (an offset from U+FF60) and the voicing mark (0, U+FF9E or U+FF9F).
struct Kana {
    char32_t base;
    char32_t mark;
};
constexpr char32_t V = 0xFF9E, P = 0xFF9F;
constexpr Kana kKana[] = {
    {0xFF67, 0}, {0xFF71, 0}, {0xFF68, 0}, {0xFF72, 0}, {0xFF69, 0}, {0xFF73, 0}, {0xFF6A, 0}, {0xFF74, 0},  // ァ..エ
    {0xFF6B, 0}, {0xFF75, 0}, {0xFF76, 0}, {0xFF76, V}, {0xFF77, 0}, {0xFF77, V}, {0xFF78, 0}, {0xFF78, V},  // ォ..グ
    {0xFF79, 0}, {0xFF79, V}, {0xFF7A, 0}, {0xFF7A, V}, {0xFF7B, 0}, {0xFF7B, V}, {0xFF7C, 0}, {0xFF7C, V},  // ケ..ジ
    {0xFF7D, 0}, {0xFF7D, V}, {0xFF7E, 0}, {0xFF7E, V}, {0xFF7F, 0}, {0xFF7F, V}, {0xFF80, 0}, {0xFF80, V},  // ス..ダ
    {0xFF81, 0}, {0xFF81, V}, {0xFF6F, 0}, {0xFF82, 0}, {0xFF82, V}, {0xFF83, 0}, {0xFF83, V}, {0xFF84, 0},  // チ..ト
    {0xFF84, V}, {0xFF85, 0}, {0xFF86, 0}, {0xFF87, 0}, {0xFF88, 0}, {0xFF89, 0}, {0xFF8A, 0}, {0xFF8A, V},  // ド..バ
    {0xFF8A, P}, {0xFF8B, 0}, {0xFF8B, V}, {0xFF8B, P}, {0xFF8C, 0}, {0xFF8C, V}, {0xFF8C, P}, {0xFF8D, 0},  // パ..ヘ
    {0xFF8D, V}, {0xFF8D, P}, {0xFF8E, 0}, {0xFF8E, V}, {0xFF8E, P}, {0xFF8F, 0}, {0xFF90, 0}, {0xFF91, 0},  // ベ..ム
    {0xFF92, 0}, {0xFF93, 0}, {0xFF6C, 0}, {0xFF94, 0}, {0xFF6D, 0}, {0xFF95, 0}, {0xFF6E, 0}, {0xFF96, 0},  // メ..ヨ
    {0xFF97, 0}, {0xFF98, 0}, {0xFF99, 0}, {0xFF9A, 0}, {0xFF9B, 0}, {0xFF9C, 0}, {0xFF9C, 0}, {0xFF72, 0},  // ラ..ヰ
    {0xFF74, 0}, {0xFF66, 0}, {0xFF9D, 0}, {0xFF73, V}, {0xFF76, 0}, {0xFF79, 0},                            // ヱ..ヶ
};

// Characters of the record at a 1-based position (fewer at the end of the
// record or file).
std::string recordField(std::string_view results, long long number, std::size_t pos1, std::size_t count)
{
    if (number < 1 || pos1 < 1)
        return {};
    const std::uint64_t start = static_cast<std::uint64_t>(number - 1) * kRecordBytes + (pos1 - 1);
    const std::uint64_t recordEnd = static_cast<std::uint64_t>(number) * kRecordBytes;
    if (start >= results.size() || start >= recordEnd)
        return {};
    const std::uint64_t end = std::min<std::uint64_t>({start + count, recordEnd, results.size()});
    return fromCodePage(results.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start)));
}

std::size_t fieldStart(int k) { return static_cast<std::size_t>((k / 8) * 49 + (k % 8) * 6 + 1); }

std::vector<std::string_view> splitLines(std::string_view body)
{
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < body.size()) {
        std::size_t nl = body.find('\n', start);
        std::size_t end = nl == std::string_view::npos ? body.size() : nl;
        std::size_t stop = end;
        if (stop > start && body[stop - 1] == '\r')
            --stop;
        lines.push_back(body.substr(start, stop - start));
        if (nl == std::string_view::npos)
            break;
        start = nl + 1;
    }
    return lines;
}

std::string pictureName(const WebPagesInput& in, int n) { return in.prefix + "2" + std::to_string(n) + "g.jpg"; }

}  // namespace

std::optional<PictureSize> jpegPictureSize(std::string_view b)
{
    const auto at = [&b](std::size_t i) { return static_cast<unsigned char>(b[i]); };
    if (b.size() < 4 || at(0) != 0xFF || at(1) != 0xD8)
        return std::nullopt;
    std::size_t i = 2;
    while (i + 4 <= b.size()) {
        if (at(i) != 0xFF)
            return std::nullopt;
        const unsigned char m = at(i + 1);
        if (m == 0xFF) {  // fill byte
            ++i;
            continue;
        }
        if (m == 0xD8 || m == 0x01 || (m >= 0xD0 && m <= 0xD7)) {  // markers without a length
            i += 2;
            continue;
        }
        if (m == 0xD9 || m == 0xDA)  // end of image, start of scan: no frame header before
            return std::nullopt;
        const std::size_t len = static_cast<std::size_t>(at(i + 2)) << 8 | at(i + 3);
        if (len < 2)
            return std::nullopt;
        const bool frame = m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
        if (frame) {
            if (len < 7 || i + 9 > b.size())
                return std::nullopt;
            PictureSize s;
            s.height = static_cast<int>(at(i + 5)) << 8 | at(i + 6);
            s.width = static_cast<int>(at(i + 7)) << 8 | at(i + 8);
            return s;
        }
        i += 2 + len;
    }
    return std::nullopt;
}

std::string pictureSizeField(int value) { return rightAlign(std::to_string(value), 4); }

std::size_t replacePlaceholder(std::string& text, std::string_view placeholder, std::string_view value,
                               std::size_t from)
{
    const std::size_t p = text.find(placeholder, from);
    if (p == std::string::npos)
        return p;
    text.replace(p, placeholder.size(), value);
    return p;
}

std::optional<std::string> insertAfterPre(const std::string& text, const std::string& insert)
{
    const std::size_t p = text.find("<pre>");
    if (p == std::string::npos)
        return std::nullopt;
    return text.substr(0, p + 5) + insert + text.substr(p + 5);
}

std::string halfWidthText(std::string_view utf8)
{
    std::string out;
    std::size_t i = 0;
    char32_t c = 0;
    while (nextCodePoint(utf8, i, c)) {
        if (c >= 0xFF01 && c <= 0xFF5E) {
            appendUtf8(out, c - 0xFF01 + 0x21);
        } else if (c == 0x3000) {
            out += ' ';
        } else if (c >= 0x30A1 && c <= 0x30F6) {
            const Kana& k = kKana[c - 0x30A1];
            appendUtf8(out, k.base);
            if (k.mark)
                appendUtf8(out, k.mark);
        } else {
            switch (c) {
            case 0x3002: appendUtf8(out, 0xFF61); break;  // 。
            case 0x300C: appendUtf8(out, 0xFF62); break;  // 「
            case 0x300D: appendUtf8(out, 0xFF63); break;  // 」
            case 0x3001: appendUtf8(out, 0xFF64); break;  // 、
            case 0x30FB: appendUtf8(out, 0xFF65); break;  // ・
            case 0x30FC: appendUtf8(out, 0xFF70); break;  // ー
            case 0x309B: appendUtf8(out, 0xFF9E); break;  // ゛
            case 0x309C: appendUtf8(out, 0xFF9F); break;  // ゜
            default: appendUtf8(out, c);
            }
        }
    }
    return out;
}

std::string latestResultsLines(const LatestResultsInput& in)
{
    std::string out;
    for (int d = 1; d <= in.count; ++d) {
        const long long number = in.current - d + 1;
        if (number < 1)
            break;
        if (d > 1)
            out += std::string("<br>") + kCrLf;
        out += trimBlanks(recordField(in.results, number, fieldStart(2), 5)) + " " +
               trimBlanks(recordField(in.results, number, fieldStart(3), 5)) + "<br>" + kCrLf;
        for (int t : in.webItems) {
            if (t == kSpacerCode) {
                out += std::string("<br>") + kCrLf;
                continue;
            }
            const std::string caption = in.items ? halfWidthText(in.items->shortName(t)) : std::string();
            const int k = in.selection ? in.selection->positionOf(t) : -1;
            std::string value;
            if (k >= 0) {
                // A field that opens a group of eight after the first takes
                // the blank of the separator in front of it.
                if (k % 8 == 0 && k > 0)
                    value = recordField(in.results, number, fieldStart(k) - 1, 6);
                else
                    value = recordField(in.results, number, fieldStart(k), 5);
            }
            out += caption + "=" + trimBlanks(value) + "<br>" + kCrLf;
        }
    }
    return out;
}

std::string resultsTableExcerpt(std::string_view body, long long current, int tableLineBytes, int lines)
{
    const std::vector<std::string_view> all = splitLines(body);
    const auto full = [tableLineBytes](std::string_view l) {
        return tableLineBytes > 0 && codePageWidth(l) >= static_cast<std::size_t>(tableLineBytes);
    };
    // The current measurement's line is the current-th full table line.
    long long seen = 0;
    std::size_t last = all.size();
    for (std::size_t i = 0; i < all.size() && current > 0; ++i) {
        if (full(all[i]) && ++seen == current) {
            last = i;
            break;
        }
    }
    if (last == all.size())
        return {};
    std::size_t first = last;
    int counted = 1;
    while (first > 0 && counted < lines) {
        --first;
        if (full(all[first]))
            ++counted;
    }
    std::string out;
    for (std::size_t i = first; i <= last; ++i) {
        out += all[i];
        out += kCrLf;
    }
    return out;
}

std::vector<WebPagePlan> webPagePlan(const WebPagesInput& in)
{
    const int v = in.headerVersion;
    std::vector<WebPagePlan> p;
    p.push_back({(v == 24 || v == 25 || v == 31) ? "21hj.txt" : "21h.txt", "21h.htm"});
    if (in.rawData) {
        p.push_back({"22h.txt", "22h.htm"});
        p.push_back({in.directional ? "22ep.txt" : "22e.txt", "22e.htm"});
        p.push_back({"22d.txt", "22d.htm"});
        p.push_back({"22c.txt", "22c.htm"});
    }
    p.push_back({"23h.txt", "23h.htm"});
    p.push_back({!in.rawData ? "23er.txt" : (in.directional ? "23ep.txt" : "23e.txt"), "23e.htm"});
    p.push_back({"23d.txt", "23d.htm"});
    p.push_back({"23c.txt", "23c.htm"});
    if (in.rawData)
        p.push_back({in.directional ? "24hp.txt" : "24h.txt", "24h.htm"});
    // A results-only measurement has no directional spectrum to show.
    if (in.directional && in.rawData)
        p.push_back({"26h.txt", "26h.htm"});
    return p;
}

WebPagesOutcome makeWebPages(const WebPagesInput& in)
{
    WebPagesOutcome out;
    const fs::path folder(in.folder);
    const std::string machine = formatMask(in.machineNumber, "000");
    const auto fail = [&out](Status s, std::string what) {
        out.status = s;
        out.failure = std::move(what);
        return out;
    };

    for (const WebPagePlan& plan : webPagePlan(in)) {
        const std::string templateName = in.prefix + plan.templateName;
        std::vector<std::string> lines;
        if (Status s = readTextLines((folder / templateName).string(), lines); s != Status::Ok)
            return fail(s, templateName);
        std::string text;
        for (const std::string& l : lines)
            text += l + kCrLf;

        const auto need = [&](std::size_t pos, const char* ph) {
            if (pos == std::string::npos) {
                out.status = Status::DataFormat;
                out.failure = templateName + ": " + ph;
                return false;
            }
            return true;
        };
        // Pictures: the sizes of "2Ng.jpg" into one pair of placeholders.
        const auto picture = [&](int n, const char* w, const char* h) {
            PictureSize size;
            if (in.pictureOpen[static_cast<std::size_t>(n)]) {
                const std::string name = pictureName(in, n);
                std::string bytes;
                if (readFileBytes((folder / name).string(), bytes) != Status::Ok) {
                    out.status = Status::NotFound;
                    out.failure = name;
                    return false;
                }
                const auto s = jpegPictureSize(bytes);
                if (!s) {
                    out.status = Status::DataFormat;
                    out.failure = name;
                    return false;
                }
                size = *s;
            }
            const std::size_t pw = replacePlaceholder(text, w, pictureSizeField(size.width));
            if (!need(pw, w))
                return false;
            return need(replacePlaceholder(text, h, pictureSizeField(size.height), pw), h);
        };
        const auto insert = [&](const std::optional<std::string>& what) {
            if (!what)
                return true;
            auto t = insertAfterPre(text, *what);
            if (!need(t ? 0 : std::string::npos, "<pre>"))
                return false;
            text = std::move(*t);
            return true;
        };
        const auto mmm = [&] { return need(replacePlaceholder(text, "MMM", machine), "MMM"); };

        const std::string page = plan.pageName.substr(0, 3);
        bool ok = true;
        if (page == "21h") {
            const std::size_t pm = replacePlaceholder(text, "MMM", machine);
            ok = need(pm, "MMM");
            const std::size_t pn = ok ? replacePlaceholder(text, "NNN", machine, pm) : std::string::npos;
            ok = ok && need(pn, "NNN");
            const std::size_t pf = ok ? text.find("<font", pn) : std::string::npos;
            ok = ok && need(pf, "<font");
            if (ok)
                text = text.substr(0, pf) + latestResultsLines(in.latest) + text.substr(pf);
        } else if (page == "22h" || page == "23h") {
            ok = mmm();
        } else if (page == "22e") {
            ok = picture(2, "WWWW", "HHHH") && picture(5, "AAAA", "BBBB");
        } else if (page == "22d") {
            ok = insert(in.rawTableBody);
        } else if (page == "22c") {
            ok = insert(in.rawTableHeading);
        } else if (page == "23e") {
            ok = picture(3, "WWWW", "HHHH");
        } else if (page == "23d") {
            ok = insert(in.resultsTableBody);
        } else if (page == "23c") {
            if (in.resultsTableBody)
                ok = insert(resultsTableExcerpt(*in.resultsTableBody, in.latest.current, in.tableLineBytes,
                                                in.excerptLines));
        } else if (page == "24h") {
            ok = mmm() && picture(4, "WWWW", "HHHH");
        } else if (page == "26h") {
            ok = mmm() && picture(6, "WWWW", "HHHH") && picture(7, "AAAA", "BBBB");
        }
        if (!ok)
            return out;

        const std::string target = (folder / (in.prefix + plan.pageName)).string();
        if (Status s = writeFileBytesAtomic(target, toCodePage(text)); s != Status::Ok)
            return fail(s, in.prefix + plan.pageName);
        out.written.push_back(target);
    }
    return out;
}

}  // namespace varenta
