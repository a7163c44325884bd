// The network management binding: netapi32.dll is loaded at start (on the NT
// family only) and every entry point the unit knows is looked up by name, so
// that the program has no static dependency on the library. The wrappers of
// the functions the program calls live in namespace VelmarNet, beside the
// system's own declarations of the same names; a wrapper whose entry point
// was not found answers ERROR_CALL_NOT_IMPLEMENTED (120) and calls nothing.
//
// The table is written once before any window or thread exists and only
// read afterwards, so the wrappers need no lock.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "platform/win32api.h"

// Start step: on the NT family, loads "netapi32.dll" and looks up every name
// of NetApiNames() in order. Outside the NT family nothing is loaded.
void NetApiStart();
// End step: releases the library (on the NT family) and empties the table.
void NetApiEnd();

// The 66 names the binding looks up, in look-up order.
const std::vector<std::string>& NetApiNames();
// Whether the look-up of a name found an entry point (false for a name the
// binding does not know).
bool NetApiResolved(const std::string& name);
// Puts another entry point into the slot of a name and gives the one it
// held (none for a name the binding does not know). For tests that stand in
// for one function of the platform; not while other threads call wrappers.
FARPROC NetApiReplaceEntry(const std::string& name, FARPROC entry);
// The module handle kept at start (none before start, outside the NT family
// or when the library could not be loaded).
HMODULE NetApiLibrary();

namespace VelmarNet {

NET_API_STATUS NetUserEnum(LPCWSTR servername, DWORD level, DWORD filter, LPBYTE* bufptr,
                           DWORD prefmaxlen, LPDWORD entriesread, LPDWORD totalentries,
                           LPDWORD resume_handle);
NET_API_STATUS NetGroupEnum(LPCWSTR servername, DWORD level, LPBYTE* bufptr, DWORD prefmaxlen,
                            LPDWORD entriesread, LPDWORD totalentries, PDWORD_PTR resume_handle);
NET_API_STATUS NetLocalGroupEnum(LPCWSTR servername, DWORD level, LPBYTE* bufptr, DWORD prefmaxlen,
                                 LPDWORD entriesread, LPDWORD totalentries,
                                 PDWORD_PTR resumehandle);
NET_API_STATUS NetServerEnum(LMCSTR servername, DWORD level, LPBYTE* bufptr, DWORD prefmaxlen,
                             LPDWORD entriesread, LPDWORD totalentries, DWORD servertype,
                             LMCSTR domain, LPDWORD resume_handle);
NET_API_STATUS NetGetAnyDCName(LPCWSTR servername, LPCWSTR domainname, LPBYTE* bufptr);
NET_API_STATUS NetServerGetInfo(LMSTR servername, DWORD level, LPBYTE* bufptr);
NET_API_STATUS NetApiBufferFree(LPVOID Buffer);

// ---------------------------------------------------------------- helpers
using WideString = std::basic_string<WCHAR>;

// Text of the system code page to UTF-16 and back.
WideString ToWide(const std::string& text);
std::string FromWide(LPCWSTR text);

// The name of a controller of `domain` that answers (NetGetAnyDCName), without
// the two leading backslashes the function gives; false when none answers.
bool AnyDomainController(const std::string& domain, std::string& server);

// The server argument of the account enumerations: "\\" followed by the
// server's name, or no string at all for an empty name (this computer).
// ServerArgument gives the pointer to pass: null for an empty name.
class ServerArgument {
 public:
  explicit ServerArgument(const std::string& server);
  LPCWSTR get() const { return server_.empty() ? nullptr : server_.c_str(); }

 private:
  WideString server_;
};

// A buffer returned by a network management function, released with
// NetApiBufferFree when the holder goes (a null buffer is not released).
class NetBuffer {
 public:
  NetBuffer() = default;
  ~NetBuffer() { Release(); }
  NetBuffer(const NetBuffer&) = delete;
  NetBuffer& operator=(const NetBuffer&) = delete;
  // Releases what is held and gives the slot to pass as the out buffer.
  LPBYTE* Receive() {
    Release();
    return &buffer_;
  }
  LPBYTE get() const { return buffer_; }
  void Release();

