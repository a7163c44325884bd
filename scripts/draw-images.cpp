// Draws every image of Tavrin under the resources folder given:
//   images/   the cell-state images, the action images (16 x 16), the
//             product logo (96 x 96), the component library's logo (32 x 32)
//             the application icon (16, 32, 48; 64, 128, 256 for the
//             desktop's icon theme) and tavrin.ico, the Windows icon of
//             the executables, holding the 16, 32, 48 and 256 pictures;
//   pickers/  the account and source images of the pickers (20 x 20).
//
// Build and run on demand:
//   cmake --build build --target draw_images && build/app/draw_images resources
// Pass --preview FILE to also write every image enlarged eight times on one
// sheet, to look at them.
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPoint>
#include <QPointF>
#include <QRadialGradient>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <utility>
#include <vector>

namespace {

using Draw = std::function<void(QPainter&, int size)>;

struct Image {
  const char* file;
  int size;
  Draw draw;
};

// Colours, each with a darker edge.
const QColor kGreen(40, 160, 40), kGreenEdge(14, 90, 14);
const QColor kRed(214, 36, 36), kRedEdge(122, 12, 12);
const QColor kBlue(38, 98, 214), kBlueEdge(14, 44, 120);
const QColor kPurple(112, 46, 168), kPurpleEdge(60, 18, 96);
const QColor kYellow(255, 214, 0);

void FillOutlined(QPainter& p, const QPainterPath& path, const QBrush& fill, const QColor& edge,
                  qreal edgeWidth = 1.0) {
  p.setPen(QPen(edge, edgeWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(fill);
  p.drawPath(path);
}

QBrush Shaded(const QColor& colour, qreal top, qreal bottom) {
  QLinearGradient gradient(0, top, 0, bottom);
  gradient.setColorAt(0, colour.lighter(135));
  gradient.setColorAt(1, colour.darker(110));
  return gradient;
}

// An arrow along the x axis from x0 to the tip x1 (either direction),
// centred on y, with a shaft of `shaft` and a head of `head` thickness.
QPainterPath Arrow(qreal x0, qreal x1, qreal y, qreal shaft, qreal head, qreal headLength) {
  const qreal dir = x1 > x0 ? 1 : -1;
  const qreal neck = x1 - dir * headLength;
  QPainterPath path;
  path.moveTo(x0, y - shaft / 2);
  path.lineTo(neck, y - shaft / 2);
  path.lineTo(neck, y - head / 2);
  path.lineTo(x1, y);
  path.lineTo(neck, y + head / 2);
  path.lineTo(neck, y + shaft / 2);
  path.lineTo(x0, y + shaft / 2);
  path.closeSubpath();
  return path;
}

// ------------------------------------------------------------ state images

void GreenPlus(QPainter& p, int) {
  QPainterPath path;
  path.setFillRule(Qt::WindingFill);
  path.addRect(QRectF(1.5, 5.5, 13, 5));
  path.addRect(QRectF(5.5, 1.5, 5, 13));
  FillOutlined(p, path.simplified(), Shaded(kGreen, 2, 14), kGreenEdge);
}

void RedCross(QPainter& p, int) {
  QPainterPath path;
  const QPointF points[] = {{2, 4.5},   {4.5, 2},   {8, 5.5},  {11.5, 2}, {14, 4.5}, {10.5, 8},
                            {14, 11.5}, {11.5, 14}, {8, 10.5}, {4.5, 14}, {2, 11.5}, {5.5, 8}};
  QPolygonF polygon;
  for (const QPointF& point : points) polygon << point;
  path.addPolygon(polygon);
  path.closeSubpath();
  FillOutlined(p, path, Shaded(kRed, 2, 14), kRedEdge);
}

void RedDiscWhiteBar(QPainter& p, int) {
  QPainterPath disc;
  disc.addEllipse(QPointF(8, 8), 6.8, 6.8);
  QRadialGradient gradient(QPointF(6, 5), 9);
  gradient.setColorAt(0, kRed.lighter(140));
  gradient.setColorAt(1, kRed.darker(115));
  FillOutlined(p, disc, gradient, kRedEdge);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawRect(QRectF(3.5, 6.5, 9, 3));
}

void GreenTick(QPainter& p, int) {
  QPainterPath tick;
  tick.moveTo(2.5, 8.5);
  tick.lineTo(6.5, 12.5);
  tick.lineTo(13.5, 3.5);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(kGreenEdge, 4.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPath(tick);
  p.setPen(QPen(kGreen.lighter(115), 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPath(tick);
}

// ----------------------------------------------------------- action images

void GreenArrowRight(QPainter& p, int) {
  FillOutlined(p, Arrow(1.5, 14.5, 8, 5, 11, 6), Shaded(kGreen, 2, 14), kGreenEdge);
}

void RedArrowLeft(QPainter& p, int) {
  FillOutlined(p, Arrow(14.5, 1.5, 8, 5, 11, 6), Shaded(kRed, 2, 14), kRedEdge);
}

void BlueArrows(QPainter& p, int) {
  FillOutlined(p, Arrow(1.5, 14.5, 4.5, 3, 7, 4.5), Shaded(kBlue, 1, 8), kBlueEdge);
  FillOutlined(p, Arrow(14.5, 1.5, 11.5, 3, 7, 4.5), Shaded(kBlue, 8, 15), kBlueEdge);
}

void FloppyDisk(QPainter& p, int) {
  const QColor body(40, 56, 112), bodyEdge(16, 22, 52);
  QPainterPath case_;
  case_.moveTo(1.5, 1.5);
  case_.lineTo(12.5, 1.5);
  case_.lineTo(14.5, 3.5);
  case_.lineTo(14.5, 14.5);
  case_.lineTo(1.5, 14.5);
  case_.closeSubpath();
  FillOutlined(p, case_, Shaded(body, 1, 15), bodyEdge);
  // The metal shutter with its window.
  p.setPen(QPen(QColor(90, 90, 96), 1));
  p.setBrush(QColor(200, 204, 212));
  p.drawRect(QRectF(4.5, 1.5, 7, 4));
  p.setPen(Qt::NoPen);
  p.setBrush(bodyEdge);
  p.drawRect(QRectF(9, 2.5, 1.5, 2.5));
  // The label.
  p.setPen(QPen(QColor(150, 150, 150), 1));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(3.5, 8.5, 9, 6));
  p.setPen(QPen(QColor(120, 140, 200), 1));
  p.drawLine(QPointF(5, 10.5), QPointF(11, 10.5));
  p.drawLine(QPointF(5, 12.5), QPointF(11, 12.5));
}

void WasteBin(QPainter& p, int) {
  const QColor metal(150, 156, 164), edge(56, 60, 66);
  QPainterPath body;
  body.moveTo(3.5, 5.5);
  body.lineTo(12.5, 5.5);
  body.lineTo(11.5, 14.5);
  body.lineTo(4.5, 14.5);
  body.closeSubpath();
  QLinearGradient shine(3, 0, 13, 0);
  shine.setColorAt(0, metal.darker(110));
  shine.setColorAt(0.4, metal.lighter(130));
  shine.setColorAt(1, metal.darker(120));
  FillOutlined(p, body, shine, edge);
  p.setPen(QPen(edge, 1));
  p.drawLine(QPointF(6.5, 7.5), QPointF(6.8, 12.5));
  p.drawLine(QPointF(8, 7.5), QPointF(8, 12.5));
  p.drawLine(QPointF(9.5, 7.5), QPointF(9.2, 12.5));
  // The lid and its handle.
  QPainterPath lid;
  lid.addRect(QRectF(1.5, 3.5, 13, 2));
  FillOutlined(p, lid, metal.lighter(115), edge);
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRectF(6.5, 1.5, 3, 2));
}

void CircleArrows(QPainter& p, int) {
  const QPointF centre(8, 8);
  const qreal radius = 5.2;
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(Qt::black, 2, Qt::SolidLine, Qt::FlatCap));
  const QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
  // Two arcs, each ending in a head that points on around the circle.
  for (int half = 0; half < 2; ++half) {
    const qreal start = 200 + 180 * half;  // degrees, counter-clockwise from 3 o'clock
    const qreal span = -125;               // drawn clockwise
    p.setPen(QPen(Qt::black, 2, Qt::SolidLine, Qt::FlatCap));
    p.drawArc(box, int(start * 16), int(span * 16));
    const qreal end = (start + span) * M_PI / 180;
    const QPointF tip = centre + QPointF(radius * std::cos(end), -radius * std::sin(end));
    // The tangent in the drawing direction (clockwise on screen).
    const QPointF tangent(std::sin(end), std::cos(end));
    const QPointF normal(-tangent.y(), tangent.x());
    const QPointF point = tip + tangent * 3.2;
    QPolygonF head;
    head << point << tip + normal * 3.2 << tip - normal * 3.2;
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawPolygon(head);
  }
}

void BookWithQuestion(QPainter& p, int) {
  // The pages, seen at the fore-edge and bottom.
  p.setPen(QPen(QColor(120, 120, 120), 1));
  p.setBrush(QColor(246, 246, 236));
  p.drawRect(QRectF(3.5, 2.5, 11, 12));
  // The cover.
  QPainterPath cover;
  cover.addRect(QRectF(1.5, 1.5, 11, 12));
  FillOutlined(p, cover, Shaded(kPurple, 1, 14), kPurpleEdge);
  // The spine.
  p.setPen(QPen(kPurpleEdge, 1));
  p.drawLine(QPointF(3.5, 1.5), QPointF(3.5, 13.5));
  // The question mark.
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setBold(true);
  font.setPixelSize(13);
  QPainterPath mark;
  mark.addText(0, 0, font, QStringLiteral("?"));
  const QRectF bounds = mark.boundingRect();
  mark.translate(8 - bounds.center().x(), 7.5 - bounds.center().y());
  p.setPen(Qt::NoPen);
  p.setBrush(kYellow);
  p.drawPath(mark);
}

void Globe(QPainter& p, int) {
  const QPointF centre(8, 8);
  QRadialGradient sea(QPointF(6, 5.5), 9);
  sea.setColorAt(0, QColor(120, 180, 255));
  sea.setColorAt(1, QColor(24, 84, 190));
  QPainterPath disc;
  disc.addEllipse(centre, 6.8, 6.8);
  FillOutlined(p, disc, sea, kBlueEdge);
  // Land.
  p.save();
  p.setClipPath(disc);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(60, 170, 70));
  QPainterPath land;
  land.moveTo(3, 4);
  land.cubicTo(5, 2.5, 8, 3.5, 7.5, 6);
  land.cubicTo(7, 8, 5, 7.5, 5.5, 10);
  land.cubicTo(5.8, 12, 3.5, 12, 2.5, 9.5);
  land.closeSubpath();
  land.moveTo(10, 7);
  land.cubicTo(12, 6, 14, 8, 13.5, 10);
  land.cubicTo(13, 12.5, 10.5, 13.5, 10, 11.5);
  land.cubicTo(9.5, 10, 9, 8, 10, 7);
  land.closeSubpath();
  p.drawPath(land);
  // Meridians and parallels.
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(255, 255, 255, 170), 0.8));
  p.drawEllipse(centre, 3, 6.8);
  p.drawLine(QPointF(8, 1), QPointF(8, 15));
  p.drawLine(QPointF(1, 8), QPointF(15, 8));
  p.restore();
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(kBlueEdge, 1));
  p.drawPath(disc);
}

