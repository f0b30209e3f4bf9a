#include "common/ui/drawing.h"

#include "common/ui/qtutil.h"

#include <QFile>
#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <vector>

namespace varenta {

Qt::PenStyle penStyleFromNumber(int style)
{
    switch (style) {
    case 1: return Qt::DashLine;
    case 2: return Qt::DotLine;
    case 3: return Qt::DashDotLine;
    case 4: return Qt::DashDotDotLine;
    case 5: return Qt::NoPen;
    default: return Qt::SolidLine;
    }
}

QString glyphStandIn(char32_t c)
{
    if (c < 0xE000 || c > 0xF8FF) {
        const char32_t one[1] = {c};
        return QString::fromUcs4(one, 1);
    }
    switch (c) {
    case 0xE003: return QStringLiteral("（");
    case 0xE004: return QStringLiteral("）");
    case 0xE007: return QStringLiteral("▼");
    default: return QStringLiteral("□");
    }
}

QString withGlyphStandIns(const QString& text)
{
    bool any = false;
    for (QChar ch : text)
        if (ch.unicode() >= 0xE000 && ch.unicode() <= 0xF8FF)
            any = true;
    if (!any)
        return text;
    QString out;
    out.reserve(text.size());
    for (char32_t c : text.toUcs4())
        out += glyphStandIn(c);
    return out;
}

QString withGlyphStandIns(const std::string& utf8) { return withGlyphStandIns(qs(utf8)); }

bool isWideCharacter(char32_t c)
{
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) || (c >= 0x3041 && c <= 0x33FF) ||
           (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xE000 && c <= 0xF8FF) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) ||
           (c >= 0x20000 && c <= 0x3FFFD) || c == 0x25BC || c == 0x25A1 || c == 0x00B0 || c == 0x2103;
}

QFont graphViewFont(const Settings& s, int kind)
{
    installFontSubstitutions();
    QFont base(QStringLiteral("ＭＳ ゴシック"));
    base.setPointSizeF(9);
    const int item = 190 + kind;
    return fontFromSettings(base, s.value(item, 0), s.value(item, 1), s.value(item, 2), s.value(item, 3));
}

QColor graphTextColour(const Settings& s, int kind) { return colorFromText(s.value(190 + kind, 4), Qt::black); }

QColor graphBackground(const Settings& s, int kind) { return colorFromText(s.value(190 + kind, 5), Qt::white); }

// ---------------------------------------------------------------------------

Drawing::Drawing(QPainter& painter, const QRectF& area, bool printMode)
    : p_(painter), area_(area), printMode_(printMode)
{
    installFontSubstitutions();
    p_.save();
    if (printMode_ && p_.device()) {
        const int dpi = p_.device()->logicalDpiX();
        if (dpi > 0)
            lineScale_ = std::max(1.0, dpi / 96.0);
    }
    p_.setRenderHint(QPainter::Antialiasing, false);
    p_.setRenderHint(QPainter::TextAntialiasing, true);
    font_ = p_.font();
    pen_ = QPen(Qt::black);
    setScale(0, 0, area.width() > 0 ? area.width() : 1, area.height() > 0 ? area.height() : 1);
    applyPen();
}

Drawing::~Drawing() { p_.restore(); }

void Drawing::setScale(double left, double top, double right, double bottom)
{
    double w = right - left;
    double h = bottom - top;
    if (w == 0 || !std::isfinite(w))
        w = 1;
    if (h == 0 || !std::isfinite(h))
        h = 1;
    const double sx = area_.width() / w;
    const double sy = area_.height() / h;
    transform_ = QTransform(sx, 0, 0, sy, area_.left() - left * sx, area_.top() - top * sy);
    bool ok = false;
    inverse_ = transform_.inverted(&ok);
}

QPointF Drawing::unmap(const QPointF& device) const { return inverse_.map(device); }

QRectF Drawing::mapRect(double x1, double y1, double x2, double y2) const
{
    return QRectF(map(x1, y1), map(x2, y2)).normalized();
}

