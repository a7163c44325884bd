// The Windows security, network-management and system functions Tavrin calls,
// by their Windows names and with the layouts of 64-bit Windows.
//
// On Windows this header brings in the system headers. Everywhere else it
// declares the same types, constants and functions, and platform/sim/
// implements them over a simulated Windows NT network.
#pragma once

#if defined(_WIN32)

#ifndef NOMINMAX
#define NOMINMAX
#endif
// The order matters: the status codes come from ntstatus.h, not windows.h.
// clang-format off
#define WIN32_NO_STATUS
#include <windows.h>
#undef WIN32_NO_STATUS
#include <ntstatus.h>
#include <ntsecapi.h>
#include <lm.h>
// clang-format on

#else  // the simulated platform

#include <cstdarg>
#include <cstddef>
#include <cstdint>

// ---------------------------------------------------------------- base types
#define WINAPI
#define NTAPI
#define APIENTRY

typedef uint8_t BYTE;
typedef uint8_t UCHAR;
typedef uint8_t BOOLEAN;
typedef uint16_t WORD;
typedef uint16_t USHORT;
typedef uint32_t DWORD;
typedef uint32_t ULONG;
typedef uint32_t UINT;
typedef int32_t LONG;
typedef int32_t INT;
typedef int32_t BOOL;
typedef char CHAR;
typedef char16_t WCHAR;  // UTF-16 code unit, as on Windows
typedef int32_t NTSTATUS;
typedef DWORD NET_API_STATUS;
typedef DWORD ACCESS_MASK;
typedef uintptr_t ULONG_PTR;
typedef uintptr_t DWORD_PTR;
typedef intptr_t INT_PTR;
typedef size_t SIZE_T;

typedef void *PVOID, *LPVOID, *HANDLE;
typedef const void* LPCVOID;
typedef HANDLE* PHANDLE;
typedef BYTE *PBYTE, *LPBYTE;
typedef DWORD *PDWORD, *LPDWORD;
typedef ULONG* PULONG;
typedef DWORD_PTR* PDWORD_PTR;
typedef BOOL* LPBOOL;
typedef CHAR *LPSTR, *PSTR, *LPCH;
typedef const CHAR *LPCSTR, *PCSTR, *LPCCH;
typedef WCHAR *LPWSTR, *PWSTR, *LPWCH;
typedef const WCHAR *LPCWSTR, *PCWSTR, *LPCWCH;
typedef LPWSTR LMSTR;
typedef LPCWSTR LMCSTR;

struct HINSTANCE__;
typedef HINSTANCE__ *HINSTANCE, *HMODULE;
typedef INT_PTR (*FARPROC)();

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// ---------------------------------------------------------------- constants
// System error codes
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD NO_ERROR = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_INVALID_DATA = 13;
constexpr DWORD ERROR_BAD_NETPATH = 53;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_BUFFER_OVERFLOW = 111;
constexpr DWORD ERROR_CALL_NOT_IMPLEMENTED = 120;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_INVALID_LEVEL = 124;
constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
constexpr DWORD ERROR_PROC_NOT_FOUND = 127;
constexpr DWORD ERROR_MORE_DATA = 234;
constexpr DWORD ERROR_MR_MID_NOT_FOUND = 317;
constexpr DWORD ERROR_NOACCESS = 998;
constexpr DWORD ERROR_NO_SUCH_PRIVILEGE = 1313;
constexpr DWORD ERROR_LOGON_FAILURE = 1326;
constexpr DWORD ERROR_NONE_MAPPED = 1332;
constexpr DWORD ERROR_INVALID_SID = 1337;
constexpr DWORD ERROR_NO_SUCH_DOMAIN = 1355;
constexpr DWORD ERROR_NO_SYSTEM_RESOURCES = 1450;
constexpr DWORD RPC_S_SERVER_UNAVAILABLE = 1722;
constexpr DWORD RPC_S_CALL_FAILED_DNE = 1727;
constexpr DWORD ERROR_TRUSTED_DOMAIN_FAILURE = 1788;
constexpr DWORD ERROR_NO_BROWSER_SERVERS_FOUND = 6118;

// Network management status codes
constexpr NET_API_STATUS NERR_Success = 0;
constexpr NET_API_STATUS NERR_BASE = 2100;
constexpr NET_API_STATUS NERR_BufTooSmall = 2123;
constexpr NET_API_STATUS NERR_InvalidComputer = 2351;
constexpr NET_API_STATUS NERR_UserNotFound = 2221;
constexpr NET_API_STATUS NERR_GroupNotFound = 2220;
constexpr NET_API_STATUS NERR_DCNotFound = 2453;

