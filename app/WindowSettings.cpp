#include "app/WindowSettings.h"

#include <QFile>

namespace tavrin {

namespace {
const QString kJournalFile = QStringLiteral("journal/file");

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

QString ChosenJournalFile() { return OpenWindowSettings()->value(kJournalFile).toString(); }

void ChooseJournalFile(const QString& path) {
  const auto settings = OpenWindowSettings();
  if (path.isEmpty())
    settings->remove(kJournalFile);
  else
    settings->setValue(kJournalFile, path);
}

std::string JournalPath() { return QFile::encodeName(ChosenJournalFile()).toStdString(); }

}  // namespace tavrin
