// Shared services: the exception types, the system error convention and
// copies of SIDs.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include "platform/win32api.h"

// A plain exception with a message.
class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  std::string Message() const { return what(); }
};

// The silent abort: unwinds the current operation and is never shown.
class EAbort : public Exception {
 public:
  EAbort() : Exception("Operation aborted") {}
};

// A text that could not be converted (a malformed SID text, for instance).
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// A failed system call. The message is "Win32 Error.  Code: %d.\n%s" with
// the system's text for the code, or "A Win32 API function failed" for 0.
class EWin32Error : public Exception {
 public:
  explicit EWin32Error(DWORD code);
  DWORD ErrorCode() const { return code_; }

 private:
  DWORD code_;
};

// The system's message text for a code (FormatMessageA, FROM_SYSTEM with
// ARGUMENT_ARRAY, 256 bytes), trailing control characters, blanks and full
// stops removed; empty when the system has no text.
std::string SystemErrorText(DWORD code);

// The message EWin32Error carries for a code.
std::string Win32ErrorMessage(DWORD code);

// The message EWin32Error would carry for the thread's last error; never raises.
std::string LastWin32ErrorMessage();

// This computer's name (GetComputerNameA); empty when the system gives none.
std::string ThisComputerName();

// Raises EWin32Error for the thread's last error.
[[noreturn]] void RaiseLastWin32Error();

// Copies a SID into a new block of exactly GetLengthSid bytes and gives its
// length. An absent SID gives no block and length 0. A malformed SID raises
// EWin32Error for the last error IsValidSid left. The caller owns the block
// and releases it with FreeSidBlock.
PSID CloneSid(PSID sid, DWORD& length);
PSID CloneSid(PSID sid);
void FreeSidBlock(PSID block);

// An owned SID block, released with FreeSidBlock.
struct TSidBlockFree {
  void operator()(PSID block) const { FreeSidBlock(block); }
};
using TSidBlock = std::unique_ptr<void, TSidBlockFree>;

// A new, uninitialised SID block of `length` bytes (at least one byte is
// allocated); raises EWin32Error when memory runs out.
TSidBlock AllocateSidBlock(DWORD length);

// Copies an LSA string into one new block: the header, then room for the
// source's MaximumLength bytes, with Buffer pointing just past the header.
// The characters are copied as they are; no terminator is added. A string
// that did not come from the LSA is copied safely: at most MaximumLength
// bytes and only whole UTF-16 units are taken from the source (the copy's
// Length says how many), and a null Buffer copies no characters. An absent
// source gives no block. The caller owns the block and releases it with
// FreeLsaUnicodeString.
PLSA_UNICODE_STRING CopyLsaUnicodeString(const LSA_UNICODE_STRING* source);
void FreeLsaUnicodeString(PLSA_UNICODE_STRING block);
