// window-probe: looks at the top-level windows of the desktop it runs on, for
// the smoke tests of tavrin.exe (under Wine).
//   window-probe wait TITLE SECONDS  waits until a visible window titled TITLE
//                                    shows; exit 0, or 1 naming the visible
//                                    windows when none did in time
//   window-probe close TITLE         asks every window titled TITLE to close
//                                    (WM_CLOSE); exit 1 when there is none
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Found {
  std::wstring title;
  std::vector<HWND> windows;
  std::vector<std::wstring> visible;  // every visible titled window
};

BOOL CALLBACK Visit(HWND window, LPARAM data) {
  auto* found = reinterpret_cast<Found*>(data);
  if (!IsWindowVisible(window)) return TRUE;
  wchar_t text[256] = {};
  if (GetWindowTextW(window, text, 256) <= 0) return TRUE;
  found->visible.emplace_back(text);
  if (found->title == text) found->windows.push_back(window);
  return TRUE;
}

Found Look(const std::wstring& title) {
  Found found{title, {}, {}};
  EnumWindows(Visit, reinterpret_cast<LPARAM>(&found));
  return found;
}

std::wstring Wide(const char* text) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  std::wstring wide(n > 0 ? n - 1 : 0, L'\0');
  if (n > 1) MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), n);
  return wide;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "wait" && argc == 4) {
    const std::wstring title = Wide(argv[2]);
    const DWORD limit = DWORD(std::atoi(argv[3])) * 1000;
    const DWORD start = GetTickCount();
    Found found;
    do {
      found = Look(title);
      if (!found.windows.empty()) {
        std::printf("window-probe: window \"%s\" shown after %lu ms\n", argv[2],
                    static_cast<unsigned long>(GetTickCount() - start));
        return 0;
      }
      Sleep(250);
    } while (GetTickCount() - start < limit);
    std::printf("window-probe: no window \"%s\" within %s s; visible windows:\n", argv[2], argv[3]);
    for (const std::wstring& title : found.visible) std::printf("  \"%ls\"\n", title.c_str());
    return 1;
  }
  if (command == "close" && argc == 3) {
    const Found found = Look(Wide(argv[2]));
    for (HWND window : found.windows) PostMessageW(window, WM_CLOSE, 0, 0);
    std::printf("window-probe: asked %zu window(s) \"%s\" to close\n", found.windows.size(),
                argv[2]);
    return found.windows.empty() ? 1 : 0;
  }
  std::fprintf(stderr, "usage: window-probe wait TITLE SECONDS | window-probe close TITLE\n");
  return 2;
}