// NTSTATUS values
constexpr NTSTATUS STATUS_SUCCESS = 0;
constexpr NTSTATUS STATUS_NO_MORE_ENTRIES = (NTSTATUS)0x8000001A;
constexpr NTSTATUS STATUS_ACCESS_VIOLATION = (NTSTATUS)0xC0000005;
constexpr NTSTATUS STATUS_INVALID_HANDLE = (NTSTATUS)0xC0000008;
constexpr NTSTATUS STATUS_INVALID_PARAMETER = (NTSTATUS)0xC000000D;
constexpr NTSTATUS STATUS_ACCESS_DENIED = (NTSTATUS)0xC0000022;
constexpr NTSTATUS STATUS_OBJECT_NAME_NOT_FOUND = (NTSTATUS)0xC0000034;
constexpr NTSTATUS STATUS_NO_SUCH_PRIVILEGE = (NTSTATUS)0xC0000060;
constexpr NTSTATUS STATUS_NONE_MAPPED = (NTSTATUS)0xC0000073;
constexpr NTSTATUS STATUS_INVALID_SID = (NTSTATUS)0xC0000078;
constexpr NTSTATUS STATUS_INSUFFICIENT_RESOURCES = (NTSTATUS)0xC000009A;
constexpr NTSTATUS STATUS_NO_SUCH_DOMAIN = (NTSTATUS)0xC00000DF;
constexpr NTSTATUS STATUS_TRUSTED_DOMAIN_FAILURE = (NTSTATUS)0xC000018C;
constexpr NTSTATUS RPC_NT_SERVER_UNAVAILABLE = (NTSTATUS)0xC0020017;

// Version
constexpr DWORD VER_PLATFORM_WIN32s = 0;
constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

// FormatMessage
constexpr DWORD FORMAT_MESSAGE_ALLOCATE_BUFFER = 0x00000100;
constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200;
constexpr DWORD FORMAT_MESSAGE_FROM_STRING = 0x00000400;
constexpr DWORD FORMAT_MESSAGE_FROM_HMODULE = 0x00000800;
constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;
constexpr DWORD FORMAT_MESSAGE_ARGUMENT_ARRAY = 0x00002000;

// Code pages
constexpr UINT CP_ACP = 0;
constexpr UINT CP_UTF8 = 65001;

constexpr DWORD MAX_COMPUTERNAME_LENGTH = 15;

// Security
constexpr BYTE SID_REVISION = 1;
constexpr BYTE SID_MAX_SUB_AUTHORITIES = 15;
constexpr DWORD SECURITY_MAX_SID_SIZE = 68;
constexpr DWORD TOKEN_QUERY = 0x0008;
constexpr ACCESS_MASK POLICY_VIEW_LOCAL_INFORMATION = 0x00000001;
constexpr ACCESS_MASK POLICY_CREATE_ACCOUNT = 0x00000010;
constexpr ACCESS_MASK POLICY_LOOKUP_NAMES = 0x00000800;
constexpr ACCESS_MASK POLICY_ALL_ACCESS = 0x000F0FFF;

// Network management
constexpr DWORD MAX_PREFERRED_LENGTH = 0xFFFFFFFF;
constexpr DWORD FILTER_NORMAL_ACCOUNT = 0x0002;
constexpr DWORD SV_TYPE_WORKSTATION = 0x00000001;
constexpr DWORD SV_TYPE_SERVER = 0x00000002;
constexpr DWORD SV_TYPE_DOMAIN_CTRL = 0x00000008;
constexpr DWORD SV_TYPE_DOMAIN_BAKCTRL = 0x00000010;
constexpr DWORD SV_TYPE_SERVER_NT = 0x00008000;
constexpr DWORD SV_TYPE_NT = 0x00001000;
constexpr DWORD SV_TYPE_DOMAIN_ENUM = 0x80000000;
constexpr DWORD SV_TYPE_ALL = 0xFFFFFFFF;
constexpr DWORD PLATFORM_ID_NT = 500;

// ---------------------------------------------------------------- records
typedef struct _SID_IDENTIFIER_AUTHORITY {
  BYTE Value[6];
} SID_IDENTIFIER_AUTHORITY, *PSID_IDENTIFIER_AUTHORITY;

typedef struct _SID {
  BYTE Revision;
  BYTE SubAuthorityCount;
  SID_IDENTIFIER_AUTHORITY IdentifierAuthority;
  DWORD SubAuthority[1];
} SID, *PISID;

typedef PVOID PSID;
typedef struct _LUID {
  DWORD LowPart;
  LONG HighPart;
} LUID, *PLUID;

