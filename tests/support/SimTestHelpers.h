// Small helpers of the tests that call the simulated platform directly.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32api.h"
#include "sid/Velmar_SidCenter.h"

namespace tavrin::test {

using Names = std::vector<std::string>;

// The last error of a call that fails, 0 for one that succeeds.
inline DWORD ErrorOf(BOOL ok) { return ok ? 0 : GetLastError(); }

// A binary SID from its text form, by the SID center's parser (its own tests pin it).
inline std::vector<BYTE> SidBytes(const std::string& text) {
  TvmSidCenter center;
  center.SetSidString(text);
  const auto* sid = static_cast<const BYTE*>(center.GetSid());
  return std::vector<BYTE>(sid, sid + center.SidLength());
}

// An LSA string over a text that outlives it, without the zero the LSA must not need.
inline LSA_UNICODE_STRING LsaString(const std::u16string& text) {
  const auto length = static_cast<USHORT>(text.size() * sizeof(WCHAR));
  return LSA_UNICODE_STRING{length, length, const_cast<WCHAR*>(text.data())};
}

// The ASCII of a UTF-16 text ('?' for others): `length` units, or up to its zero.
inline std::string Narrow(const WCHAR* text, size_t length = SIZE_MAX) {
  std::string out;
  for (size_t i = 0; text != nullptr && i < length && text[i] != 0; ++i)
    out.push_back(static_cast<char>(text[i] < 0x80 ? text[i] : '?'));
  return out;
}

inline NTSTATUS OpenPolicy(const std::u16string& computer, LSA_HANDLE& handle,
                           ACCESS_MASK access = POLICY_LOOKUP_NAMES | POLICY_CREATE_ACCOUNT) {
  LSA_OBJECT_ATTRIBUTES attributes{};
  attributes.Length = sizeof attributes;
  LSA_UNICODE_STRING name = LsaString(computer);
  return LsaOpenPolicy(computer.empty() ? nullptr : &name, &attributes, access, &handle);
}

// Reads a SID's rights through the LSA, checking the array's strings.
inline NTSTATUS EnumerateRights(LSA_HANDLE policy, const std::string& sidText, Names& names) {
  PLSA_UNICODE_STRING rights = nullptr;
  ULONG count = 99;
  names.clear();
  const NTSTATUS status =
      LsaEnumerateAccountRights(policy, SidBytes(sidText).data(), &rights, &count);
  if (status != STATUS_SUCCESS) {
    EXPECT_EQ(rights, nullptr) << "no array on failure";
    return status;
  }
  for (ULONG i = 0; i < count; ++i) {
    EXPECT_EQ(rights[i].MaximumLength, rights[i].Length + sizeof(WCHAR));
    EXPECT_EQ(rights[i].Buffer[rights[i].Length / sizeof(WCHAR)], 0);
    names.push_back(Narrow(rights[i].Buffer, rights[i].Length / sizeof(WCHAR)));
  }
  EXPECT_EQ(LsaFreeMemory(rights), STATUS_SUCCESS);
  return status;
}

// The SID texts of the accounts holding `right` (none: every account),
// through LsaEnumerateAccountsWithUserRight; the block is checked and freed.
inline NTSTATUS EnumerateHolders(LSA_HANDLE policy, const std::u16string* right, Names& sids) {
  PVOID block = nullptr;
  ULONG count = 99;
  sids.clear();
  LSA_UNICODE_STRING name = right ? LsaString(*right) : LSA_UNICODE_STRING{};
  const NTSTATUS status =
      LsaEnumerateAccountsWithUserRight(policy, right ? &name : nullptr, &block, &count);
  if (status != STATUS_SUCCESS) {
    EXPECT_EQ(block, nullptr) << "no array on failure";
    return status;
  }
  const auto* entries = static_cast<const LSA_ENUMERATION_INFORMATION*>(block);
  for (ULONG i = 0; i < count; ++i) {
    EXPECT_TRUE(IsValidSid(entries[i].Sid));
    TvmSidCenter center;
    center.SetSid(entries[i].Sid);
    sids.push_back(center.SidString());
  }
  EXPECT_EQ(LsaFreeMemory(block), STATUS_SUCCESS);
  return status;
}

// One NetServerEnum call at level 100 or 101, its buffer read and released.
struct ServerList {
  NET_API_STATUS status = 0;
  DWORD read = 0, total = 0;
  Names names;
  std::vector<DWORD> types;  // level 101 only
};
inline ServerList ServerEnum(DWORD level = 101, DWORD prefmaxlen = 4096,
                             const char16_t* domain = nullptr, const char16_t* server = nullptr,
                             DWORD resume = 0, DWORD type = SV_TYPE_ALL) {
  ServerList list;
  LPBYTE buffer = nullptr;
  list.status = NetServerEnum(server, level, &buffer, prefmaxlen, &list.read, &list.total, type,
                              domain, &resume);
  EXPECT_TRUE(list.status == NERR_Success || list.status == ERROR_MORE_DATA || !buffer);
  const auto* v100 = reinterpret_cast<const SERVER_INFO_100*>(buffer);
  const auto* v101 = reinterpret_cast<const SERVER_INFO_101*>(buffer);
  for (DWORD i = 0; buffer != nullptr && i < list.read; ++i) {
    list.names.push_back(Narrow(level == 101 ? v101[i].sv101_name : v100[i].sv100_name));
    if (level == 101) list.types.push_back(v101[i].sv101_type);
  }
  NetApiBufferFree(buffer);
  return list;
}

}  // namespace tavrin::test
