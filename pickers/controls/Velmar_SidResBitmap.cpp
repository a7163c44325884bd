#include "pickers/controls/Velmar_SidResBitmap.h"

#include <QFile>
#include <map>
#include <mutex>
#include <string>

static void InitPickerResources() { Q_INIT_RESOURCE(pickers); }

namespace {

const char* const kNames[] = {
    "SID_USER",
    "SID_GROUP",
    "SID_WORLD",
    "SID_OWNER",
    "SID_DIALUP",
    "SID_NETWORK",
    "SID_BATCH",
    "SID_INTERACTIVE",
    "SID_SERVICE",
    "SID_ANONYMOUS",
    "SID_BUILTIN",
    "SID_AUTHENTICATED",
    "SID_SYSTEM",
    "SID_ADMIN",
    "SID_GUEST",
    "SID_DOMAIN_ADMINS",
    "SID_DOMAIN_USERS",
    "SID_DOMAIN_GUESTS",
    "SID_ADMINS",
    "SID_USERS",
    "SID_GUESTS",
    "SID_POWER_USERS",
    "SID_BACKUP",
    "SID_REPLICATOR",
    "SID_SOURCE_COMPUTER",
    "SID_SOURCE_DOMAIN",
};

// A picture whose bottom-left colour becomes transparent.
QImage LoadTransparent(const QString& path) {
  QImage image(path);
  if (image.isNull()) return image;
  image = image.convertToFormat(QImage::Format_ARGB32);
  const QRgb transparent = image.pixel(0, image.height() - 1) | 0xFF000000u;
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x)
      if ((line[x] | 0xFF000000u) == transparent) line[x] = 0;
  }
  return image;
}

// Every image is loaded on the first request for any of them.
const std::map<std::string, QImage>& Bitmaps() {
  static const std::map<std::string, QImage> bitmaps = [] {
    InitPickerResources();
    std::map<std::string, QImage> loaded;
    for (const char* name : kNames) {
      QImage image = LoadTransparent(QStringLiteral(":/pickers/") + QLatin1String(name));
      if (!image.isNull()) loaded.emplace(name, std::move(image));
    }
    return loaded;
  }();
  return bitmaps;
}

}  // namespace

const QImage* PickerBitmap(const char* name) {
  if (name == nullptr) return nullptr;
  const auto& bitmaps = Bitmaps();
  const auto it = bitmaps.find(name);
  return it != bitmaps.end() ? &it->second : nullptr;
}

const QImage* GetSidBitmap(TvmWellKnownSid wellKnown, TvmSidType sidType) {
  if (const QImage* own = PickerBitmap(SidBitmapName(wellKnown, sidType))) return own;
  // Kinds without an image of their own show the nearest one, so that every
  // entry has one.
  switch (sidType) {
    case stDomain:
      return PickerBitmap("SID_SOURCE_DOMAIN");
    case stGroup:
    case stAlias:
    case stWellKnownGroup:
      return PickerBitmap("SID_GROUP");
    default:
      return PickerBitmap("SID_USER");
  }
}

void DrawCentredBitmap(QPainter* painter, const QRect& cell, const QImage& bitmap) {
  const int left = cell.x() + (cell.width() - bitmap.width()) / 2;
  const int top = cell.y() + (cell.height() - bitmap.height()) / 2;
  painter->save();
  painter->setBrush(Qt::NoBrush);
  painter->drawImage(QPoint(left, top), bitmap);
  painter->restore();
}
