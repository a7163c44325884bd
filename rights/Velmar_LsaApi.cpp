#include "rights/Velmar_LsaApi.h"

#include <cstring>

namespace LsaApi {

const char* const FunctionNames[FunctionCount] = {
    "LsaFreeMemory",                      // 0
    "LsaClose",                           // 1
    "LsaOpenPolicy",                      // 2
    "LsaQueryInformationPolicy",          // 3
    "LsaSetInformationPolicy",            // 4
    "LsaEnumerateTrustedDomains",         // 5
    "LsaLookupNames",                     // 6
    "LsaLookupSids",                      // 7
    "LsaEnumerateAccountsWithUserRight",  // 8
    "LsaEnumerateAccountRights",          // 9
    "LsaAddAccountRights",                // 10
    "LsaRemoveAccountRights",             // 11
    "LsaQueryTrustedDomainInfo",          // 12
    "LsaSetTrustedDomainInformation",     // 13
    "LsaDeleteTrustedDomain",             // 14
    "LsaStorePrivateData",                // 15
    "LsaRetrievePrivateData",             // 16
    "LsaNtStatusToWinError",              // 17
};

namespace {

enum Slot {
  slotFreeMemory = 0,
  slotClose = 1,
  slotOpenPolicy = 2,
  slotEnumerateAccountsWithUserRight = 8,
  slotEnumerateAccountRights = 9,
  slotAddAccountRights = 10,
  slotRemoveAccountRights = 11,
  slotNtStatusToWinError = 17,
};

// Written by the start and end steps only, before and after every other use.
HMODULE gLibrary = nullptr;
FARPROC gTable[FunctionCount] = {};

// The entry of a slot as the platform function's own type.
template <typename Function>
Function Entry(Slot slot) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(gTable[slot]));
}

constexpr NTSTATUS kNotImplemented = static_cast<NTSTATUS>(ERROR_CALL_NOT_IMPLEMENTED);

}  // namespace

bool Resolved(const char* name) {
  for (int i = 0; i < FunctionCount; ++i)
    if (std::strcmp(FunctionNames[i], name) == 0) return gTable[i] != nullptr;
  return false;
}

NTSTATUS LsaFreeMemory(PVOID Buffer) {
  auto function = Entry<decltype(&::LsaFreeMemory)>(slotFreeMemory);
  return function ? function(Buffer) : kNotImplemented;
}

NTSTATUS LsaClose(LSA_HANDLE ObjectHandle) {
  auto function = Entry<decltype(&::LsaClose)>(slotClose);
  return function ? function(ObjectHandle) : kNotImplemented;
}

NTSTATUS LsaOpenPolicy(PLSA_UNICODE_STRING SystemName, PLSA_OBJECT_ATTRIBUTES ObjectAttributes,
                       ACCESS_MASK DesiredAccess, PLSA_HANDLE PolicyHandle) {
  auto function = Entry<decltype(&::LsaOpenPolicy)>(slotOpenPolicy);
  return function ? function(SystemName, ObjectAttributes, DesiredAccess, PolicyHandle)
                  : kNotImplemented;
}

NTSTATUS LsaEnumerateAccountRights(LSA_HANDLE PolicyHandle, PSID AccountSid,
                                   PLSA_UNICODE_STRING* UserRights, PULONG CountOfRights) {
  auto function = Entry<decltype(&::LsaEnumerateAccountRights)>(slotEnumerateAccountRights);
  return function ? function(PolicyHandle, AccountSid, UserRights, CountOfRights) : kNotImplemented;
}

NTSTATUS LsaEnumerateAccountsWithUserRight(LSA_HANDLE PolicyHandle, PLSA_UNICODE_STRING UserRight,
                                           PVOID* Buffer, PULONG CountReturned) {
  auto function =
      Entry<decltype(&::LsaEnumerateAccountsWithUserRight)>(slotEnumerateAccountsWithUserRight);
  return function ? function(PolicyHandle, UserRight, Buffer, CountReturned) : kNotImplemented;
}

NTSTATUS LsaAddAccountRights(LSA_HANDLE PolicyHandle, PSID AccountSid,
                             PLSA_UNICODE_STRING UserRights, ULONG CountOfRights) {
  auto function = Entry<decltype(&::LsaAddAccountRights)>(slotAddAccountRights);
  return function ? function(PolicyHandle, AccountSid, UserRights, CountOfRights) : kNotImplemented;
}

NTSTATUS LsaRemoveAccountRights(LSA_HANDLE PolicyHandle, PSID AccountSid, BOOLEAN AllRights,
                                PLSA_UNICODE_STRING UserRights, ULONG CountOfRights) {
  auto function = Entry<decltype(&::LsaRemoveAccountRights)>(slotRemoveAccountRights);
  return function ? function(PolicyHandle, AccountSid, AllRights, UserRights, CountOfRights)
                  : kNotImplemented;
}

ULONG LsaNtStatusToWinError(NTSTATUS Status) {
  auto function = Entry<decltype(&::LsaNtStatusToWinError)>(slotNtStatusToWinError);
  return function ? function(Status) : ERROR_CALL_NOT_IMPLEMENTED;
}

}  // namespace LsaApi

void LsaApiStart() {
  LsaApiEnd();
  LsaApi::gLibrary = LoadLibraryA("advapi32.dll");
  // Without the library there is nothing to look up: every entry stays empty.
  if (LsaApi::gLibrary == nullptr) return;
  for (int i = 0; i < LsaApi::FunctionCount; ++i)
    LsaApi::gTable[i] = GetProcAddress(LsaApi::gLibrary, LsaApi::FunctionNames[i]);
}

void LsaApiEnd() {
  for (FARPROC& entry : LsaApi::gTable) entry = nullptr;
  if (LsaApi::gLibrary != nullptr) FreeLibrary(LsaApi::gLibrary);
  LsaApi::gLibrary = nullptr;
}