void InfoDisc(QPainter& p, int) {
  QPainterPath disc;
  disc.addEllipse(QPointF(8, 8), 6.8, 6.8);
  QRadialGradient gradient(QPointF(6, 5), 9);
  gradient.setColorAt(0, kBlue.lighter(150));
  gradient.setColorAt(1, kBlue.darker(110));
  FillOutlined(p, disc, gradient, kBlueEdge);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawEllipse(QPointF(8, 4.6), 1.35, 1.35);
  QPainterPath stem;
  stem.moveTo(6.2, 6.8);
  stem.lineTo(9, 6.8);
  stem.lineTo(9, 11.5);
  stem.lineTo(10, 11.5);
  stem.lineTo(10, 12.8);
  stem.lineTo(6, 12.8);
  stem.lineTo(6, 11.5);
  stem.lineTo(7, 11.5);
  stem.lineTo(7, 8);
  stem.lineTo(6.2, 8);
  stem.closeSubpath();
  p.drawPath(stem);
}

// ------------------------------------------------------------------- logos

// The product: a shield guarding a grid of rights, some held (ticks), one
// staged for revocation (cross). Sizes below 48 keep a single tick.
void ProductShield(QPainter& p, int size) {
  p.scale(size / 96.0, size / 96.0);
  QPainterPath shield;
  shield.moveTo(48, 4);
  shield.cubicTo(62, 12, 76, 14, 88, 13);
  shield.cubicTo(90, 50, 78, 76, 48, 92);
  shield.cubicTo(18, 76, 6, 50, 8, 13);
  shield.cubicTo(20, 14, 34, 12, 48, 4);
  shield.closeSubpath();
  QLinearGradient steel(0, 4, 0, 92);
  steel.setColorAt(0, QColor(70, 130, 235));
  steel.setColorAt(1, QColor(18, 48, 128));
  const qreal edge = size >= 48 ? 4 : 7;
  FillOutlined(p, shield, steel, QColor(10, 28, 80), edge);

  if (size < 48) {
    QPainterPath tick;
    tick.moveTo(26, 48);
    tick.lineTo(42, 64);
    tick.lineTo(70, 30);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 16, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(tick);
    return;
  }
  // The grid: 3 x 3 white cells.
  const qreal cell = 17, gap = 3, left = 48 - (3 * cell + 2 * gap) / 2, top = 22;
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 3; ++col) {
      const QRectF box(left + col * (cell + gap), top + row * (cell + gap), cell, cell);
      p.setPen(QPen(QColor(10, 28, 80), 1.5));
      p.setBrush(QColor(250, 252, 255));
      p.drawRoundedRect(box, 2, 2);
      const bool cross = row == 1 && col == 2;
      const bool empty = (row == 2 && col == 0) || (row == 0 && col == 1);
      if (empty) continue;
      const QPointF o = box.topLeft();
      if (cross) {
        p.setPen(QPen(kRed, 3.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(o + QPointF(4.5, 4.5), o + QPointF(12.5, 12.5));
        p.drawLine(o + QPointF(12.5, 4.5), o + QPointF(4.5, 12.5));
      } else {
        QPainterPath tick;
        tick.moveTo(o + QPointF(3.5, 9));
        tick.lineTo(o + QPointF(7, 12.5));
        tick.lineTo(o + QPointF(13.5, 4.5));
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(kGreen.darker(110), 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(tick);
      }
    }
  }
}

// The component library: a white "V" on a rounded amber square.
void LibraryLogo(QPainter& p, int size) {
  p.scale(size / 32.0, size / 32.0);
  QPainterPath square;
  square.addRoundedRect(QRectF(1, 1, 30, 30), 6, 6);
  QLinearGradient amber(0, 1, 0, 31);
  amber.setColorAt(0, QColor(255, 170, 40));
  amber.setColorAt(1, QColor(214, 90, 10));
  FillOutlined(p, square, amber, QColor(130, 50, 0), 1.2);
  QPainterPath v;
  v.moveTo(6, 7);
  v.lineTo(11.5, 7);
  v.lineTo(16, 20);
  v.lineTo(20.5, 7);
  v.lineTo(26, 7);
  v.lineTo(18.8, 26);
  v.lineTo(13.2, 26);
  v.closeSubpath();
  FillOutlined(p, v, Qt::white, QColor(130, 50, 0), 1.2);
}

// ------------------------------------------------------------ picker images

// The account and source images of the pickers: 20 x 20 pixels set one by
// one, without smoothing, on a magenta ground. The picker takes the colour
// of the bottom-left pixel as transparent, so nothing is ever drawn there.
namespace picker {

constexpr int kSize = 20;
const QRgb kGround = qRgb(255, 0, 255);
const QRgb kNone = 0;  // no outline

const QRgb kBlack = qRgb(0, 0, 0), kWhite = qRgb(255, 255, 255);
const QRgb kSkin = qRgb(247, 206, 160), kHair = qRgb(110, 70, 30);
const QRgb kBlue = qRgb(40, 80, 200), kBlueDark = qRgb(20, 40, 120);
const QRgb kLightBlue = qRgb(120, 170, 240);
const QRgb kRed = qRgb(200, 30, 30), kRedDark = qRgb(120, 10, 10);
const QRgb kGreen = qRgb(30, 150, 50), kGreenDark = qRgb(10, 90, 20);
const QRgb kGrey = qRgb(150, 150, 150), kGreyDark = qRgb(90, 90, 90);
const QRgb kGreyLight = qRgb(205, 205, 205);
const QRgb kYellow = qRgb(250, 210, 30), kOrange = qRgb(240, 140, 20);
const QRgb kBrown = qRgb(140, 90, 40), kPurple = qRgb(130, 60, 170), kTeal = qRgb(0, 140, 140);

class Canvas {
 public:
  Canvas() : image_(kSize, kSize, QImage::Format_RGB32) { image_.fill(kGround); }
  const QImage& Image() const { return image_; }

  void Set(int x, int y, QRgb c) {
    if (x >= 0 && x < kSize && y >= 0 && y < kSize && !(x == 0 && y == kSize - 1))
      image_.setPixel(x, y, c);
  }
  void Rect(int x0, int y0, int x1, int y1, QRgb c) {
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x) Set(x, y, c);
  }
  // The pixels whose centre distance is at most r + 0.25; those in the
  // outer ring take the outline's colour when one is given.
  void Disc(double cx, double cy, double r, QRgb c, QRgb outline = kNone) {
    for (int y = 0; y < kSize; ++y) {
      for (int x = 0; x < kSize; ++x) {
        const double d = std::hypot(x - cx, y - cy);
        if (d <= r + 0.25) Set(x, y, outline != kNone && d > r - 0.9 ? outline : c);
      }
    }
  }
  // Bresenham's line, both ends included.
  void Line(int x0, int y0, int x1, int y1, QRgb c) {
    const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
      Set(x0, y0, c);
      if (x0 == x1 && y0 == y1) break;
      const int e2 = 2 * err;
      if (e2 >= dy) {
        err += dy;
        x0 += sx;
      }
      if (e2 <= dx) {
        err += dx;
        y0 += sy;
      }
    }
  }
  // Fills a polygon, even-odd rule, testing the pixel centres.
  void Poly(std::initializer_list<QPointF> points, QRgb c) {
    const std::vector<QPointF> p(points);
    const size_t n = p.size();
    for (int y = 0; y < kSize; ++y) {
      for (int x = 0; x < kSize; ++x) {
        const double px = x + 0.5, py = y + 0.5;
        bool inside = false;
        for (size_t i = 0; i < n; ++i) {
          const QPointF& a = p[i];
          const QPointF& b = p[(i + 1) % n];
          if ((a.y() > py) != (b.y() > py) &&
              px < a.x() + (py - a.y()) * (b.x() - a.x()) / (b.y() - a.y()))
            inside = !inside;
        }
        if (inside) Set(x, y, c);
      }
    }
  }

 private:
  QImage image_;
};