typedef enum _SID_NAME_USE {
  SidTypeUser = 1,
  SidTypeGroup,
  SidTypeDomain,
  SidTypeAlias,
  SidTypeWellKnownGroup,
  SidTypeDeletedAccount,
  SidTypeInvalid,
  SidTypeUnknown,
  SidTypeComputer,
  SidTypeLabel
} SID_NAME_USE,
    *PSID_NAME_USE;

typedef struct _SID_AND_ATTRIBUTES {
  PSID Sid;
  DWORD Attributes;
} SID_AND_ATTRIBUTES, *PSID_AND_ATTRIBUTES;

typedef struct _TOKEN_USER {
  SID_AND_ATTRIBUTES User;
} TOKEN_USER, *PTOKEN_USER;

typedef enum _TOKEN_INFORMATION_CLASS {
  TokenUser = 1,
  TokenGroups,
  TokenPrivileges,
  TokenOwner,
  TokenPrimaryGroup
} TOKEN_INFORMATION_CLASS;

typedef struct _OSVERSIONINFOA {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  CHAR szCSDVersion[128];
} OSVERSIONINFOA, *POSVERSIONINFOA, *LPOSVERSIONINFOA;

typedef struct _LSA_UNICODE_STRING {
  USHORT Length;
  USHORT MaximumLength;
  PWSTR Buffer;
} LSA_UNICODE_STRING, *PLSA_UNICODE_STRING;

typedef struct _LSA_OBJECT_ATTRIBUTES {
  ULONG Length;
  HANDLE RootDirectory;
  PLSA_UNICODE_STRING ObjectName;
  ULONG Attributes;
  PVOID SecurityDescriptor;
  PVOID SecurityQualityOfService;
} LSA_OBJECT_ATTRIBUTES, *PLSA_OBJECT_ATTRIBUTES;

typedef PVOID LSA_HANDLE, *PLSA_HANDLE;

typedef struct _LSA_ENUMERATION_INFORMATION {
  PSID Sid;
} LSA_ENUMERATION_INFORMATION, *PLSA_ENUMERATION_INFORMATION;

typedef struct _USER_INFO_0 {
  LPWSTR usri0_name;
} USER_INFO_0, *PUSER_INFO_0, *LPUSER_INFO_0;

typedef struct _GROUP_INFO_0 {
  LPWSTR grpi0_name;
} GROUP_INFO_0, *PGROUP_INFO_0, *LPGROUP_INFO_0;

typedef struct _LOCALGROUP_INFO_0 {
  LPWSTR lgrpi0_name;
} LOCALGROUP_INFO_0, *PLOCALGROUP_INFO_0, *LPLOCALGROUP_INFO_0;

typedef struct _SERVER_INFO_100 {
  DWORD sv100_platform_id;
  LMSTR sv100_name;
} SERVER_INFO_100, *PSERVER_INFO_100, *LPSERVER_INFO_100;

typedef struct _SERVER_INFO_101 {
  DWORD sv101_platform_id;
  LMSTR sv101_name;
  DWORD sv101_version_major;
  DWORD sv101_version_minor;
  DWORD sv101_type;
  LMSTR sv101_comment;
} SERVER_INFO_101, *PSERVER_INFO_101, *LPSERVER_INFO_101;

static_assert(sizeof(LSA_UNICODE_STRING) == 16, "64-bit Windows layout");
static_assert(sizeof(LSA_OBJECT_ATTRIBUTES) == 48, "64-bit Windows layout");
static_assert(sizeof(SERVER_INFO_100) == 16, "64-bit Windows layout");
static_assert(sizeof(SERVER_INFO_101) == 40, "64-bit Windows layout");
static_assert(sizeof(USER_INFO_0) == 8, "64-bit Windows layout");
static_assert(sizeof(LSA_ENUMERATION_INFORMATION) == 8, "64-bit Windows layout");
static_assert(sizeof(OSVERSIONINFOA) == 148, "Windows layout");
static_assert(sizeof(WCHAR) == 2, "UTF-16 code unit");

// ---------------------------------------------------------------- functions
extern "C" {

// kernel32
BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA lpVersionInformation);
DWORD WINAPI FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                            LPSTR lpBuffer, DWORD nSize, va_list* Arguments);
DWORD WINAPI GetLastError(void);
void WINAPI SetLastError(DWORD dwErrCode);
BOOL WINAPI GetComputerNameA(LPSTR lpBuffer, LPDWORD nSize);
HANDLE WINAPI GetCurrentProcess(void);
BOOL WINAPI CloseHandle(HANDLE hObject);
HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName);
FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
BOOL WINAPI FreeLibrary(HMODULE hLibModule);
int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCCH lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar);
int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWCH lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCCH lpDefaultChar,
                               LPBOOL lpUsedDefaultChar);
