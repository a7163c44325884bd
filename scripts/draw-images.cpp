// Draws Tavrin's images into resources/images/:
//   the cell-state images, the action images (16 x 16), the product logo
//   (96 x 96), the component library's logo (32 x 32) and the application
//   icon (16, 32, 48).
//
// Build and run on demand:
//   cmake --build build --target draw_images && build/app/draw_images resources/images
// Pass --preview FILE to also write every image enlarged eight times on one
// sheet, to look at them.
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <cstdio>
#include <functional>
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
    std::fprintf(stderr, "usage: draw_images OUTPUT_DIR [--preview FILE]\n");
    return 2;
  }
  const QDir out(args[0]);
  if (!QDir().mkpath(out.path())) return 1;

  const std::vector<Image> images = {
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
  };
  for (const Image& image : images) {
    const QString path = out.filePath(QLatin1String(image.file));
    if (!Render(image).save(path)) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
      return 1;
    }
  }

  if (!preview.isEmpty()) {
    // Each image at its size, and below it at 96 x 96 without smoothing.
    const int cell = 110, columns = 6;
    const int rows = (int(images.size()) + columns - 1) / columns;
    QImage sheet(cell * columns + 10, rows * 2 * cell + 10, QImage::Format_ARGB32);
    sheet.fill(QColor(236, 233, 216));
    QPainter painter(&sheet);
    for (size_t i = 0; i < images.size(); ++i) {
      const QImage actual = Render(images[i]);
      const int x = 10 + int(i % columns) * cell, y = 10 + int(i / columns) * 2 * cell;
      painter.drawImage(x, y, actual);
      painter.drawImage(QRect(x, y + cell, 96, 96), actual);
    }
    painter.end();
    sheet.save(preview);
  }
  return 0;
}
