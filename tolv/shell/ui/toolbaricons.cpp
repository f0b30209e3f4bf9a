#include "tolv/shell/ui/toolbaricons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

#include <cmath>
#include <functional>
#include <map>

namespace varenta {

namespace {

// Every picture is drawn on a 24 x 24 grid and scaled.
using Draw = std::function<void(QPainter&)>;

const QColor kInk(40, 40, 40);
const QColor kBlue(30, 90, 180);
const QColor kGreen(30, 140, 60);
const QColor kRed(200, 40, 40);
const QColor kOrange(230, 140, 20);
const QColor kPaper(252, 252, 246);
const QColor kFolder(236, 190, 70);

QPen pen(const QColor& c, double w = 1.6) { return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin); }

void table(QPainter& p, const QColor& head)
{
    p.setPen(pen(kInk, 1.2));
    p.setBrush(kPaper);
    p.drawRect(QRectF(3, 4, 18, 16));
    p.fillRect(QRectF(3.6, 4.6, 16.8, 3.6), head);
    for (double y : {8.5, 12.5, 16.5})
        p.drawLine(QPointF(3, y), QPointF(21, y));
    for (double x : {9.0, 15.0})
        p.drawLine(QPointF(x, 4), QPointF(x, 20));
}

void frame(QPainter& p)
{
    p.setPen(pen(kInk, 1.2));
    p.setBrush(kPaper);
    p.drawRect(QRectF(3, 3, 18, 18));
}

void wave(QPainter& p, const QColor& c, double y0, double amp, double x0 = 4, double x1 = 20)
{
    QPainterPath path;
    path.moveTo(x0, y0);
    for (double x = x0; x <= x1; x += 0.5)
        path.lineTo(x, y0 - amp * std::sin((x - x0) * 0.9));
    p.setPen(pen(c, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
}

void triangle(QPainter& p, const QColor& c, QPointF a, QPointF b, QPointF d)
{
    p.setPen(pen(c.darker(130), 1.0));
    p.setBrush(c);
    p.drawPolygon(QPolygonF({a, b, d}));
}

void arrow(QPainter& p, const QColor& c, QPointF from, QPointF to)
{
    p.setPen(pen(c, 2.0));
    p.drawLine(from, to);
    const double ang = std::atan2(to.y() - from.y(), to.x() - from.x());
    const QPointF l = to - QPointF(std::cos(ang - 0.5) * 5, std::sin(ang - 0.5) * 5);
    const QPointF r = to - QPointF(std::cos(ang + 0.5) * 5, std::sin(ang + 0.5) * 5);
    triangle(p, c, to, l, r);
}

void windowBox(QPainter& p, QRectF r)
{
    p.setPen(pen(kInk, 1.1));
    p.setBrush(kPaper);
    p.drawRect(r);
    p.fillRect(QRectF(r.left() + 0.6, r.top() + 0.6, r.width() - 1.2, 2.6), kBlue);
}

void label(QPainter& p, const QString& t, QRectF r, const QColor& c, int px = 8)
{
    QFont f;
    f.setPixelSize(px);
    f.setBold(true);
    p.setFont(f);
    p.setPen(c);
    p.drawText(r, Qt::AlignCenter, t);
}

const std::map<QString, Draw>& drawings()
{
    static const std::map<QString, Draw> d = {
        {"Bopen",
         [](QPainter& p) {
             p.setPen(pen(kInk, 1.1));
             p.setBrush(kFolder.darker(110));
             p.drawRect(QRectF(2, 7, 18, 13));
             p.drawRect(QRectF(2, 5, 7, 3));
             p.setBrush(kFolder);
             p.drawPolygon(QPolygonF({QPointF(5, 10), QPointF(22, 10), QPointF(19, 20), QPointF(2, 20)}));
         }},
        {"Bmodifi",
         [](QPainter& p) {
             p.setPen(pen(kInk, 1.1));
             p.setBrush(kBlue);
             p.drawRect(QRectF(3, 3, 18, 18));
             p.setBrush(kPaper);
             p.drawRect(QRectF(6, 3, 12, 7));
             p.setBrush(QColor(200, 200, 200));
             p.drawRect(QRectF(7, 14, 10, 7));
         }},
        {"Bnew",
         [](QPainter& p) {
             frame(p);
             QPainterPath a;
             a.arcMoveTo(QRectF(6, 6, 12, 12), 60);
             a.arcTo(QRectF(6, 6, 12, 12), 60, 270);
             p.setPen(pen(kGreen, 2.0));
             p.setBrush(Qt::NoBrush);
             p.drawPath(a);
             triangle(p, kGreen, QPointF(14, 4), QPointF(18.5, 8.5), QPointF(13, 10));
         }},
        {"BnumD", [](QPainter& p) { table(p, kBlue); }},
        {"BgraphD",
         [](QPainter& p) {
             frame(p);
             wave(p, kBlue, 9, 3);
             wave(p, kRed, 16, 2.5);
         }},
        {"Bplot",
         [](QPainter& p) {
             frame(p);
             p.setPen(pen(kInk, 1.0));
             p.drawLine(QPointF(12, 5), QPointF(12, 19));
             p.drawLine(QPointF(5, 12), QPointF(19, 12));
             p.setPen(Qt::NoPen);
             p.setBrush(kBlue);
             const double pts[][2] = {{9, 9}, {14, 8}, {15, 14}, {10, 15}, {13, 11}, {16, 10}, {8, 12}, {11, 17}};
             for (const auto& q : pts)
                 p.drawEllipse(QPointF(q[0], q[1]), 1.2, 1.2);
         }},
        {"BpowerD",
         [](QPainter& p) {
             frame(p);
             QPainterPath path;
             path.moveTo(5, 19);
             path.cubicTo(9, 19, 9, 5, 11, 5);
             path.cubicTo(13, 5, 13, 17, 19, 18);
             p.setPen(pen(kRed, 1.6));
             p.setBrush(Qt::NoBrush);
             p.drawPath(path);
         }},
        {"B3dgraph",
         [](QPainter& p) {
             p.setPen(pen(kBlue, 1.0));
             for (int i = 0; i < 4; ++i) {
                 p.drawLine(QPointF(3 + i * 2, 18 - i * 3), QPointF(15 + i * 2, 18 - i * 3));
                 p.drawLine(QPointF(3 + i * 4, 18), QPointF(9 + i * 4, 9));
             }
             QPainterPath peak;
             peak.moveTo(6, 15);
             peak.cubicTo(10, 15, 11, 3, 13, 3);
             peak.cubicTo(15, 3, 16, 13, 20, 12);
             p.setPen(pen(kRed, 1.5));
             p.drawPath(peak);
         }},
        {"BContourGraph",
         [](QPainter& p) {
             frame(p);
             p.setBrush(Qt::NoBrush);
             const QColor cs[] = {kBlue, kGreen, kOrange, kRed};
             for (int i = 0; i < 4; ++i) {
                 p.setPen(pen(cs[i], 1.2));
                 p.drawEllipse(QPointF(12, 12), 8 - i * 2, 6 - i * 1.4);
             }
         }},
        {"BnumR",
         [](QPainter& p) {
             table(p, kGreen);
             label(p, QStringLiteral("R"), QRectF(9, 12, 12, 9), kRed, 9);
         }},
        {"BgraphR",
         [](QPainter& p) {
             frame(p);
             p.setPen(Qt::NoPen);
             p.setBrush(kGreen);
             const double h[] = {6, 10, 7, 12, 9};
             for (int i = 0; i < 5; ++i)
                 p.drawRect(QRectF(5 + i * 3, 20 - h[i], 2, h[i]));
             p.setPen(pen(kRed, 1.3));
             p.drawPolyline(QPolygonF({QPointF(5, 12), QPointF(9, 9), QPointF(13, 11), QPointF(17, 6), QPointF(20, 8)}));
         }},
        {"BNvtext",
         [](QPainter& p) {
             table(p, kOrange);
             label(p, QStringLiteral("N"), QRectF(9, 12, 12, 9), kOrange.darker(140), 9);
         }},
        {"Braw",
         [](QPainter& p) {
             frame(p);
             QPainterPath path;
             path.moveTo(4, 12);
             for (int i = 0; i < 16; ++i)
                 path.lineTo(4 + i, 12 + ((i % 2) ? -1 : 1) * (2 + (i * 7) % 5));
             p.setPen(pen(kOrange.darker(120), 1.2));
             p.setBrush(Qt::NoBrush);
             p.drawPath(path);
         }},
        {"Bbargraph",
         [](QPainter& p) {
             frame(p);
             p.setPen(Qt::NoPen);
             p.setBrush(kOrange);
             const double h[] = {5, 9, 13, 11, 8, 6};
             for (int i = 0; i < 6; ++i)
                 p.drawRect(QRectF(4.5 + i * 2.6, 20 - h[i], 2, h[i]));
         }},
        {"Bcset",
         [](QPainter& p) {
             p.setPen(pen(kInk, 1.2));
             for (int i = 0; i < 3; ++i) {
                 const double y = 6 + i * 6;
                 p.drawLine(QPointF(3, y), QPointF(21, y));
                 p.setBrush(i == 1 ? kRed : kBlue);
                 const double x = (i == 0) ? 8 : (i == 1 ? 15 : 11);
                 p.drawRect(QRectF(x - 2, y - 2.5, 4, 5));
             }
         }},
        {"Bcalculate",
         [](QPainter& p) {
             triangle(p, kGreen, QPointF(5, 4), QPointF(5, 20), QPointF(16, 12));
             p.setPen(pen(kInk, 1.2));
             p.setBrush(kOrange);
             p.drawEllipse(QPointF(18, 17), 4, 4);
             label(p, QStringLiteral("Σ"), QRectF(14, 13, 8, 8), kInk, 7);
         }},
        {"Bbackexe",
         [](QPainter& p) {
             triangle(p, kBlue, QPointF(19, 4), QPointF(19, 20), QPointF(8, 12));
             p.fillRect(QRectF(4, 4, 3, 16), kBlue);
         }},
        {"Bend",
         [](QPainter& p) {
             p.setPen(pen(kRed.darker(130), 1.0));
             p.setBrush(kRed);
             p.drawRoundedRect(QRectF(5, 5, 14, 14), 2, 2);
         }},
        {"Bexecute",
         [](QPainter& p) {
             triangle(p, kBlue, QPointF(5, 4), QPointF(5, 20), QPointF(16, 12));
             p.fillRect(QRectF(17, 4, 3, 16), kBlue);
         }},
        {"Bleft", [](QPainter& p) { arrow(p, kInk, QPointF(20, 12), QPointF(4, 12)); }},
        {"Bright", [](QPainter& p) { arrow(p, kInk, QPointF(4, 12), QPointF(20, 12)); }},
        {"Bup",
         [](QPainter& p) {
             triangle(p, kGreen, QPointF(12, 3), QPointF(21, 14), QPointF(3, 14));
             label(p, QStringLiteral("CH"), QRectF(0, 14, 24, 10), kInk, 8);
         }},
        {"Bdown",
         [](QPainter& p) {
             triangle(p, kGreen, QPointF(12, 21), QPointF(21, 10), QPointF(3, 10));
             label(p, QStringLiteral("CH"), QRectF(0, 0, 24, 10), kInk, 8);
         }},
        {"Bcascade",
         [](QPainter& p) {
             windowBox(p, QRectF(2, 2, 13, 10));
             windowBox(p, QRectF(5.5, 6.5, 13, 10));
             windowBox(p, QRectF(9, 11, 13, 10));
         }},
        {"Btile",
         [](QPainter& p) {
             windowBox(p, QRectF(3, 2, 18, 9.5));
             windowBox(p, QRectF(3, 12.5, 18, 9.5));
         }},
        {"Bline",
         [](QPainter& p) {
             windowBox(p, QRectF(2, 3, 9.5, 18));
             windowBox(p, QRectF(12.5, 3, 9.5, 18));
         }},
    };
    return d;
}

}  // namespace

QIcon toolbarIcon(const QString& key)
{
    const auto& d = drawings();
    const auto it = d.find(key);
    QIcon icon;
    for (int size : {24, 48}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        if (it != d.end()) {
            QPainter p(&pm);
            p.setRenderHint(QPainter::Antialiasing);
            p.scale(size / 24.0, size / 24.0);
            it->second(p);
        }
        icon.addPixmap(pm);
    }
    return icon;
}

}  // namespace varenta
