#include "common/textcodec.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>
#include <vector>

namespace varenta {

namespace {

// One conversion descriptor per direction and thread, opened on first use.
// glibc's CP932 module is the Windows-31J table: 0x8160 decodes to U+FF5E,
// 0x815C to U+2015, 0x817C to U+FF0D, and the JIS-style code points
// (U+301C, U+2014, U+2212, U+2016, U+00A2, U+00A3, U+00AC) encode to the
// same bytes, so texts typed either way reach the file.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter()
    {
        if (ok())
            iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t handle() const { return cd_; }
    void reset() { iconv(cd_, nullptr, nullptr, nullptr, nullptr); }

private:
    iconv_t cd_;
};

Converter& encoder()
{
    thread_local Converter c("CP932", "UTF-8");
    return c;
}

Converter& decoder()
{
    thread_local Converter c("UTF-8", "CP932");
    return c;
}

constexpr char kReplacementUtf8[] = "\xEF\xBF\xBD";  // U+FFFD

// Length of the UTF-8 sequence at s[i], or 0 when the bytes there do not
// start a well-formed sequence.
std::size_t utf8SequenceLength(std::string_view s, std::size_t i)
{
    const auto b0 = static_cast<unsigned char>(s[i]);
    std::size_t n;
    if (b0 < 0x80)
        return 1;
    if (b0 >= 0xC2 && b0 <= 0xDF)
        n = 2;
    else if (b0 >= 0xE0 && b0 <= 0xEF)
        n = 3;
    else if (b0 >= 0xF0 && b0 <= 0xF4)
        n = 4;
    else
        return 0;
    if (i + n > s.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k) {
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
            return 0;
    }
    const auto b1 = static_cast<unsigned char>(s[i + 1]);
    if ((b0 == 0xE0 && b1 < 0xA0) || (b0 == 0xED && b1 >= 0xA0) || (b0 == 0xF0 && b1 < 0x90) ||
        (b0 == 0xF4 && b1 >= 0x90))
        return 0;  // overlong, surrogate or beyond U+10FFFF
    return n;
}

// Bytes taken by a broken sequence at the start of s (one '?' in the code
// page): its lead byte and the continuation bytes that follow it.
std::size_t brokenSequenceLength(std::string_view s)
{
    std::size_t skip = 1;
    if (static_cast<unsigned char>(s[0]) >= 0xC0) {
        while (skip < 4 && skip < s.size() && (static_cast<unsigned char>(s[skip]) & 0xC0) == 0x80)
            ++skip;
    }
    return skip;
}

// Code point of a well-formed sequence of length n.
char32_t utf8CodePoint(std::string_view s, std::size_t i, std::size_t n)
{
    const auto b0 = static_cast<unsigned char>(s[i]);
    char32_t cp = n == 1 ? b0 : n == 2 ? (b0 & 0x1Fu) : n == 3 ? (b0 & 0x0Fu) : (b0 & 0x07u);
    for (std::size_t k = 1; k < n; ++k)
        cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3Fu);
    return cp;
}

bool isLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool isTrailByte(unsigned char b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

// Runs iconv over the whole input.  onBad(in, left, out) is called at an
// input position the converter refuses; it appends the substitute to out
// and returns how many input bytes to skip.
template <typename OnBad>
std::string convert(Converter& conv, std::string_view input, OnBad onBad)
{
    std::string out;
    out.reserve(input.size() * 3 / 2 + 8);
    conv.reset();
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    std::vector<char> buf(std::max<std::size_t>(64, input.size() * 2 + 8));
    while (inLeft > 0) {
        char* o = buf.data();
        std::size_t oLeft = buf.size();
        const std::size_t r = iconv(conv.handle(), &in, &inLeft, &o, &oLeft);
        out.append(buf.data(), buf.size() - oLeft);
        if (r != static_cast<std::size_t>(-1))
            continue;
        if (errno == E2BIG)
            continue;
        // EILSEQ (not convertible) or EINVAL (cut short at the end).
        const std::size_t skip = onBad(std::string_view(in, inLeft), out);
        in += skip;
        inLeft -= skip;
        conv.reset();
    }
    return out;
}

std::size_t charWidthAt(std::string_view utf8, std::size_t i, std::size_t& len)
{
    const auto b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x80) {
        len = 1;
        return 1;
    }
    len = utf8SequenceLength(utf8, i);
    if (len == 0) {
        len = brokenSequenceLength(utf8.substr(i));
        return 1;  // written as '?'
    }
    const char32_t cp = utf8CodePoint(utf8, i, len);
    if (cp >= 0xFF61 && cp <= 0xFF9F)
        return 1;  // half-width katakana
    return toCodePage(utf8.substr(i, len)).size();
}

}  // namespace

