#pragma once
// The drawing layer of every graph: a graph's user coordinate system (as a
// picture's scale: left, top, right, bottom) mapped onto an area of any
// paint device with a QTransform, and the picture primitives drawn through
// it: lines, polylines, boxes and filled boxes, circles and sectors,
// points, and text anchored at user coordinates (horizontal, vertical one
// character under the other, and the vertical font form).  Line widths are
// screen pixels; in print mode they are scaled to the device's resolution,
// so the same drawing routine serves the picture and the printer page.
//
// Screen drawing goes into a QImage of the picture's size, which the view
// shows and saves as "{pp}2Ng.bmp" and "{pp}2Ng.jpg" (saveGraphImages).
#include "common/settings.h"
#include "common/status.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QRectF>
#include <QString>
#include <QTransform>

#include <functional>
#include <span>
#include <string>

namespace varenta {

namespace draw {
enum class H { Left, Centre, Right };
enum class V { Top, Centre, Bottom };
}  // namespace draw

// Line style numbers of the settings: 0 solid, 1 dash, 2 dot, 3 dash-dot,
// 4 dash-dot-dot, 5 none, 6 solid drawn inside.  Others give solid.
Qt::PenStyle penStyleFromNumber(int style);

// Private-use characters of the original picture fonts have no glyph in the
// installed fonts: each gets a visible stand-in.  U+E003 and U+E004 (the
// brackets around a unit) become "（" and "）", U+E007 (the cursor mark) "▼",
// any other private-use character "□".
QString withGlyphStandIns(const QString& text);
QString withGlyphStandIns(const std::string& utf8);
// The stand-in of one character (the character itself when it is not a
// private-use one).
QString glyphStandIn(char32_t c);

// Characters written on their side in the vertical font form: the wide
// (full-width) ones.
bool isWideCharacter(char32_t c);

// The font of a view kind's picture from item 190 + kind (name, size, bold,
// italic), with the Japanese font names mapped to installed fonts.
QFont graphViewFont(const Settings& s, int kind);
// The text colour (value 4) and background (value 5) of the view kind.
QColor graphTextColour(const Settings& s, int kind);
QColor graphBackground(const Settings& s, int kind);

class Drawing {
public:
    // Draws within area (device coordinates of the painter, as it stands
    // when the Drawing is made).  printMode scales line widths by the
    // device's resolution over 96.
    Drawing(QPainter& painter, const QRectF& area, bool printMode = false);
    ~Drawing();
    Drawing(const Drawing&) = delete;
    Drawing& operator=(const Drawing&) = delete;

    // ---- the user coordinate system ----
    // (left, top) is the area's top-left corner, (right, bottom) its
    // bottom-right: y grows downwards when bottom > top.
    void setScale(double left, double top, double right, double bottom);
    const QTransform& transform() const { return transform_; }
    QPointF map(double x, double y) const { return transform_.map(QPointF(x, y)); }
    QPointF unmap(const QPointF& device) const;
    QRectF mapRect(double x1, double y1, double x2, double y2) const;
    double pixelsPerUnitX() const { return transform_.m11(); }
    double pixelsPerUnitY() const { return transform_.m22(); }
    const QRectF& area() const { return area_; }
    bool printMode() const { return printMode_; }
    // Device pixels per screen pixel of a line width.
    double lineScale() const { return lineScale_; }
    QPainter& painter() { return p_; }

    // ---- lines and shapes ----
    // The pen: colour, width in screen pixels (at least 1) and style number.
    void setPen(const QColor& colour, double width = 1, int style = 0);
    void setColour(const QColor& colour);
    const QPen& pen() const { return pen_; }