int At(double v) { return int(std::floor(v + 0.5)); }

// A head and shoulders whose head centre is at (x, y).
void Person(Canvas& cv, double x, double y, QRgb shirt, double scale = 1.0, QRgb skin = kSkin,
            QRgb hair = kHair) {
  const double r = 3 * scale;
  const double bodyW = 5 * scale;
  const double top = y + r + 1;
  cv.Poly({{x - bodyW, top + 6 * scale},
           {x - bodyW + 1, top + 1},
           {x - 2, top},
           {x + 2, top},
           {x + bodyW - 1, top + 1},
           {x + bodyW, top + 6 * scale}},
          shirt);
  cv.Disc(x, y, r, skin);
  for (int dx = -int(r); dx <= int(r); ++dx) cv.Set(At(x + dx), At(y - r), hair);
  cv.Set(At(x - r), At(y - r + 1), hair);
  cv.Set(At(x + r), At(y - r + 1), hair);
}

void Group(Canvas& cv, QRgb back, QRgb front) {
  Person(cv, 13, 5, back, 0.85);
  Person(cv, 7.5, 7.5, front);
}

void Monitor(Canvas& cv, int x, int y, int w = 9, int h = 7, QRgb screen = kLightBlue) {
  cv.Rect(x, y, x + w - 1, y + h - 1, kGreyDark);
  cv.Rect(x + 1, y + 1, x + w - 2, y + h - 2, screen);
  cv.Rect(x + w / 2 - 1, y + h, x + w / 2 + 1, y + h, kGreyDark);
  cv.Rect(x + w / 2 - 3, y + h + 1, x + w / 2 + 3, y + h + 1, kGrey);
}

