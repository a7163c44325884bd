// What the window remembers between runs (its geometry, the account source,
// the computers of the grid), kept in the platform's usual settings store:
// the registry on Windows, ~/.config/Tavrin/Tavrin.conf elsewhere.
#pragma once

#include <QSettings>
#include <QString>
#include <memory>
#include <string>

namespace tavrin {

std::unique_ptr<QSettings> OpenWindowSettings();

// Keeps the settings in an INI file in `folder` instead (tests, benchmarks
// and the screenshot tool), so that the user's own are never read or
// written; an empty folder goes back to the usual store.
void KeepWindowSettingsIn(const QString& folder);

// The journal of changes the window appends to and reads: the file chosen
// with Policy > Journal file (a shared one, say), kept with the settings;
// empty for the one in the user's data folder.
QString ChosenJournalFile();
void ChooseJournalFile(const QString& path);
// The journal's path as TJournal takes it: the chosen file in the system's
// file name encoding, or empty for the default.
std::string JournalPath();

}  // namespace tavrin