    void line(double x1, double y1, double x2, double y2);
    // Joined points.  With chunk > 0 the line is drawn in pieces of that
    // many segments and tick() is called after each piece (the drawing
    // routine serves the event loop there).
    void polyline(std::span<const float> xs, std::span<const float> ys, int chunk = 0,
                  const std::function<void()>& tick = {});
    void box(double x1, double y1, double x2, double y2);
    void fillBox(double x1, double y1, double x2, double y2, const QColor& fill);
    // A circle of radius r in horizontal units (round on the device).
    void circle(double x, double y, double r);
    // A sector from startAngle to endAngle (radians, counter-clockwise on
    // the device from the right): the arc and its two radii; filled with
    // the pen colour when filled.  A sector of a tiny angle draws a radius:
    // the arrow of a direction.
    void sector(double x, double y, double r, double startAngle, double endAngle, bool filled);
    // One point of the pen's width (in its colour).
    void point(double x, double y);
    void points(std::span<const float> xs, std::span<const float> ys);

    // Curves and shapes kept inside a rectangle (user coordinates) until
    // unclip().
    void clip(double x1, double y1, double x2, double y2);
    void unclip();

    // ---- text ----
    void setFont(const QFont& font);
    const QFont& font() const { return font_; }
    void setTextColour(const QColor& c) { textColour_ = c; }
    const QColor& textColour() const { return textColour_; }

    // Sizes in user units (horizontal ones in x units, heights in y units).
    double textWidth(const QString& text) const;
    double textHeight() const;
    double digitWidth() const;
    // Sizes in device pixels.
    double deviceTextWidth(const QString& text) const;
    double deviceTextHeight() const;
    double deviceDigitWidth() const;

    // Text anchored at (x, y), moved by dxDigits digit widths (to the right)
    // and dyLines text heights (downwards), then aligned there.  Private-use
    // characters get their stand-ins.  Returns the device rectangle used.
    QRectF text(double x, double y, const QString& text, draw::H h = draw::H::Left, draw::V v = draw::V::Top,
                double dxDigits = 0, double dyLines = 0);
    QRectF text(double x, double y, const std::string& utf8, draw::H h = draw::H::Left, draw::V v = draw::V::Top,
                double dxDigits = 0, double dyLines = 0);
    // Written vertically, one character under the other, each upright
    // (brackets and long dashes turned to run along the column).
    QRectF verticalText(double x, double y, const QString& text, draw::H h = draw::H::Centre,
                        draw::V v = draw::V::Centre);
    // The vertical font form: the characters listed top to bottom, wide ones
    // turned a quarter to the left (so that the column reads upwards when
    // listed last character first), narrow ones upright.
    QRectF verticalFormText(double x, double y, const QString& glyphsTopToBottom, draw::H h = draw::H::Centre,
                            draw::V v = draw::V::Centre);
    // Size of a vertical column in device pixels (width, height).
    QSizeF verticalTextSize(const QString& text, bool verticalForm) const;

private:
    QRectF place(double x, double y, QSizeF size, draw::H h, draw::V v, double dxDigits, double dyLines) const;
    void applyPen();
    // A column of characters; verticalForm as in verticalTextSize().
    QRectF columnText(double x, double y, const QString& text, bool verticalForm, draw::H h, draw::V v);

    QPainter& p_;
    QRectF area_;
    bool printMode_;
    double lineScale_ = 1;
    QTransform transform_;
    QTransform inverse_;
    QPen pen_;
    QFont font_;
    QColor textColour_ = Qt::black;
};

// A picture of the given size filled with the background, to draw into.
QImage makePicture(const QSize& size, const QColor& background);

// JPEG quality of the image exports: item 66 value 1 taken as a byte
// (0..255), then limited to Qt's 0..100.
int graphJpegQuality(const Settings& s);

// "{folder}/{prefix}{stem}.{ext}", e.g. folder/NR22g.bmp.
std::string graphImagePath(const std::string& folder, const std::string& prefix, const std::string& stem,
                           const std::string& extension);

// Saves the picture as "{prefix}{stem}.bmp", then as "{prefix}{stem}.jpg"
// at the quality, in folder.  Each file is written under a temporary name
// and renamed, so a reader never sees half a file.  Io when a file cannot
// be written (the other is still attempted).
Status saveGraphImages(const QImage& picture, const std::string& folder, const std::string& prefix,
                       const std::string& stem, int jpegQuality);

}  // namespace varenta
