#include "common/format.h"

#include "common/textcodec.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

// Picture strings, as the program uses them:
//   '0'   a digit that is always written;
//   '#'   a digit written only when significant: leading zeros of the whole
//         part and trailing zeros of the fraction are left out, and a zero
//         whole part under '#' placeholders alone writes nothing ("##" of 0
//         is the empty text, "#.##" of 0.5 is ".5", "#0" of 0 is "0");
//   '.'   the decimal point (the first one; later ones are literal).  It is
//         dropped when the mask has fraction placeholders but none of them
//         writes a digit ("#0.#####" of 10 is "10");
//   "E+00", "E-00" (also 'e'): exponent; '+' writes the sign always, '-'
//         only when negative; the '0's give the least number of digits;
//   '\x'  x literally; "..." the quoted text literally;
//   ';'   separates sections for positive/zero, negative and zero values
//         (a negative section writes no sign of its own);
// any other character is copied as it stands, also '-', '/', ':', ' '.
// Whole-part digits beyond the placeholders go in front of the first one.
// A negative value gets "-" in front of the whole text unless every digit
// written is zero.  The value is first taken to 15 significant digits (what
// a double holds reliably) and the last digit written is then rounded half
// away from zero on that decimal form, so 0.145 with "0.00" gives "0.15"
// and 1/512 with "0.00000E+00" gives "1.95313E-03".  An empty mask gives
// the general number form (up to 15 significant digits, no trailing zeros,
// exponent form for very large and very small values).

namespace varenta {

namespace {

enum class Kind { Zero, Hash, Point, Literal, Exponent };

struct Token {
    Kind kind;
    std::string text;      // Literal: the text; Exponent: "E" or "e"
    bool plusSign = false;  // Exponent: '+' given
    int expZeros = 0;       // Exponent: '0' placeholders after the sign
};

struct Picture {
    std::vector<Token> tokens;
    int intPlaces = 0;   // digit placeholders of the whole part (mantissa)
    int fracPlaces = 0;  // digit placeholders after the point
    bool hasPoint = false;
    bool hasExponent = false;
    bool hasDigits = false;
};

std::size_t utf8Len(std::string_view s, std::size_t i)
{
    const auto b = static_cast<unsigned char>(s[i]);
    std::size_t n = b < 0xC0 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    return std::min(n, s.size() - i);
}

void addLiteral(Picture& p, std::string_view text)
{
    if (!p.tokens.empty() && p.tokens.back().kind == Kind::Literal)
        p.tokens.back().text += text;
    else
        p.tokens.push_back({Kind::Literal, std::string(text)});
}

Picture parsePicture(std::string_view mask)
{
    Picture p;
    bool inFraction = false;
    bool afterExponent = false;
    for (std::size_t i = 0; i < mask.size();) {
        const char c = mask[i];
        if (c == '\\' && i + 1 < mask.size()) {
            const std::size_t n = utf8Len(mask, i + 1);
            addLiteral(p, mask.substr(i + 1, n));
            i += 1 + n;
            continue;
        }
        if (c == '"') {
            const auto close = mask.find('"', i + 1);
            const std::size_t end = close == std::string_view::npos ? mask.size() : close;
            addLiteral(p, mask.substr(i + 1, end - i - 1));
            i = close == std::string_view::npos ? mask.size() : close + 1;
            continue;
        }
        if (!afterExponent && (c == '0' || c == '#')) {
            p.tokens.push_back({c == '0' ? Kind::Zero : Kind::Hash, {}});
            p.hasDigits = true;
            if (inFraction)
                ++p.fracPlaces;
            else
                ++p.intPlaces;
            ++i;
            continue;
        }
        if (!afterExponent && c == '.' && !inFraction) {
            p.tokens.push_back({Kind::Point, {}});
            p.hasPoint = true;
            inFraction = true;
            ++i;
            continue;
        }
        if (!afterExponent && (c == 'E' || c == 'e') && p.hasDigits && i + 2 < mask.size() &&
            (mask[i + 1] == '+' || mask[i + 1] == '-') && (mask[i + 2] == '0' || mask[i + 2] == '#')) {
            Token t{Kind::Exponent, std::string(1, c)};
            t.plusSign = mask[i + 1] == '+';
            i += 2;
            while (i < mask.size() && (mask[i] == '0' || mask[i] == '#')) {
                if (mask[i] == '0')
                    ++t.expZeros;
                ++i;
            }
            p.tokens.push_back(std::move(t));
            p.hasExponent = true;
            afterExponent = true;
            continue;
        }
        const std::size_t n = utf8Len(mask, i);
        addLiteral(p, mask.substr(i, n));
        i += n;
    }
    return p;
}

// A non-negative decimal number: digits[0] has the weight 10^exp.  Zero
// has no digits.
struct Decimal {
    std::string digits;
    int exp = 0;