 private:
  LPBYTE buffer_ = nullptr;
};

// One call of a batched enumeration at a preferred maximum length: fills
// the buffer, the entries read and the total, and advances the resume
// handle the enumeration keeps; returns the status.
using BatchCall =
    std::function<NET_API_STATUS(DWORD preferredLength, LPBYTE* buffer, DWORD* entriesRead,
                                 DWORD* totalEntries, DWORD_PTR* resume)>;

// How the batches of an enumeration are asked for and read.
struct BatchShape {
  DWORD preferredLength;  // of the first call
  size_t stride;          // bytes of one record
  // The computer list's rule: a batch with no entries, or with as many as
  // the total the call reports, is the last, whatever its status.
  bool totalTellsTheEnd = false;
};

// After this many batches in a row that answer ERROR_MORE_DATA without an
// entry and without moving the resume handle, the enumeration gives up:
// such a server repeats itself for ever (Wine's NetUserEnum at a preferred
// length of one byte does).
constexpr int MaxEmptyBatches = 3;

// What an enumeration that was asked to stop answers (ERROR_CANCELLED).
constexpr NET_API_STATUS EnumerationStopped = 1223;

// Runs a batched enumeration, the resume handle starting at 0: calls `call`
// until the status is 0, handing each record of every valid batch (status 0
// or ERROR_MORE_DATA) to `record` and releasing every returned buffer.
//
// A batch of ERROR_MORE_DATA with no entries is followed by a further call,
// but MaxEmptyBatches of them in a row with the resume handle standing
// still end the enumeration with ERROR_MORE_DATA. A batch of ERROR_MORE_DATA
// with entries and a resume handle that did not move comes from a function
// that cannot resume (NetServerEnum): asked again it would give the same
// batch for ever, so the rest is asked for in one call of unlimited length
// (the resume handle back at 0) and read from the first entry not yet read.
//
// `stop`, when given, is asked after each record and before each call but
// the first; when it answers true the enumeration ends with EnumerationStopped.
// Returns 0 when the enumeration went through, else the failing status.
NET_API_STATUS EnumerateBatches(const BatchCall& call, const BatchShape& shape,
                                const std::function<void(const BYTE* record)>& record,
                                const std::function<bool()>& stop = {});

// The preferred maximum length of the account enumerations' batches: a
// domain of 10,000 users comes in a handful of calls rather than one call per
// account, and no single answer grows without bound.
constexpr DWORD AccountBatchLength = 64 * 1024;

// The three account enumerations of a server ("" for this computer), each
// name of each batch in order handed to `name`. Level 0 (users with filter
// FILTER_NORMAL_ACCOUNT), batches of AccountBatchLength bytes. Returns 0 or
// the failing status.
NET_API_STATUS EnumerateUsers(const std::string& server,
                              const std::function<void(const std::string&)>& name);
NET_API_STATUS EnumerateLocalGroups(const std::string& server,
                                    const std::function<void(const std::string&)>& name);
NET_API_STATUS EnumerateGroups(const std::string& server,
                               const std::function<void(const std::string&)>& name);
// The browser's list through NetServerEnum (no server, no domain) at a level
// and for a server type, batched as `shape` says; see EnumerateBatches.
NET_API_STATUS EnumerateServers(DWORD level, DWORD serverType, const BatchShape& shape,
                                const std::function<void(const BYTE* record)>& record,
                                const std::function<bool()>& stop = {});
// The domains (and workgroups) the network browser lists: NetServerEnum at
// level 100, 4096 bytes, SV_TYPE_DOMAIN_ENUM.
NET_API_STATUS EnumerateDomains(const std::function<void(const std::string&)>& name);

}  // namespace VelmarNet
