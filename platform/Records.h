// The answers both network implementations off Windows give in the
// system's own shapes: NetApi record blocks and their batches, the block of
// right names LsaEnumerateAccountRights returns, and the buffer protocol of
// the account lookups. Blocks come from malloc; the caller registers them
// with the matching free function.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/win32api.h"

namespace tavrin::platform::records {

// One entry of a level-0, 100 or 101 NetApi answer.
struct NetEntry {
  std::u16string name;
  DWORD type = 0;
  DWORD major = 0, minor = 0;
};

// One block: the records of `entries`, then their strings. Null when empty
// or out of memory.
LPBYTE PackNetEntries(DWORD level, const std::vector<NetEntry>& entries);

// The batch protocol of the enumerations: from `first`, as many whole
// entries as fit in `prefmaxlen` (at least one), ERROR_MORE_DATA while
// entries remain. Only the entries of the batch are made. `next` receives
// the index after the batch.
NET_API_STATUS BatchNetEntries(DWORD level, size_t total,
                               const std::function<NetEntry(size_t)>& entryAt, size_t first,
                               DWORD prefmaxlen, LPBYTE* bufptr, LPDWORD entriesread, size_t& next);

// The account enumerations' batch from a resume point: `resumeAt` is the
// index to start from and receives the next one (0 once the list is done);
// `totalentries` counts the entries from the start point on. On a failure
// nothing but the status is given.
NET_API_STATUS ServeFromResumePoint(DWORD level, size_t total,
                                    const std::function<NetEntry(size_t)>& entryAt,
                                    DWORD prefmaxlen, LPBYTE* bufptr, LPDWORD entriesread,
                                    LPDWORD totalentries, size_t& resumeAt);

// The block of LSA_UNICODE_STRINGs followed by their characters.
PLSA_UNICODE_STRING PackRightNames(const std::vector<std::string>& names);

// The block LsaEnumerateAccountsWithUserRight returns: the array of
// LSA_ENUMERATION_INFORMATION, then the SIDs it points to (each in the
// Windows layout, given whole). Null when out of memory.
PLSA_ENUMERATION_INFORMATION PackSids(const std::vector<std::vector<uint8_t>>& sids);

// The text of a counted LSA string, without a counted terminator.
std::string LsaText(const LSA_UNICODE_STRING* s);

// The buffer protocol of LookupAccountNameA and LookupAccountSidA, once the
// answer is known: the answer copied when every buffer holds it, otherwise
// ERROR_INSUFFICIENT_BUFFER with the sizes needed.
struct Account {
  std::vector<uint8_t> sid;
  std::string name;
  std::string domain;
  SID_NAME_USE use = SidTypeUnknown;
};
// Whether the size arguments are usable: a null buffer must come with 0.
bool NameLookupArgsValid(LPCSTR accountName, PSID sid, LPDWORD cbSid, LPSTR domain,
                         LPDWORD cchDomain);
bool SidLookupArgsValid(LPSTR name, LPDWORD cchName, LPSTR domain, LPDWORD cchDomain);
BOOL AnswerNameLookup(const Account& a, PSID sid, LPDWORD cbSid, LPSTR domain, LPDWORD cchDomain,
                      PSID_NAME_USE use);
BOOL AnswerSidLookup(const Account& a, LPSTR name, LPDWORD cchName, LPSTR domain, LPDWORD cchDomain,
                     PSID_NAME_USE use);

}  // namespace tavrin::platform::records
