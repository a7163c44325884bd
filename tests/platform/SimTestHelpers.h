// Small helpers shared by the simulated network's tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "platform/win32api.h"

namespace tavrin::test {

// A binary SID from its text form (revision 1, decimal authority).
inline std::vector<BYTE> SidBytes(const std::string& text) {
  std::vector<uint64_t> parts;
  std::stringstream in(text.substr(2));
  std::string piece;
  while (std::getline(in, piece, '-')) parts.push_back(std::stoull(piece));
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

// An LSA string over a UTF-16 text that outlives it.
inline LSA_UNICODE_STRING LsaString(const std::u16string& text) {
  LSA_UNICODE_STRING s;
  s.Length = static_cast<USHORT>(text.size() * sizeof(WCHAR));
  s.MaximumLength = s.Length;  // no terminating zero: the LSA must not need one
  s.Buffer = const_cast<WCHAR*>(text.data());
  return s;
}

inline std::string Narrow(const WCHAR* text) {
  std::string out;
  for (; text && *text; ++text) out.push_back(static_cast<char>(*text < 0x80 ? *text : '?'));
  return out;
}

inline std::string Narrow(const LSA_UNICODE_STRING& s) {
  std::string out;
  for (size_t i = 0; i < s.Length / sizeof(WCHAR); ++i)
    out.push_back(static_cast<char>(s.Buffer[i]));
  return out;
}

// Opens a policy; empty computer: this computer.
inline NTSTATUS OpenPolicy(const std::u16string& computer, LSA_HANDLE& handle,
                           ACCESS_MASK access = POLICY_LOOKUP_NAMES | POLICY_CREATE_ACCOUNT) {
  LSA_OBJECT_ATTRIBUTES attributes{};
  attributes.Length = sizeof attributes;
  LSA_UNICODE_STRING name = LsaString(computer);
  return LsaOpenPolicy(computer.empty() ? nullptr : &name, &attributes, access, &handle);
}

}  // namespace tavrin::test