void Drawing::applyPen()
{
    p_.setPen(pen_);
    p_.setBrush(Qt::NoBrush);
}

void Drawing::setPen(const QColor& colour, double width, int style)
{
    pen_ = QPen(colour);
    pen_.setWidthF(std::max(1.0, width) * lineScale_);
    pen_.setStyle(penStyleFromNumber(style));
    pen_.setCapStyle(Qt::FlatCap);
    pen_.setJoinStyle(Qt::MiterJoin);
    applyPen();
}

void Drawing::setColour(const QColor& colour)
{
    pen_.setColor(colour);
    applyPen();
}

void Drawing::line(double x1, double y1, double x2, double y2) { p_.drawLine(map(x1, y1), map(x2, y2)); }

void Drawing::polyline(std::span<const float> xs, std::span<const float> ys, int chunk,
                       const std::function<void()>& tick)
{
    const std::size_t n = std::min(xs.size(), ys.size());
    if (n == 0)
        return;
    const double m11 = transform_.m11(), m22 = transform_.m22(), dx = transform_.dx(), dy = transform_.dy();
    std::vector<QPointF> pts(n);
    for (std::size_t i = 0; i < n; ++i)
        pts[i] = QPointF(m11 * xs[i] + dx, m22 * ys[i] + dy);
    if (n == 1) {
        p_.drawPoint(pts[0]);
        return;
    }
    if (chunk <= 0 || n <= static_cast<std::size_t>(chunk) + 1) {
        p_.drawPolyline(pts.data(), static_cast<int>(n));
        if (tick && chunk > 0)
            tick();
        return;
    }
    for (std::size_t a = 0; a + 1 < n; a += static_cast<std::size_t>(chunk)) {
        const std::size_t b = std::min(n - 1, a + static_cast<std::size_t>(chunk));
        p_.drawPolyline(pts.data() + a, static_cast<int>(b - a + 1));
        if (tick)
            tick();
    }
}

void Drawing::box(double x1, double y1, double x2, double y2)
{
    p_.setBrush(Qt::NoBrush);
    p_.drawRect(mapRect(x1, y1, x2, y2));
}

void Drawing::fillBox(double x1, double y1, double x2, double y2, const QColor& fill)
{
    p_.fillRect(mapRect(x1, y1, x2, y2), fill);
}

void Drawing::circle(double x, double y, double r)
{
    const double rd = std::fabs(r * transform_.m11());
    p_.setBrush(Qt::NoBrush);
    p_.drawEllipse(map(x, y), rd, rd);
}

void Drawing::sector(double x, double y, double r, double startAngle, double endAngle, bool filled)
{
    const double rd = std::fabs(r * transform_.m11());
    const QPointF c = map(x, y);
    const QRectF rect(c.x() - rd, c.y() - rd, 2 * rd, 2 * rd);
    constexpr double k = 180.0 / 3.14159265358979323846 * 16.0;
    const int a0 = static_cast<int>(std::lround(startAngle * k));
    int span = static_cast<int>(std::lround((endAngle - startAngle) * k));
    if (span == 0)
        span = endAngle >= startAngle ? 1 : -1;
    p_.setBrush(filled ? QBrush(pen_.color()) : QBrush(Qt::NoBrush));
    p_.drawPie(rect, a0, span);
    p_.setBrush(Qt::NoBrush);
    if (std::fabs(endAngle - startAngle) < 0.01) {
        // A sector this thin is a radius: draw it as one, so that it shows
        // whatever the pie rasterisation makes of it.
        const double a = endAngle;
        p_.drawLine(c, QPointF(c.x() + rd * std::cos(a), c.y() - rd * std::sin(a)));
    }
}

void Drawing::point(double x, double y) { p_.drawPoint(map(x, y)); }

void Drawing::points(std::span<const float> xs, std::span<const float> ys)
{
    const std::size_t n = std::min(xs.size(), ys.size());
    if (n == 0)
        return;
    const double m11 = transform_.m11(), m22 = transform_.m22(), dx = transform_.dx(), dy = transform_.dy();
    QPolygonF pts(static_cast<qsizetype>(n));
    for (std::size_t i = 0; i < n; ++i)
        pts[static_cast<qsizetype>(i)] = QPointF(m11 * xs[i] + dx, m22 * ys[i] + dy);
    p_.drawPoints(pts);
}