void WINAPI Sleep(DWORD dwMilliseconds);
int WINAPI lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2);
DWORD WINAPI CharUpperBuffA(LPSTR lpsz, DWORD cchLength);

// advapi32: accounts and security
BOOL WINAPI LookupAccountNameA(LPCSTR lpSystemName, LPCSTR lpAccountName, PSID Sid, LPDWORD cbSid,
                               LPSTR ReferencedDomainName, LPDWORD cchReferencedDomainName,
                               PSID_NAME_USE peUse);
BOOL WINAPI LookupAccountSidA(LPCSTR lpSystemName, PSID Sid, LPSTR Name, LPDWORD cchName,
                              LPSTR ReferencedDomainName, LPDWORD cchReferencedDomainName,
                              PSID_NAME_USE peUse);
BOOL WINAPI LookupPrivilegeValueA(LPCSTR lpSystemName, LPCSTR lpName, PLUID lpLuid);
BOOL WINAPI OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess, PHANDLE TokenHandle);
BOOL WINAPI GetTokenInformation(HANDLE TokenHandle, TOKEN_INFORMATION_CLASS TokenInformationClass,
                                LPVOID TokenInformation, DWORD TokenInformationLength,
                                PDWORD ReturnLength);
BOOL WINAPI IsValidSid(PSID pSid);
DWORD WINAPI GetLengthSid(PSID pSid);
BOOL WINAPI EqualSid(PSID pSid1, PSID pSid2);

// advapi32: LSA policy
NTSTATUS NTAPI LsaOpenPolicy(PLSA_UNICODE_STRING SystemName,
                             PLSA_OBJECT_ATTRIBUTES ObjectAttributes, ACCESS_MASK DesiredAccess,
                             PLSA_HANDLE PolicyHandle);
NTSTATUS NTAPI LsaClose(LSA_HANDLE ObjectHandle);
NTSTATUS NTAPI LsaFreeMemory(PVOID Buffer);
NTSTATUS NTAPI LsaEnumerateAccountRights(LSA_HANDLE PolicyHandle, PSID AccountSid,
                                         PLSA_UNICODE_STRING* UserRights, PULONG CountOfRights);
NTSTATUS NTAPI LsaEnumerateAccountsWithUserRight(LSA_HANDLE PolicyHandle,
                                                 PLSA_UNICODE_STRING UserRight, PVOID* Buffer,
                                                 PULONG CountReturned);
NTSTATUS NTAPI LsaAddAccountRights(LSA_HANDLE PolicyHandle, PSID AccountSid,
                                   PLSA_UNICODE_STRING UserRights, ULONG CountOfRights);
NTSTATUS NTAPI LsaRemoveAccountRights(LSA_HANDLE PolicyHandle, PSID AccountSid, BOOLEAN AllRights,
                                      PLSA_UNICODE_STRING UserRights, ULONG CountOfRights);
ULONG NTAPI LsaNtStatusToWinError(NTSTATUS Status);

// netapi32
NET_API_STATUS WINAPI NetUserEnum(LPCWSTR servername, DWORD level, DWORD filter, LPBYTE* bufptr,
                                  DWORD prefmaxlen, LPDWORD entriesread, LPDWORD totalentries,
                                  LPDWORD resume_handle);
NET_API_STATUS WINAPI NetGroupEnum(LPCWSTR servername, DWORD level, LPBYTE* bufptr,
                                   DWORD prefmaxlen, LPDWORD entriesread, LPDWORD totalentries,
                                   PDWORD_PTR resume_handle);
NET_API_STATUS WINAPI NetLocalGroupEnum(LPCWSTR servername, DWORD level, LPBYTE* bufptr,
                                        DWORD prefmaxlen, LPDWORD entriesread, LPDWORD totalentries,
                                        PDWORD_PTR resumehandle);
NET_API_STATUS WINAPI NetServerEnum(LMCSTR servername, DWORD level, LPBYTE* bufptr,
                                    DWORD prefmaxlen, LPDWORD entriesread, LPDWORD totalentries,
                                    DWORD servertype, LMCSTR domain, LPDWORD resume_handle);
NET_API_STATUS WINAPI NetGetAnyDCName(LPCWSTR servername, LPCWSTR domainname, LPBYTE* bufptr);
NET_API_STATUS WINAPI NetServerGetInfo(LMSTR servername, DWORD level, LPBYTE* bufptr);
NET_API_STATUS WINAPI NetApiBufferFree(LPVOID Buffer);

}  // extern "C"

#endif  // _WIN32
