#include "app/TavrinMain.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <exception>
#include <optional>

#include "app/fmTavrinMain.h"
#include "base/Velmar_WinVer.h"
#include "passes/Startup.h"

namespace tavrin {

const char* const NeedsWindowsNtText =
    "This program needs Windows NT or 2000 to be executed. \r\nPress Ok button to exit";

void ShowStartupRefusal() {
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Warning"),
                  QString::fromLatin1(NeedsWindowsNtText), QMessageBox::Ok);
  box.button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
  box.exec();
}

int TavrinMain(int argc, char** argv, const std::function<bool()>& prepare) {
  try {
    std::optional<QApplication> application;
    if (!QApplication::instance()) application.emplace(argc, argv);
    if (prepare && !prepare()) return 1;
    StartupScope startup;
    if (!IsWinNT()) {
      ShowStartupRefusal();
      return 0;
    }
    TTavrinForm form;
    form.show();
    return QApplication::exec();
  } catch (const std::exception& failure) {
    // Nothing can be shown yet: the reason goes to the error stream.
    std::fprintf(stderr, "tavrin: %s\n", failure.what());
    return 1;
  }
}

}  // namespace tavrin
