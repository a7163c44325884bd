// What the window remembers between runs (its geometry, the account source,
// the computers of the grid), kept in the platform's usual settings store:
// the registry on Windows, ~/.config/Tavrin/Tavrin.conf elsewhere.
#pragma once

#include <QSettings>
#include <QString>
#include <memory>

namespace tavrin {

std::unique_ptr<QSettings> OpenWindowSettings();

// Keeps the settings in an INI file in `folder` instead (tests, benchmarks
// and the screenshot tool), so that the user's own are never read or
// written; an empty folder goes back to the usual store.
void KeepWindowSettingsIn(const QString& folder);

}  // namespace tavrin
