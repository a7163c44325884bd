// Small helpers shared by the tests that call the simulated platform directly.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "platform/win32api.h"

namespace tavrin::test {

using Names = std::vector<std::string>;

// A binary SID from its text form (revision 1, decimal authority).
inline std::vector<BYTE> SidBytes(const std::string& text) {
  std::vector<uint64_t> parts;
  std::stringstream in(text.substr(2));
  for (std::string piece; std::getline(in, piece, '-');) parts.push_back(std::stoull(piece));
  std::vector<BYTE> sid(8 + 4 * (parts.size() - 2), 0);
  sid[0] = static_cast<BYTE>(parts[0]);
  sid[1] = static_cast<BYTE>(parts.size() - 2);
  for (int b = 0; b < 6; ++b) sid[2 + b] = static_cast<BYTE>(parts[1] >> (8 * (5 - b)));
  for (size_t k = 2; k < parts.size(); ++k) {
    const DWORD v = static_cast<DWORD>(parts[k]);
    std::memcpy(&sid[8 + 4 * (k - 2)], &v, 4);
  }
  return sid;
}

// An LSA string over a UTF-16 text that outlives it, without a terminating
// zero: the LSA must not need one.
inline LSA_UNICODE_STRING LsaString(const std::u16string& text) {
  const auto length = static_cast<USHORT>(text.size() * sizeof(WCHAR));
  return LSA_UNICODE_STRING{length, length, const_cast<WCHAR*>(text.data())};
}

inline std::string Narrow(const WCHAR* text) {
  std::string out;
  for (; text && *text; ++text) out.push_back(static_cast<char>(*text < 0x80 ? *text : '?'));
  return out;
}

inline std::string Narrow(const LSA_UNICODE_STRING& s) {
  return std::string(s.Buffer, s.Buffer + s.Length / sizeof(WCHAR));
}

// Opens a policy; empty computer: this computer.
inline NTSTATUS OpenPolicy(const std::u16string& computer, LSA_HANDLE& handle,
                           ACCESS_MASK access = POLICY_LOOKUP_NAMES | POLICY_CREATE_ACCOUNT) {
  LSA_OBJECT_ATTRIBUTES attributes{};
  attributes.Length = sizeof attributes;
  LSA_UNICODE_STRING name = LsaString(computer);
  return LsaOpenPolicy(computer.empty() ? nullptr : &name, &attributes, access, &handle);
}

// Reads a SID's rights through the LSA, checking the array's strings and
// releasing it.
inline NTSTATUS EnumerateRights(LSA_HANDLE policy, const std::string& sidText, Names& names) {
  std::vector<BYTE> sid = SidBytes(sidText);
  PLSA_UNICODE_STRING rights = nullptr;
  ULONG count = 99;
  names.clear();
  const NTSTATUS status = LsaEnumerateAccountRights(policy, sid.data(), &rights, &count);
  if (status != STATUS_SUCCESS) {
    EXPECT_EQ(rights, nullptr) << "no array on failure";
    return status;
  }
  for (ULONG i = 0; i < count; ++i) {
    EXPECT_EQ(rights[i].MaximumLength, rights[i].Length + sizeof(WCHAR));
    EXPECT_EQ(rights[i].Buffer[rights[i].Length / sizeof(WCHAR)], 0);
    names.push_back(Narrow(rights[i]));
  }
  EXPECT_EQ(LsaFreeMemory(rights), STATUS_SUCCESS);
  return status;
}

// The first call of the account lookup's two-call protocol: the error, and
// the sizes it asks for.
struct SizeQuery {
  DWORD error = 0, sidSize = 0, domainSize = 0;
};
inline SizeQuery NameSizeQuery(const char* system, const char* name) {
  SizeQuery q;
  SID_NAME_USE use;
  SetLastError(0);
  const BOOL ok =
      LookupAccountNameA(system, name, nullptr, &q.sidSize, nullptr, &q.domainSize, &use);
  q.error = ok ? 0 : GetLastError();
  return q;
}

// One NetServerEnum call, its buffer read and released.
struct ServerList {
  NET_API_STATUS status = 0;
  DWORD read = 0, total = 0;
  Names names;
  std::vector<DWORD> types;  // level 101 only
  bool nullOnFailure = true;
};
inline ServerList ServerEnum(DWORD level = 101, DWORD prefmaxlen = 4096,
                             const char16_t* domain = nullptr, const char16_t* server = nullptr,
                             DWORD resume = 0, DWORD type = SV_TYPE_ALL) {
  ServerList list;
  LPBYTE buffer = nullptr;
  list.status = NetServerEnum(server, level, &buffer, prefmaxlen, &list.read, &list.total, type,
                              domain, &resume);
  if (list.status != NERR_Success && list.status != ERROR_MORE_DATA) {
    list.nullOnFailure = buffer == nullptr;
    return list;
  }
  for (DWORD i = 0; i < list.read; ++i) {
    if (level == 101) {
      const auto& info = reinterpret_cast<const SERVER_INFO_101*>(buffer)[i];
      list.names.push_back(Narrow(info.sv101_name));
      list.types.push_back(info.sv101_type);
    } else {
      list.names.push_back(Narrow(reinterpret_cast<const SERVER_INFO_100*>(buffer)[i].sv100_name));
    }
  }
  NetApiBufferFree(buffer);
  return list;
}

}  // namespace tavrin::test
