#include "app/WindowSettings.h"

namespace tavrin {

namespace {
QString& SettingsFolder() {
  static QString folder;
  return folder;
}
}  // namespace

std::unique_ptr<QSettings> OpenWindowSettings() {
  if (!SettingsFolder().isEmpty())
    return std::make_unique<QSettings>(SettingsFolder() + QStringLiteral("/Tavrin.ini"),
                                       QSettings::IniFormat);
  return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                     QStringLiteral("Tavrin"), QStringLiteral("Tavrin"));
}

void KeepWindowSettingsIn(const QString& folder) { SettingsFolder() = folder; }

}  // namespace tavrin