void Globe(Canvas& cv, double cx, double cy, double r) {
  cv.Disc(cx, cy, r, kBlue, kBlueDark);
  cv.Poly({{cx - r * 0.5, cy - r * 0.6},
           {cx + r * 0.1, cy - r * 0.7},
           {cx + r * 0.2, cy - r * 0.1},
           {cx - r * 0.2, cy + r * 0.2},
           {cx - r * 0.6, cy}},
          kGreen);
  cv.Poly({{cx + r * 0.3, cy + r * 0.1},
           {cx + r * 0.8, cy + r * 0.2},
           {cx + r * 0.5, cy + r * 0.7},
           {cx + r * 0.2, cy + r * 0.5}},
          kGreen);
  for (const double dy : {-r * 0.45, r * 0.45}) {
    const int y = int(std::nearbyint(cy + dy));
    for (int x = 0; x < kSize; ++x)
      if (std::hypot(x - cx, y - cy) < r - 0.8) cv.Set(x, y, kLightBlue);
  }
}

void Shield(Canvas& cv, int x, int y, QRgb c) {
  const double l = x, t = y;
  cv.Poly({{l, t}, {l + 6, t}, {l + 6, t + 4}, {l + 3, t + 7}, {l, t + 4}}, c);
  cv.Line(x + 3, y + 1, x + 3, y + 5, kYellow);
  cv.Line(x + 1, y + 3, x + 5, y + 3, kYellow);
}