    bool isZero() const { return digits.empty(); }
    char digitAt(int weight) const
    {
        const int idx = exp - weight;
        return (idx >= 0 && idx < static_cast<int>(digits.size())) ? digits[static_cast<std::size_t>(idx)] : '0';
    }
};

Decimal toDecimal(double magnitude)
{
    Decimal d;
    if (magnitude == 0)
        return d;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", magnitude);  // d.dddddddddddddde[+-]xx
    const char* e = buf;
    while (*e && *e != 'e')
        ++e;
    for (const char* q = buf; q < e; ++q) {
        if (*q >= '0' && *q <= '9')
            d.digits.push_back(*q);
    }
    d.exp = *e ? std::atoi(e + 1) : 0;
    while (!d.digits.empty() && d.digits.back() == '0')
        d.digits.pop_back();
    return d;
}

// Rounds half away from zero so that the last digit kept has the weight
// 10^lastWeight.
Decimal roundAt(Decimal d, int lastWeight)
{
    if (d.isZero())
        return d;
    const int keep = d.exp - lastWeight + 1;  // digits kept
    if (keep >= static_cast<int>(d.digits.size()))
        return d;
    if (keep < 0)
        return Decimal{};
    const bool up = d.digits[static_cast<std::size_t>(keep)] >= '5';
    d.digits.resize(static_cast<std::size_t>(keep));
    if (up) {
        int i = keep - 1;
        while (i >= 0 && d.digits[static_cast<std::size_t>(i)] == '9') {
            d.digits[static_cast<std::size_t>(i)] = '0';
            --i;
        }
        if (i >= 0) {
            ++d.digits[static_cast<std::size_t>(i)];
        } else {
            d.digits.insert(d.digits.begin(), '1');
            ++d.exp;
        }
    }
    while (!d.digits.empty() && d.digits.back() == '0')
        d.digits.pop_back();
    return d;
}

std::string generalFormat(double value)
{
    if (value == 0)
        return "0";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15G", value);
    return buf;
}

// Writes a magnitude by the picture; anyNonZero tells whether a digit
// written is not zero (a negative value then gets its sign).
std::string render(const Picture& p, double magnitude, bool& anyNonZero)
{
    Decimal d = toDecimal(magnitude);
    int exponent = 0;
    if (p.hasExponent) {
        const int places = p.intPlaces + p.fracPlaces;
        if (!d.isZero()) {
            d = roundAt(d, d.exp - places + 1);
            // Shift so that the whole part fills the whole-part places.
            exponent = d.exp - p.intPlaces + 1;
            d.exp -= exponent;
        }
    } else {
        d = roundAt(d, -p.fracPlaces);
    }
    anyNonZero = p.hasDigits && !d.isZero();

    // Whole part: the digits of weight >= 1, most significant first; empty
    // for a zero whole part.
    std::string whole;
    if (!d.isZero()) {
        for (int w = d.exp; w >= 0; --w)
            whole.push_back(d.digitAt(w));
    }
    // Fraction: count of digits written, trailing zeros under '#' dropped.
    std::string frac;
    for (int k = 1; k <= p.fracPlaces; ++k)
        frac.push_back(d.digitAt(-k));
    int fracShown = p.fracPlaces;
    {
        // Placeholder kinds of the fraction, in order.
        std::vector<Kind> kinds;
        bool inFrac = false;
        for (const Token& t : p.tokens) {
            if (t.kind == Kind::Point)
                inFrac = true;
            else if (t.kind == Kind::Exponent)
                break;
            else if (inFrac && (t.kind == Kind::Zero || t.kind == Kind::Hash))
                kinds.push_back(t.kind);
        }
        while (fracShown > 0 && kinds[static_cast<std::size_t>(fracShown - 1)] == Kind::Hash &&
               frac[static_cast<std::size_t>(fracShown - 1)] == '0')
            --fracShown;
    }

    std::string out;
    int intIndex = 0;   // whole-part placeholder being written
    int fracIndex = 0;  // fraction placeholder being written
    bool inFrac = false;
    const int wholeLen = static_cast<int>(whole.size());
    auto writeWholeDigits = [&](int place, Kind kind) {
        // Placeholder 'place' (0-based from the left) of intPlaces gets the
        // digit whose distance from the right matches; the first one also
        // takes every digit the mask has no room for.
        const int fromRight = p.intPlaces - 1 - place;
        if (place == 0 && wholeLen > p.intPlaces)
            out.append(whole, 0, static_cast<std::size_t>(wholeLen - p.intPlaces));
        if (fromRight < wholeLen)
            out.push_back(whole[static_cast<std::size_t>(wholeLen - 1 - fromRight)]);
        else if (kind == Kind::Zero)
            out.push_back('0');
    };
    for (const Token& t : p.tokens) {
        switch (t.kind) {
        case Kind::Zero:
        case Kind::Hash:
            if (!inFrac) {
                writeWholeDigits(intIndex++, t.kind);
            } else {
                if (fracIndex < fracShown)
                    out.push_back(frac[static_cast<std::size_t>(fracIndex)]);
                ++fracIndex;
            }
            break;
        case Kind::Point:
            if (p.intPlaces == 0)
                out += whole;  // no whole-part places: the digits go before the point
            inFrac = true;
            if (fracShown > 0 || p.fracPlaces == 0)
                out.push_back('.');
            break;
        case Kind::Literal:
            out += t.text;
            break;
        case Kind::Exponent: {
            out += t.text;
            if (exponent < 0)
                out.push_back('-');
            else if (t.plusSign)
                out.push_back('+');
            std::string digits = std::to_string(std::abs(exponent));
            const std::size_t minDigits = static_cast<std::size_t>(std::max(1, t.expZeros));
            if (digits.size() < minDigits)
                digits.insert(0, minDigits - digits.size(), '0');
            out += digits;
            inFrac = false;
            break;
        }
        }
    }
    return out;
}

std::vector<std::string_view> splitSections(std::string_view mask)
{
    std::vector<std::string_view> sections;
    std::size_t start = 0;
    bool quoted = false;
    for (std::size_t i = 0; i < mask.size(); ++i) {
        const char c = mask[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && c == '\\') {
            ++i;
        } else if (!quoted && c == ';') {
            sections.push_back(mask.substr(start, i - start));
            start = i + 1;
        }
    }
    sections.push_back(mask.substr(start));
    return sections;
}

}  // namespace

std::string formatMask(double value, std::string_view mask)
{
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value < 0 ? "-Inf" : "Inf";
    if (mask.empty())
        return generalFormat(value);

    const auto sections = splitSections(mask);
    std::string_view section = sections[0];
    bool signFromSection = false;  // the chosen section writes the sign itself
    if (value < 0 && sections.size() >= 2 && !sections[1].empty()) {
        section = sections[1];
        signFromSection = true;
    } else if (value == 0 && sections.size() >= 3 && !sections[2].empty()) {
        section = sections[2];
    }

    const Picture picture = parsePicture(section);
    bool anyNonZero = false;
    std::string text = render(picture, std::fabs(value), anyNonZero);
    if (value < 0 && !signFromSection && anyNonZero)
        text.insert(0, 1, '-');
    return text;
}

std::string rightAlign(std::string_view text, std::size_t width)
{
    // Widths count code-page bytes, as the fixed columns of the program's
    // files do: ASCII and half-width katakana one, other characters two.
    // A double-byte character that would straddle the left edge is left
    // out and a blank takes its place.
    bool ascii = true;
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii) {
        if (text.size() >= width)
            return std::string(text.substr(text.size() - width));
        std::string out(width - text.size(), ' ');
        out += text;
        return out;
    }
    std::string kept = keepRightCodePageWidth(text, width);
    const std::size_t w = codePageWidth(kept);
    if (w < width)
        kept.insert(0, width - w, ' ');
    return kept;
}

}  // namespace varenta
