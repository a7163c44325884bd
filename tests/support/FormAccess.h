// The main window's controls as tests, benchmarks and the screenshot tool
// reach them: by their object names, and the account and source choices as
// the user makes them.
#pragma once

#include <QObject>
#include <QString>

#include "app/fmTavrinMain.h"
#include "pickers/controls/Velmar_SidSourceComboBox.h"
#include "pickers/controls/Velmar_UsersComboBox.h"

namespace tavrin::test {

// The child of `parent` named `name`; null when there is none.
template <class T>
T* Child(const QObject& parent, const char* name) {
  return parent.findChild<T*>(QLatin1String(name));
}

// Chooses the account, or the source, the picker shows now, as a click on it does.
inline void ChooseAccount(TTavrinForm& form) {
  auto* box = Child<TvmUsersComboBox>(form, "CBxUsers");
  emit box->activated(box->currentIndex());
}
inline void ChooseSource(TTavrinForm& form) {
  auto* box = Child<TvmSidSourceComboBox>(form, "CBxSidSource");
  emit box->activated(box->currentIndex());
}

}  // namespace tavrin::test