void Check(Canvas& cv, int x, int y) {
  cv.Line(x, y + 3, x + 2, y + 5, kGreenDark);
  cv.Line(x + 2, y + 5, x + 7, y, kGreenDark);
  cv.Line(x, y + 2, x + 2, y + 4, kGreen);
  cv.Line(x + 2, y + 4, x + 7, y - 1, kGreen);
}

void SmallGlobe(Canvas& cv) { Globe(cv, 15.5, 15.5, 3.6); }

void SmallComputer(Canvas& cv) {
  cv.Rect(12, 12, 19, 17, kGreyDark);
  cv.Rect(13, 13, 18, 16, kLightBlue);
  cv.Rect(14, 18, 17, 18, kGreyDark);
}

void Gear(Canvas& cv, double cx, double cy, double r, QRgb c, QRgb hole = kGround) {
  for (int i = 0; i < 8; ++i) {
    const double a = i * M_PI / 4;
    cv.Disc(cx + std::cos(a) * (r + 1.3), cy + std::sin(a) * (r + 1.3), 1.3, c);
  }
  cv.Disc(cx, cy, r, c);
  cv.Disc(cx, cy, r * 0.4, hole);
}

void Key(Canvas& cv, int x, int y) {
  cv.Disc(x + 2, y + 2, 2, kYellow);
  cv.Set(x + 2, y + 2, kBrown);
  cv.Line(x + 4, y + 2, x + 10, y + 2, kYellow);
  cv.Line(x + 8, y + 3, x + 8, y + 4, kYellow);
  cv.Line(x + 10, y + 3, x + 10, y + 4, kYellow);
}

