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

PSID CloneSid(PSID sid, DWORD& length) {
  length = 0;
  if (sid == nullptr) return nullptr;
  if (!IsValidSid(sid)) RaiseLastWin32Error();
  const DWORD size = GetLengthSid(sid);
  TSidBlock block = AllocateSidBlock(size);
  std::memcpy(block.get(), sid, size);
  length = size;
  return block.release();
}

PSID CloneSid(PSID sid) {
  DWORD length = 0;
  return CloneSid(sid, length);
}

void FreeSidBlock(PSID block) { std::free(block); }

TSidBlock AllocateSidBlock(DWORD length) {
  TSidBlock block(std::malloc(length > 0 ? length : 1));
  if (block == nullptr) throw EWin32Error(ERROR_NOT_ENOUGH_MEMORY);
  return block;
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