void Drawing::clip(double x1, double y1, double x2, double y2)
{
    p_.setClipRect(mapRect(x1, y1, x2, y2), Qt::ReplaceClip);
}

void Drawing::unclip() { p_.setClipping(false); }

// ---- text ----

void Drawing::setFont(const QFont& font)
{
    font_ = font;
    p_.setFont(font_);
}

double Drawing::deviceTextWidth(const QString& text) const
{
    return QFontMetricsF(font_, p_.device()).horizontalAdvance(withGlyphStandIns(text));
}

double Drawing::deviceTextHeight() const { return QFontMetricsF(font_, p_.device()).height(); }

double Drawing::deviceDigitWidth() const
{
    return QFontMetricsF(font_, p_.device()).horizontalAdvance(QLatin1Char('0'));
}

double Drawing::textWidth(const QString& text) const
{
    const double s = std::fabs(transform_.m11());
    return s > 0 ? deviceTextWidth(text) / s : 0;
}

double Drawing::textHeight() const
{
    const double s = std::fabs(transform_.m22());
    return s > 0 ? deviceTextHeight() / s : 0;
}

double Drawing::digitWidth() const
{
    const double s = std::fabs(transform_.m11());
    return s > 0 ? deviceDigitWidth() / s : 0;
}

QRectF Drawing::place(double x, double y, QSizeF size, draw::H h, draw::V v, double dxDigits, double dyLines) const
{
    QPointF a = map(x, y);
    a.rx() += dxDigits * deviceDigitWidth();
    a.ry() += dyLines * deviceTextHeight();
    double left = a.x(), top = a.y();
    if (h == draw::H::Centre)
        left -= size.width() / 2;
    else if (h == draw::H::Right)
        left -= size.width();
    if (v == draw::V::Centre)
        top -= size.height() / 2;
    else if (v == draw::V::Bottom)
        top -= size.height();
    return QRectF(QPointF(left, top), size);
}

QRectF Drawing::text(double x, double y, const QString& text, draw::H h, draw::V v, double dxDigits, double dyLines)
{
    const QString t = withGlyphStandIns(text);
    const QFontMetricsF fm(font_, p_.device());
    const QRectF r = place(x, y, QSizeF(fm.horizontalAdvance(t), fm.height()), h, v, dxDigits, dyLines);
    p_.setFont(font_);
    p_.setPen(textColour_);
    p_.drawText(r, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip | Qt::TextSingleLine, t);
    applyPen();
    return r;
}

QRectF Drawing::text(double x, double y, const std::string& utf8, draw::H h, draw::V v, double dxDigits,
                     double dyLines)
{
    return text(x, y, qs(utf8), h, v, dxDigits, dyLines);
}

namespace {

// A character of a vertical column: drawn upright or turned a quarter.
struct Cell {
    QString glyph;
    int turn = 0;  // 0 upright, 1 a quarter to the right, -1 a quarter to the left
    double advance = 0;
    double width() const { return turn == 0 ? advance : 0; }
};

bool turnsInColumn(char32_t c)
{
    switch (c) {
    case '(': case ')': case '[': case ']': case '{': case '}': case '<': case '>': case '-': case '~':
    case 0x2015: case 0x2212: case 0x30FC: case 0x301C: case 0xFF5E: case 0xFF08: case 0xFF09:
    case 0x300C: case 0x300D: case 0x3010: case 0x3011: case 0xFF3B: case 0xFF3D: case 0xFF5B: case 0xFF5D:
        return true;
    default: return false;
    }
}

std::vector<Cell> columnCells(const QString& text, bool verticalForm, const QFontMetricsF& fm)
{
    std::vector<Cell> cells;
    for (char32_t c : text.toUcs4()) {
        Cell cell;
        cell.glyph = glyphStandIn(c);
        if (verticalForm)
            cell.turn = isWideCharacter(c) ? -1 : 0;
        else
            cell.turn = turnsInColumn(c) ? 1 : 0;
        cell.advance = fm.horizontalAdvance(cell.glyph);
        cells.push_back(cell);
    }
    return cells;
}

QSizeF columnSize(const std::vector<Cell>& cells, const QFontMetricsF& fm)
{
    double w = 0, h = 0;
    for (const Cell& c : cells) {
        if (c.turn == 0) {
            w = std::max(w, c.advance);
            h += fm.height();
        } else {
            w = std::max(w, fm.height());
            h += c.advance;
        }
    }
    return QSizeF(w, h);
}

}  // namespace