void Bolt(Canvas& cv, int x, int y) {
  const double l = x, t = y;
  cv.Poly({{l + 3, t},
           {l + 7, t},
           {l + 5, t + 4},
           {l + 8, t + 4},
           {l + 2, t + 11},
           {l + 3.5, t + 6},
           {l + 1, t + 6}},
          kYellow);
  cv.Line(x + 3, y, x + 1, y + 6, kOrange);
}

void Document(Canvas& cv, int x, int y, QRgb c = kWhite) {
  cv.Rect(x, y, x + 7, y + 9, kGreyDark);
  cv.Rect(x + 1, y + 1, x + 6, y + 8, c);
  for (const int row : {3, 5, 7}) cv.Line(x + 2, y + row, x + 5, y + row, kGrey);
}

struct Picture {
  const char* name;
  void (*draw)(Canvas&);
};

const Picture kPictures[] = {
    {"SID_USER", [](Canvas& cv) { Person(cv, 9.5, 5, kBlue); }},
    {"SID_GROUP", [](Canvas& cv) { Group(cv, kTeal, kBlue); }},
    {"SID_WORLD", [](Canvas& cv) { Globe(cv, 9.5, 9.5, 8.5); }},
    {"SID_OWNER",
     [](Canvas& cv) {
       Person(cv, 7, 5, kBrown);
       Key(cv, 8, 13);
     }},
    {"SID_DIALUP",
     [](Canvas& cv) {
       // A telephone: the handset over a body with a dial.
       cv.Poly({{3, 10}, {16, 10}, {18, 17}, {1, 17}}, kGreyDark);
       cv.Disc(9.5, 13.5, 2.5, kGreyLight);
       cv.Set(9, 13, kBlack);
       cv.Rect(2, 5, 17, 7, kBlack);
       cv.Rect(1, 6, 4, 9, kBlack);
       cv.Rect(15, 6, 18, 9, kBlack);
     }},
    {"SID_NETWORK",
     [](Canvas& cv) {
       Monitor(cv, 0, 0, 8, 6);
       Monitor(cv, 11, 0, 8, 6);
       Monitor(cv, 6, 11, 8, 6);
       cv.Line(4, 8, 4, 10, kBlack);
       cv.Line(15, 8, 15, 10, kBlack);
       cv.Line(4, 10, 15, 10, kBlack);
     }},
    {"SID_BATCH",
     [](Canvas& cv) {
       Document(cv, 1, 1, kGreyLight);
       Document(cv, 4, 4, kWhite);
       Document(cv, 7, 7, kWhite);
       Gear(cv, 15, 15, 2.2, kOrange, kWhite);
     }},
    {"SID_INTERACTIVE",
     [](Canvas& cv) {
       Monitor(cv, 9, 1, 10, 8);
       Person(cv, 5, 7, kGreen);
       cv.Rect(9, 16, 18, 17, kGreyDark);
     }},
    {"SID_SERVICE",
     [](Canvas& cv) {
       Gear(cv, 9.5, 9.5, 5.5, kGreyDark);
       Gear(cv, 9.5, 9.5, 4.3, kGrey);
       cv.Disc(9.5, 9.5, 2, kGround);
     }},
    {"SID_ANONYMOUS",
     [](Canvas& cv) {
       Person(cv, 8, 5, kGreyDark, 1.0, kGrey, kGreyDark);
       // A question mark.
       const QPoint mark[] = {{14, 3}, {15, 2}, {16, 2}, {17, 3}, {17, 4},
                              {16, 5}, {15, 6}, {15, 7}, {15, 9}};
       for (const QPoint& p : mark) cv.Set(p.x(), p.y(), kRed);
     }},
    {"SID_BUILTIN",
     [](Canvas& cv) {
       // A building with columns: the built-in domain.
       cv.Poly({{1, 6}, {9.5, 1}, {18, 6}}, kRedDark);
       cv.Rect(2, 6, 17, 7, kGreyDark);
       for (const int x : {3, 7, 11, 15}) cv.Rect(x, 8, x + 1, 15, kGreyLight);
       cv.Rect(1, 16, 18, 18, kGreyDark);
     }},
    {"SID_AUTHENTICATED",
     [](Canvas& cv) {
       Person(cv, 7, 5, kBlue);
       Check(cv, 11, 12);
     }},
    {"SID_SYSTEM",
     [](Canvas& cv) {
       Monitor(cv, 1, 1, 12, 10, kBlueDark);
       cv.Rect(14, 2, 18, 16, kGreyDark);
       cv.Rect(15, 4, 17, 4, kGreen);
       Gear(cv, 7, 6, 1.6, kYellow, kBlueDark);
     }},
    {"SID_ADMIN",
     [](Canvas& cv) {
       Person(cv, 8, 5, kRed);
       Shield(cv, 12, 11, kYellow);
       cv.Line(15, 12, 15, 16, kRed);
       cv.Line(13, 14, 17, 14, kRed);
     }},
    {"SID_GUEST",
     [](Canvas& cv) {
       Person(cv, 9.5, 5, kGreyLight);
       cv.Rect(6, 2, 13, 2, kBrown);  // a hat
       cv.Rect(7, 0, 12, 1, kBrown);
     }},
    {"SID_DOMAIN_ADMINS",
     [](Canvas& cv) {
       Group(cv, kRedDark, kRed);
       SmallGlobe(cv);
     }},
    {"SID_DOMAIN_USERS",
     [](Canvas& cv) {
       Group(cv, kTeal, kBlue);
       SmallGlobe(cv);
     }},
    {"SID_DOMAIN_GUESTS",
     [](Canvas& cv) {
       Group(cv, kGrey, kGreyLight);
       SmallGlobe(cv);
     }},
    {"SID_ADMINS",
     [](Canvas& cv) {
       Group(cv, kRedDark, kRed);
       SmallComputer(cv);
     }},
    {"SID_USERS",
     [](Canvas& cv) {
       Group(cv, kTeal, kBlue);
       SmallComputer(cv);
     }},
    {"SID_GUESTS",
     [](Canvas& cv) {
       Group(cv, kGrey, kGreyLight);
       SmallComputer(cv);
     }},
    {"SID_POWER_USERS",
     [](Canvas& cv) {
       Group(cv, kTeal, kPurple);
       Bolt(cv, 11, 7);
     }},
    {"SID_BACKUP",
     [](Canvas& cv) {
       // A tape cartridge and an arrow into it.
       cv.Rect(1, 8, 18, 17, kBlack);
       cv.Rect(2, 9, 17, 14, kGreyDark);
       cv.Disc(6, 11.5, 1.6, kWhite);
       cv.Disc(13, 11.5, 1.6, kWhite);
       cv.Rect(5, 15, 14, 16, kGrey);
       cv.Rect(8, 0, 11, 3, kGreen);
       cv.Poly({{5, 4}, {15, 4}, {10, 8}}, kGreen);
     }},
    {"SID_REPLICATOR",
     [](Canvas& cv) {
       Document(cv, 0, 0);
       Document(cv, 12, 9);
       cv.Line(9, 3, 14, 3, kBlue);
       cv.Line(14, 3, 14, 7, kBlue);
       cv.Poly({{12, 6}, {17, 6}, {14.5, 9}}, kBlue);
       cv.Line(4, 11, 4, 15, kRed);
       cv.Line(4, 15, 10, 15, kRed);
       cv.Poly({{1, 12}, {4, 9}, {7, 12}}, kRed);
     }},
    {"SID_SOURCE_COMPUTER",
     [](Canvas& cv) {
       Monitor(cv, 1, 1, 14, 11);
       cv.Rect(15, 3, 18, 17, kGreyDark);
       cv.Rect(16, 5, 17, 5, kGreen);
       cv.Rect(2, 16, 13, 17, kGreyDark);
     }},
    {"SID_SOURCE_DOMAIN",
     [](Canvas& cv) {
       Globe(cv, 9.5, 8.5, 7.5);
       Monitor(cv, 11, 10, 8, 6);
     }},
};

}  // namespace picker

