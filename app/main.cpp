#include <QApplication>
#include <cstdio>
#include <string>

#include "app/Startup.h"
#include "app/fmTavrinMain.h"
#include "platform/PlatformInit.h"

int main(int argc, char* argv[]) {
  std::string error;
  if (!tavrin::platform::Initialize(error)) {
    std::fprintf(stderr, "tavrin: %s\n", error.c_str());
    return 1;
  }
  tavrin::StartupScope startup;
  QApplication app(argc, argv);
  TTavrinForm form;
  form.show();
  return app.exec();
}
