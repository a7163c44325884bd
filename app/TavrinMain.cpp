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
#include "platform/TextSafety.h"

namespace tavrin {

const char* const NeedsWindowsNtText =
    "This program needs Windows NT or 2000 to be executed. \r\nPress Ok button to exit";

void ShowStartupRefusal() {
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Warning"),
                  QString::fromLatin1(NeedsWindowsNtText), QMessageBox::Ok);
  box.button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
  box.exec();
}

const char* WindowHelpText() {
  return "Usage: tavrin [--network sim|real] [--server NAME[:PORT] --user DOMAIN\\NAME\n"
         "              [--password-fd N] [--computers-file FILE]] [Qt options]\n"
         "       tavrin --help | --version\n"
         "\n"
         "Shows and changes the user rights of one account on many Windows computers.\n"
         "\n"
         "  --network sim|real      the simulated network (default) or real computers\n"
         "  --server NAME[:PORT]    with real: the computer that stands for this one\n"
         "  --user DOMAIN\\NAME      with real: the account to log on with\n"
         "  --password-fd N         read the password from file descriptor N\n"
         "  --computers-file FILE   with real: the computer list\n"
         "  --help                  print this text and exit\n"
         "  --version               print the version and exit\n"
         "\n"
         "Qt's own options (-platform, -style, ...) are taken as well; any other\n"
         "argument is refused.\n";
}

int TavrinMain(int argc, char** argv, const std::function<bool()>& prepare) {
  try {
    std::optional<QApplication> application;
    if (!QApplication::instance()) {
      application.emplace(argc, argv);
      // Qt has taken its own options; anything left is no option of the window.
      if (argc > 1) {
        std::fprintf(stderr, "tavrin: %s \"%s\" (see tavrin --help)\n",
                     argv[1][0] == '-' ? "unknown option" : "unexpected argument",
                     EscapeControls(argv[1]).c_str());
        return 1;
      }
    }
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