QSizeF Drawing::verticalTextSize(const QString& text, bool verticalForm) const
{
    const QFontMetricsF fm(font_, p_.device());
    return columnSize(columnCells(text, verticalForm, fm), fm);
}

QRectF Drawing::verticalFormText(double x, double y, const QString& glyphsTopToBottom, draw::H h, draw::V v)
{
    return columnText(x, y, glyphsTopToBottom, true, h, v);
}

QRectF Drawing::verticalText(double x, double y, const QString& text, draw::H h, draw::V v)
{
    return columnText(x, y, text, false, h, v);
}

QRectF Drawing::columnText(double x, double y, const QString& text, bool verticalForm, draw::H h, draw::V v)
{
    const QFontMetricsF fm(font_, p_.device());
    const std::vector<Cell> cells = columnCells(text, verticalForm, fm);
    const QRectF r = place(x, y, columnSize(cells, fm), h, v, 0, 0);
    p_.setFont(font_);
    p_.setPen(textColour_);
    double top = r.top();
    const double cx = r.center().x();
    for (const Cell& c : cells) {
        const double ch = c.turn == 0 ? fm.height() : c.advance;
        const QRectF glyph(-c.advance / 2, -fm.height() / 2, c.advance, fm.height());
        p_.save();
        p_.translate(cx, top + ch / 2);
        if (c.turn != 0)
            p_.rotate(c.turn > 0 ? 90 : -90);
        p_.drawText(glyph, Qt::AlignCenter | Qt::TextDontClip, c.glyph);
        p_.restore();
        top += ch;
    }
    applyPen();
    return r;
}

// ---------------------------------------------------------------------------

QImage makePicture(const QSize& size, const QColor& background)
{
    QImage img(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    img.fill(background);
    return img;
}

int graphJpegQuality(const Settings& s)
{
    if (s.isBlank(66, 1))
        return 75;
    const long long q = std::clamp<long long>(s.integer(66, 1), 0, 255);
    return static_cast<int>(std::min<long long>(q, 100));
}

std::string graphImagePath(const std::string& folder, const std::string& prefix, const std::string& stem,
                           const std::string& extension)
{
    std::string p = folder;
    if (!p.empty() && p.back() != '/' && p.back() != '\\')
        p += '/';
    return p + prefix + stem + "." + extension;
}

namespace {

Status saveOne(const QImage& picture, const std::string& path, const char* format, int quality)
{
    const std::string tmp = path + ".part";
    const QString qtmp = QString::fromStdString(tmp);
    if (!picture.save(qtmp, format, quality)) {
        QFile::remove(qtmp);
        return Status::Io;
    }
    std::error_code ec;
    std::filesystem::rename(tmp, path, ec);
    if (ec) {
        std::filesystem::remove(tmp, ec);
        return Status::Io;
    }
    return Status::Ok;
}

}  // namespace

Status saveGraphImages(const QImage& picture, const std::string& folder, const std::string& prefix,
                       const std::string& stem, int jpegQuality)
{
    if (picture.isNull())
        return Status::DataFormat;
    const Status bmp = saveOne(picture, graphImagePath(folder, prefix, stem, "bmp"), "BMP", -1);
    const Status jpg =
        saveOne(picture, graphImagePath(folder, prefix, stem, "jpg"), "JPG", std::clamp(jpegQuality, 0, 100));
    return bmp != Status::Ok ? bmp : jpg;
}

}  // namespace varenta