std::string toCodePage(std::string_view utf8)
{
    bool ascii = true;
    for (char c : utf8) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii)
        return std::string(utf8);

    Converter& conv = encoder();
    auto substitute = [](std::string_view rest, std::string& out) -> std::size_t {
        out.push_back('?');
        const std::size_t n = utf8SequenceLength(rest, 0);
        return n != 0 ? n : brokenSequenceLength(rest);
    };
    if (!conv.ok()) {
        // No converter on this system: keep ASCII, mark everything else.
        std::string out;
        for (std::size_t i = 0; i < utf8.size();) {
            if (static_cast<unsigned char>(utf8[i]) < 0x80)
                out.push_back(utf8[i++]);
            else
                i += substitute(utf8.substr(i), out);
        }
        return out;
    }
    return convert(conv, utf8, substitute);
}

std::string fromCodePage(std::string_view cp932)
{
    bool ascii = true;
    for (char c : cp932) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii)
        return std::string(cp932);

    // A lead byte with a trail byte in range stands for one (unmapped)
    // character and is replaced as a pair; any other refused byte alone.
    auto substitute = [](std::string_view rest, std::string& out) -> std::size_t {
        out += kReplacementUtf8;
        if (rest.size() >= 2 && isLeadByte(static_cast<unsigned char>(rest[0])) &&
            isTrailByte(static_cast<unsigned char>(rest[1])))
            return 2;
        return 1;
    };
    Converter& conv = decoder();
    if (!conv.ok()) {
        std::string out;
        for (std::size_t i = 0; i < cp932.size();) {
            if (static_cast<unsigned char>(cp932[i]) < 0x80)
                out.push_back(cp932[i++]);
            else
                i += substitute(cp932.substr(i), out);
        }
        return out;
    }
    return convert(conv, cp932, substitute);
}

std::size_t codePageWidth(std::string_view utf8)
{
    std::size_t width = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        std::size_t len = 1;
        width += charWidthAt(utf8, i, len);
        i += len;
    }
    return width;
}

std::string cutToCodePageWidth(std::string_view utf8, std::size_t maxBytes)
{
    std::size_t width = 0;
    std::size_t i = 0;
    while (i < utf8.size()) {
        std::size_t len = 1;
        const std::size_t w = charWidthAt(utf8, i, len);
        if (width + w > maxBytes)
            break;
        width += w;
        i += len;
    }
    return std::string(utf8.substr(0, i));
}

std::string keepRightCodePageWidth(std::string_view utf8, std::size_t maxBytes)
{
    std::vector<std::size_t> starts;
    std::vector<std::size_t> widths;
    std::size_t total = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        std::size_t len = 1;
        const std::size_t w = charWidthAt(utf8, i, len);
        starts.push_back(i);
        widths.push_back(w);
        total += w;
        i += len;
    }
    std::size_t first = 0;
    while (total > maxBytes && first < starts.size())
        total -= widths[first++];
    return first < starts.size() ? std::string(utf8.substr(starts[first])) : std::string();
}

}  // namespace varenta