QImage Render(const Image& image, int scale = 1) {
  QImage canvas(image.size * scale, image.size * scale, QImage::Format_ARGB32_Premultiplied);
  canvas.fill(Qt::transparent);
  QPainter painter(&canvas);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.scale(scale, scale);
  image.draw(painter, image.size);
  painter.end();
  return canvas;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  QStringList args = app.arguments();
  args.removeFirst();
  QString preview;
  if (const int at = args.indexOf(QStringLiteral("--preview")); at >= 0 && at + 1 < args.size()) {
    preview = args[at + 1];
    args.remove(at, 2);
  }
  if (args.size() != 1) {
    std::fprintf(stderr, "usage: draw_images RESOURCES_DIR [--preview FILE]\n");
    return 2;
  }
  const QDir resources(args[0]);

  const Image images[] = {
      {"state-grant.png", 16, GreenPlus},
      {"state-revoke.png", 16, RedCross},
      {"state-unreadable.png", 16, RedDiscWhiteBar},
      {"state-held.png", 16, GreenTick},
      {"action-add.png", 16, GreenArrowRight},
      {"action-remove.png", 16, RedArrowLeft},
      {"action-update.png", 16, BlueArrows},
      {"action-commit.png", 16, FloppyDisk},
      {"action-discard.png", 16, WasteBin},
      {"action-refresh.png", 16, CircleArrows},
      {"action-contents.png", 16, BookWithQuestion},
      {"action-home.png", 16, Globe},
      {"action-about.png", 16, InfoDisc},
      {"logo-tavrin.png", 96, ProductShield},
      {"logo-velmar.png", 32, LibraryLogo},
      {"tavrin-16.png", 16, ProductShield},
      {"tavrin-32.png", 32, ProductShield},
      {"tavrin-48.png", 48, ProductShield},
      {"tavrin-64.png", 64, ProductShield},
      {"tavrin-128.png", 128, ProductShield},
      {"tavrin-256.png", 256, ProductShield},
  };
  // Every picture with the file it goes to.
  std::vector<std::pair<QString, QImage>> drawn;
  for (const Image& image : images)
    drawn.emplace_back(QStringLiteral("images/") + QLatin1String(image.file), Render(image));
  for (const picker::Picture& picture : picker::kPictures) {
    picker::Canvas canvas;
    picture.draw(canvas);
    drawn.emplace_back(QStringLiteral("pickers/%1.png").arg(QLatin1String(picture.name)),
                       canvas.Image());
  }

  for (const char* folder : {"images", "pickers"}) {
    if (!resources.mkpath(QLatin1String(folder))) return 1;
  }
  for (const auto& [file, image] : drawn) {
    const QString path = resources.filePath(file);
    if (!image.save(path)) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
      return 1;
    }
  }

  // The Windows icon: an icon directory whose entries are PNG pictures, as
  // Windows Vista and later read them (a width or height of 0 means 256).
  {
    std::vector<QByteArray> pictures;
    const int sizes[] = {16, 32, 48, 256};
    for (const int size : sizes) {
      QByteArray png;
      QBuffer buffer(&png);
      buffer.open(QIODevice::WriteOnly);
      Render({"", size, ProductShield}).save(&buffer, "PNG");
      pictures.push_back(png);
    }
    QByteArray ico;
    auto put16 = [&](int v) { ico.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF)); };
    auto put32 = [&](qint64 v) {
      put16(int(v & 0xFFFF));
      put16(int((v >> 16) & 0xFFFF));
    };
    put16(0);  // reserved
    put16(1);  // an icon
    put16(int(pictures.size()));
    qint64 offset = 6 + 16 * qint64(pictures.size());
    for (size_t i = 0; i < pictures.size(); ++i) {
      ico.append(char(sizes[i] % 256)).append(char(sizes[i] % 256));
      ico.append(char(0)).append(char(0));  // no palette, reserved
      put16(1);                             // planes
      put16(32);                            // bits per pixel
      put32(pictures[i].size());
      put32(offset);
      offset += pictures[i].size();
    }
    for (const QByteArray& png : pictures) ico.append(png);
    QFile file(resources.filePath(QStringLiteral("images/tavrin.ico")));
    if (!file.open(QIODevice::WriteOnly) || file.write(ico) != ico.size()) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
      return 1;
    }
  }

  if (!preview.isEmpty()) {
    // Each picture at its size, and below it at 96 x 96 without smoothing.
    const int cell = 110, columns = 8;
    const int rows = (int(drawn.size()) + columns - 1) / columns;
    QImage sheet(cell * columns + 10, rows * 2 * cell + 10, QImage::Format_ARGB32);
    sheet.fill(QColor(236, 233, 216));
    QPainter painter(&sheet);
    for (size_t i = 0; i < drawn.size(); ++i) {
      const QImage& actual = drawn[i].second;
      const int x = 10 + int(i % columns) * cell, y = 10 + int(i / columns) * 2 * cell;
      painter.drawImage(x, y, actual);
      painter.drawImage(QRect(x, y + cell, 96, 96), actual);
    }
    painter.end();
    sheet.save(preview);
  }
  return 0;
}
