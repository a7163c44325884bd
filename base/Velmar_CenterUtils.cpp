#include "base/Velmar_CenterUtils.h"

#include <cstdlib>
#include <cstring>

namespace {

std::string FormatCode(DWORD code) {
  if (code == 0) return "A Win32 API function failed";
  return "Win32 Error.  Code: " + std::to_string(code) + ".\n" + SystemErrorText(code);
}

}  // namespace

EWin32Error::EWin32Error(DWORD code) : Exception(FormatCode(code)), code_(code) {}

std::string SystemErrorText(DWORD code) {
  char buffer[256];
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY, nullptr,
                                code, 0, buffer, sizeof buffer, nullptr);
  if (length > sizeof buffer) length = 0;
  std::string text(buffer, length);
  while (!text.empty()) {
    unsigned char last = static_cast<unsigned char>(text.back());
    if (last <= ' ' || last == '.')
      text.pop_back();
    else
      break;
  }
  return text;
}

std::string Win32ErrorMessage(DWORD code) { return FormatCode(code); }

std::string LastWin32ErrorMessage() { return FormatCode(GetLastError()); }

void RaiseLastWin32Error() { throw EWin32Error(GetLastError()); }

TSid CloneSid(PSID sid) {
  if (sid == nullptr) return {};
  if (!IsValidSid(sid)) RaiseLastWin32Error();
  TSid copy(GetLengthSid(sid));
  std::memcpy(copy.get(), sid, copy.Length());
  return copy;
}

PLSA_UNICODE_STRING CopyLsaUnicodeString(const LSA_UNICODE_STRING* source) {
  if (source == nullptr) return nullptr;
  const size_t header = sizeof(LSA_UNICODE_STRING);
  void* block = std::malloc(header + source->MaximumLength);
  if (block == nullptr) throw EWin32Error(ERROR_NOT_ENOUGH_MEMORY);
  auto* copy = static_cast<PLSA_UNICODE_STRING>(block);
  // Length never counts more than the buffer holds, nor half a character.
  USHORT length = source->Length;
  if (length > source->MaximumLength) length = source->MaximumLength;
  length &= static_cast<USHORT>(~1u);
  if (source->Buffer == nullptr) length = 0;
  copy->Length = length;
  copy->MaximumLength = source->MaximumLength;
  copy->Buffer = reinterpret_cast<PWSTR>(static_cast<char*>(block) + header);
  if (length > 0) std::memcpy(copy->Buffer, source->Buffer, length);
  return copy;
}

void FreeLsaUnicodeString(PLSA_UNICODE_STRING block) { std::free(block); }

std::string ThisComputerName() {
  char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof name;
  if (!GetComputerNameA(name, &size)) return {};
  name[MAX_COMPUTERNAME_LENGTH] = '\0';
  return name;
}
