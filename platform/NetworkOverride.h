// Another network behind the Windows functions off Windows. The simulated
// network implements them; while an override is set, the account lookups,
// this computer's name, the user the program acts as and every export the
// override answers come from it instead (the real network through Samba's
// client libraries sets one). The kernel functions (last error, texts,
// conversions) stay the simulation's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32api.h"

namespace tavrin::platform {

// What the other network answers; `exportOf` answers null for the exports
// it leaves alone.
struct NetworkOverride {
  FARPROC (*exportOf)(const char* library, const char* name) = nullptr;  // "ADVAPI32.DLL"
  decltype(&::LookupAccountNameA) lookupAccountName = nullptr;
  decltype(&::LookupAccountSidA) lookupAccountSid = nullptr;
  // This computer's name; false with the last error set.
  bool (*thisComputerName)(std::string& name) = nullptr;
  // The SID of the user the program acts as; false with the last error set.
  bool (*userSid)(std::vector<uint8_t>& sid) = nullptr;
};
// Sets the override (null: the simulated network answers again). The
// object must outlive its use.
void SetOverride(const NetworkOverride* override);
const NetworkOverride* Override();

}  // namespace tavrin::platform
