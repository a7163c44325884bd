#include "base/Velmar_WinVer.h"

#include <cstring>

#include "base/Velmar_CenterUtils.h"

namespace {
// Written once at start on the main thread, read only afterwards.
OSVERSIONINFOA gVersion{};
}  // namespace

void WinVerStart() {
  std::memset(&gVersion, 0, sizeof gVersion);
  gVersion.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);  // 148
  if (!GetVersionExA(&gVersion)) RaiseLastWin32Error();
}

const OSVERSIONINFOA& WinVersion() { return gVersion; }

bool IsWinNT() { return gVersion.dwPlatformId == VER_PLATFORM_WIN32_NT; }
