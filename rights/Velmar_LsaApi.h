// The LSA policy functions of "advapi32.dll", resolved by name at start.
//
// LsaApiStart loads the library and looks up every LSA function the program
// knows of; LsaApiEnd releases the library. The program calls the LSA only
// through the guarded entries of namespace LsaApi: each takes the arguments
// of the platform function of the same name and returns its result, or
// answers ERROR_CALL_NOT_IMPLEMENTED (120) without calling anything when the
// function was not found. So the program starts where the LSA is missing and
// fails only when a right is read or changed.
#pragma once

#include "platform/win32api.h"

// Start step: LoadLibraryA("advapi32.dll"), then GetProcAddress for each
// name in lookup order. Never raises; a missing library or name is silent.
void LsaApiStart();
// End step: FreeLibrary on the library; afterwards every entry answers 120.
void LsaApiEnd();

namespace LsaApi {

// The names looked up at start, in lookup order.
constexpr int FunctionCount = 18;
extern const char* const FunctionNames[FunctionCount];

// Whether the function of that name was found at start.
bool Resolved(const char* name);

NTSTATUS LsaFreeMemory(PVOID Buffer);
NTSTATUS LsaClose(LSA_HANDLE ObjectHandle);
NTSTATUS LsaOpenPolicy(PLSA_UNICODE_STRING SystemName, PLSA_OBJECT_ATTRIBUTES ObjectAttributes,
                       ACCESS_MASK DesiredAccess, PLSA_HANDLE PolicyHandle);
NTSTATUS LsaEnumerateAccountRights(LSA_HANDLE PolicyHandle, PSID AccountSid,
                                   PLSA_UNICODE_STRING* UserRights, PULONG CountOfRights);
NTSTATUS LsaEnumerateAccountsWithUserRight(LSA_HANDLE PolicyHandle, PLSA_UNICODE_STRING UserRight,
                                           PVOID* Buffer, PULONG CountReturned);
NTSTATUS LsaAddAccountRights(LSA_HANDLE PolicyHandle, PSID AccountSid,
                             PLSA_UNICODE_STRING UserRights, ULONG CountOfRights);
NTSTATUS LsaRemoveAccountRights(LSA_HANDLE PolicyHandle, PSID AccountSid, BOOLEAN AllRights,
                                PLSA_UNICODE_STRING UserRights, ULONG CountOfRights);
ULONG LsaNtStatusToWinError(NTSTATUS Status);

}  // namespace LsaApi

// An open LSA policy handle, owned: closed through LsaApi::LsaClose (its
// status ignored) when it is replaced, closed or the holder goes.
class TLsaPolicy {
 public:
  TLsaPolicy() = default;
  ~TLsaPolicy() { Close(); }
  TLsaPolicy(const TLsaPolicy&) = delete;
  TLsaPolicy& operator=(const TLsaPolicy&) = delete;

  LSA_HANDLE Get() const { return handle_; }
  bool IsOpen() const { return handle_ != nullptr; }
  // Takes over a handle that LsaOpenPolicy gave, closing the one held.
  void Reset(LSA_HANDLE handle) {
    if (handle_ != nullptr && handle_ != handle) LsaApi::LsaClose(handle_);
    handle_ = handle;
  }
  void Close() { Reset(nullptr); }

 private:
  LSA_HANDLE handle_ = nullptr;
};
