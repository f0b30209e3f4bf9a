#pragma once
// Small Qt helpers shared by both programs: UTF-8 <-> QString, the decimal
// colour numbers of the settings, font substitution for the Japanese font
// names the settings use, and the drawn program icon.
#include <QColor>
#include <QFont>
#include <QIcon>
#include <QString>

#include <string>

namespace varenta {

inline QString qs(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
inline std::string ss(const QString& s) { return s.toStdString(); }

// Two-line texts are stored joined by CR LF; widgets want "\n".
QString displayText(const std::string& s);

// Colour numbers of the settings: red in the low byte, then green, then
// blue (decimal text).  Invalid text gives the fallback.
QColor colorFromNumber(long long number);
QColor colorFromText(const std::string& text, const QColor& fallback);
long long colorNumber(const QColor& c);

// Maps the font family names the settings use ("ＭＳ ゴシック", "ＭＳ 明朝",
// "ＭＳ Ｐゴシック" ...) to installed fonts.  Safe to call more than once.
void installFontSubstitutions();

// A font from the settings' texts: name, size (points, decimal), bold and
// italic as "True"/"False".  Blank or bad values keep the base font's.
QFont fontFromSettings(const QFont& base, const std::string& name, const std::string& size,
                       const std::string& bold, const std::string& italic);

// The program icon, drawn (a wave over a bar); letter distinguishes the programs.
QIcon drawnProgramIcon(QChar letter, const QColor& colour);

}  // namespace varenta
