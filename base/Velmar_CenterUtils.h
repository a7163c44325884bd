// Shared services: the exception types, the system error convention and
// copies of SIDs.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

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

// An owned copy of a binary SID, or none. A value: it copies, moves and
// is released like a string. A SID is at most 68 bytes and the same
// account goes to every worker of a pass and to every reader of a list,
// so copies cost nothing worth sharing a block for, and no owner has to
// remember to release one.
class TSid {
 public:
  TSid() = default;
  // A zeroed block of `length` bytes for a system call to fill.
  explicit TSid(DWORD length) : bytes_(length) {}
  // The block, for the system calls; none when there is no SID.
  PSID get() const { return bytes_.empty() ? nullptr : const_cast<BYTE*>(bytes_.data()); }
  DWORD Length() const { return static_cast<DWORD>(bytes_.size()); }
  explicit operator bool() const { return !bytes_.empty(); }

 private:
  std::vector<BYTE> bytes_;
};

// Copies a SID into a block of exactly GetLengthSid bytes. An absent SID
// gives none. A malformed SID raises EWin32Error for the last error
// IsValidSid left.
TSid CloneSid(PSID sid);

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
