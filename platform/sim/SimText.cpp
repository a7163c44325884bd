// Text and SID helpers of the simulation.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "platform/sim/SimModel.h"

namespace tavrin::sim::detail {

// ---------------------------------------------------------------- SIDs

bool ParseSidText(const std::string& text, SidBytes& out) {
  if (text.size() < 4 || (text[0] != 'S' && text[0] != 's') || text[1] != '-') return false;
  std::vector<uint64_t> parts;
  size_t i = 2;
  while (true) {
    if (i >= text.size()) return false;
    uint64_t value = 0;
    size_t start = i;
    if (parts.size() == 1 && text.compare(i, 2, "0x") == 0) {
      i += 2;
      start = i;
      while (i < text.size() && std::isxdigit(static_cast<unsigned char>(text[i]))) {
        const char ch = text[i];
        const int d =
            std::isdigit(static_cast<unsigned char>(ch)) ? ch - '0' : (ch | 0x20) - 'a' + 10;
        value = value * 16 + d;
        if (value > 0xFFFFFFFFFFFFull) return false;
        ++i;
      }
    } else {
      while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        value = value * 10 + (text[i] - '0');
        if (value > 0xFFFFFFFFFFFFull) return false;
        ++i;
      }
    }
    if (i == start) return false;
    parts.push_back(value);
    if (i == text.size()) break;
    if (text[i] != '-') return false;
    ++i;
  }
  // revision, authority, then 0 to 15 sub-authorities
  if (parts.size() < 2 || parts[0] != 1 || parts.size() - 2 > SID_MAX_SUB_AUTHORITIES) return false;
  const size_t count = parts.size() - 2;
  out.assign(8 + 4 * count, 0);
  out[0] = 1;
  out[1] = static_cast<uint8_t>(count);
  for (int b = 0; b < 6; ++b) out[2 + b] = static_cast<uint8_t>(parts[1] >> (8 * (5 - b)));
  for (size_t k = 0; k < count; ++k) {
    if (parts[2 + k] > 0xFFFFFFFFull) return false;
    const uint32_t v = static_cast<uint32_t>(parts[2 + k]);
    std::memcpy(&out[8 + 4 * k], &v, 4);
  }
  return true;
}

bool SidIsValid(const void* sid) {
  if (sid == nullptr) return false;
  const uint8_t* b = static_cast<const uint8_t*>(sid);
  return b[0] == SID_REVISION && b[1] <= SID_MAX_SUB_AUTHORITIES;
}

uint8_t SidSubCount(const void* sid) { return static_cast<const uint8_t*>(sid)[1]; }

size_t SidSize(const void* sid) { return 8 + 4 * static_cast<size_t>(SidSubCount(sid)); }

uint32_t SidSub(const void* sid, int index) {
  uint32_t v;
  std::memcpy(&v, static_cast<const uint8_t*>(sid) + 8 + 4 * index, 4);
  return v;
}

uint64_t SidAuthority(const void* sid) {
  const uint8_t* b = static_cast<const uint8_t*>(sid);
  uint64_t a = 0;
  for (int k = 0; k < 6; ++k) a = (a << 8) | b[2 + k];
  return a;
}

std::string SidText(const void* sid) {
  const uint8_t* b = static_cast<const uint8_t*>(sid);
  std::string out = "S-" + std::to_string(b[0]) + "-";
  const uint64_t a = SidAuthority(sid);
  if (a >> 32) {
    char hex[20];
    std::snprintf(hex, sizeof hex, "0x%012llX", static_cast<unsigned long long>(a));
    out += hex;
  } else {
    out += std::to_string(a);
  }
  for (int k = 0; k < SidSubCount(sid); ++k) out += "-" + std::to_string(SidSub(sid, k));
  return out;
}

const std::unordered_map<std::string, std::string>& KnownRights() {
  static const std::unordered_map<std::string, std::string> rights = [] {
    const char* names[] = {"SeCreateTokenPrivilege",
                           "SeAssignPrimaryTokenPrivilege",
                           "SeLockMemoryPrivilege",
                           "SeIncreaseQuotaPrivilege",
                           "SeUnsolicitedInputPrivilege",
                           "SeMachineAccountPrivilege",
                           "SeTcbPrivilege",
                           "SeSecurityPrivilege",
                           "SeTakeOwnershipPrivilege",
                           "SeLoadDriverPrivilege",
                           "SeSystemProfilePrivilege",
                           "SeSystemtimePrivilege",
                           "SeProfileSingleProcessPrivilege",
                           "SeIncreaseBasePriorityPrivilege",
                           "SeCreatePagefilePrivilege",
                           "SeCreatePermanentPrivilege",
                           "SeBackupPrivilege",
                           "SeRestorePrivilege",
                           "SeShutdownPrivilege",
                           "SeDebugPrivilege",
                           "SeAuditPrivilege",
                           "SeSystemEnvironmentPrivilege",
                           "SeChangeNotifyPrivilege",
                           "SeRemoteShutdownPrivilege",
                           "SeUndockPrivilege",
                           "SeSyncAgentPrivilege",
                           "SeEnableDelegationPrivilege",
                           "SeManageVolumePrivilege",
                           "SeImpersonatePrivilege",
                           "SeCreateGlobalPrivilege",
                           "SeTrustedCredManAccessPrivilege",
                           "SeRelabelPrivilege",
                           "SeIncreaseWorkingSetPrivilege",
                           "SeTimeZonePrivilege",
                           "SeCreateSymbolicLinkPrivilege",
                           "SeDelegateSessionUserImpersonatePrivilege",
                           "SeInteractiveLogonRight",
                           "SeNetworkLogonRight",
                           "SeBatchLogonRight",
                           "SeServiceLogonRight",
                           "SeDenyInteractiveLogonRight",
                           "SeDenyNetworkLogonRight",
                           "SeDenyBatchLogonRight",
                           "SeDenyServiceLogonRight",
                           "SeRemoteInteractiveLogonRight",
                           "SeDenyRemoteInteractiveLogonRight"};
    std::unordered_map<std::string, std::string> map;
    for (const char* n : names) map.emplace(UpperKey(n), n);
    return map;
  }();
  return rights;
}

}  // namespace tavrin::sim::detail
