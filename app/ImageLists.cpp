#include "app/ImageLists.h"

#include <QString>
#include <array>

// The resource file is compiled into a static library: make sure the linker
// keeps it and that it is registered before the first image is loaded.
static void InitTavrinResources() { Q_INIT_RESOURCE(tavrin); }

namespace tavrin {
namespace {

void EnsureResources() {
  static const bool done = (InitTavrinResources(), true);
  (void)done;
}

QPixmap Load(const char* name) {
  EnsureResources();
  return QPixmap(QStringLiteral(":/images/") + QLatin1String(name));
}

constexpr std::array<const char*, StateImageCount> kStateFiles = {
    "state-grant.png", "state-revoke.png", "state-unreadable.png", "state-held.png"};

constexpr std::array<const char*, ActionImageCount> kActionFiles = {
    "action-add.png",      "action-remove.png",  "action-update.png",
    "action-commit.png",   "action-discard.png", "action-refresh.png",
    "action-contents.png", "action-home.png",    "action-about.png"};

}  // namespace

const QPixmap& StateImage(int index) {
  static const std::array<QPixmap, StateImageCount> images = [] {
    std::array<QPixmap, StateImageCount> loaded;
    for (int i = 0; i < StateImageCount; ++i) loaded[i] = Load(kStateFiles[i]);
    return loaded;
  }();
  static const QPixmap none;
  return index >= 0 && index < StateImageCount ? images[index] : none;
}

QIcon ActionImage(int index) {
  if (index < 0 || index >= ActionImageCount) return {};
  return QIcon(Load(kActionFiles[index]));
}

QPixmap ProductLogo() { return Load("logo-tavrin.png"); }

QPixmap LibraryLogo() { return Load("logo-velmar.png"); }

QIcon ApplicationIcon() {
  QIcon icon;
  for (const char* name : {"tavrin-16.png", "tavrin-32.png", "tavrin-48.png"})
    icon.addPixmap(Load(name));
  return icon;
}

}  // namespace tavrin
