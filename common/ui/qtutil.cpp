#include "common/ui/qtutil.h"

#include <QFontDatabase>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cstdlib>

namespace varenta {

QString displayText(const std::string& s)
{
    QString t = qs(s);
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t;
}

QColor colorFromNumber(long long number)
{
    if (number < 0)
        number = 0;
    const int r = static_cast<int>(number & 0xFF);
    const int g = static_cast<int>((number >> 8) & 0xFF);
    const int b = static_cast<int>((number >> 16) & 0xFF);
    return QColor(r, g, b);
}

QColor colorFromText(const std::string& text, const QColor& fallback)
{
    const QString t = qs(text).trimmed();
    bool ok = false;
    const long long n = t.toLongLong(&ok);
    if (!ok || n < 0 || n > 0xFFFFFF)
        return fallback;
    return colorFromNumber(n);
}

long long colorNumber(const QColor& c)
{
    return static_cast<long long>(c.red()) | (static_cast<long long>(c.green()) << 8) |
           (static_cast<long long>(c.blue()) << 16);
}

void installFontSubstitutions()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    const QStringList families = QFontDatabase::families();
    auto pick = [&](std::initializer_list<const char*> names) -> QString {
        for (const char* n : names)
            if (families.contains(QString::fromUtf8(n)))
                return QString::fromUtf8(n);
        return {};
    };
    const QString gothic = pick({"IPAGothic", "IPAゴシック", "Noto Sans CJK JP", "Noto Sans JP"});
    const QString pgothic = pick({"IPAPGothic", "IPA Pゴシック", "IPAGothic", "Noto Sans CJK JP"});
    const QString mincho = pick({"IPAMincho", "IPA明朝", "Noto Serif CJK JP", "IPAGothic"});
    const QString pmincho = pick({"IPAPMincho", "IPA P明朝", "IPAMincho", "IPAGothic"});
    struct Sub {
        const char* from;
        const QString* to;
    };
    const Sub subs[] = {
        {"ＭＳ ゴシック", &gothic},   {"ＭＳ Ｐゴシック", &pgothic}, {"ＭＳ 明朝", &mincho},
        {"ＭＳ Ｐ明朝", &pmincho},     {"MS Gothic", &gothic},        {"MS PGothic", &pgothic},
        {"MS Mincho", &mincho},        {"MS PMincho", &pmincho},      {"ＭＳ ＵＩ Ｇｏｔｈｉｃ", &pgothic},
        {"MS UI Gothic", &pgothic},    {"Terminal", &gothic},          {"FixedSys", &gothic},
        {"Courier New", &gothic},      {"Courier", &gothic},
    };
    for (const Sub& s : subs)
        if (!s.to->isEmpty())
            QFont::insertSubstitution(QString::fromUtf8(s.from), *s.to);
}

QFont fontFromSettings(const QFont& base, const std::string& name, const std::string& size,
                       const std::string& bold, const std::string& italic)
{
    QFont f = base;
    const QString n = qs(name).trimmed();
    if (!n.isEmpty())
        f.setFamily(n);
    bool ok = false;
    const double pt = qs(size).trimmed().toDouble(&ok);
    if (ok && pt >= 1.0 && pt <= 400.0)
        f.setPointSizeF(pt);
    const QString b = qs(bold).trimmed();
    if (b.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        f.setBold(true);
    else if (b.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        f.setBold(false);
    const QString i = qs(italic).trimmed();
    if (i.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        f.setItalic(true);
    else if (i.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        f.setItalic(false);
    return f;
}

QIcon drawnProgramIcon(QChar letter, const QColor& colour)
{
    QIcon icon;
    for (int size : {16, 32, 48, 64}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        const double s = size / 32.0;
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawRoundedRect(QRectF(1 * s, 1 * s, 30 * s, 30 * s), 5 * s, 5 * s);
        QPainterPath wave;
        wave.moveTo(3 * s, 21 * s);
        wave.cubicTo(9 * s, 13 * s, 12 * s, 13 * s, 16 * s, 21 * s);
        wave.cubicTo(20 * s, 29 * s, 23 * s, 29 * s, 29 * s, 21 * s);
        p.setPen(QPen(Qt::white, 2.4 * s, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawPath(wave);
        QFont f;
        f.setBold(true);
        f.setPixelSize(static_cast<int>(13 * s));
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(QRectF(0, 1 * s, 32 * s, 15 * s), Qt::AlignCenter, QString(letter));
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

}  // namespace varenta
