#include "platform/Records.h"

#include <cstdlib>
#include <cstring>

#include "platform/WideText.h"

namespace tavrin::platform::records {

namespace {

size_t RecordSize(DWORD level) {
  switch (level) {
    case 0:
      return sizeof(USER_INFO_0);
    case 100:
      return sizeof(SERVER_INFO_100);
    default:
      return sizeof(SERVER_INFO_101);
  }
}

size_t EntryBytes(DWORD level, const NetEntry& e) {
  size_t bytes = RecordSize(level) + (e.name.size() + 1) * sizeof(WCHAR);
  if (level == 101) bytes += sizeof(WCHAR);  // the empty comment
  return bytes;
}

bool Fits(const char* buffer, DWORD capacity, const std::string& text) {
  return buffer != nullptr && capacity >= text.size() + 1;
}

}  // namespace

LPBYTE PackNetEntries(DWORD level, const std::vector<NetEntry>& entries) {
  if (entries.empty()) return nullptr;
  size_t bytes = 0;
  for (const NetEntry& e : entries) bytes += EntryBytes(level, e);
  auto* block = static_cast<uint8_t*>(std::malloc(bytes));
  if (block == nullptr) return nullptr;
  auto* chars = reinterpret_cast<WCHAR*>(block + RecordSize(level) * entries.size());
  auto putString = [&](const std::u16string& text) {
    WCHAR* at = chars;
    std::memcpy(chars, text.data(), text.size() * sizeof(WCHAR));
    chars[text.size()] = 0;
    chars += text.size() + 1;
    return at;
  };
  for (size_t k = 0; k < entries.size(); ++k) {
    const NetEntry& e = entries[k];
    if (level == 0) {
      reinterpret_cast<USER_INFO_0*>(block)[k].usri0_name = putString(e.name);
    } else if (level == 100) {
      auto& r = reinterpret_cast<SERVER_INFO_100*>(block)[k];
      r.sv100_platform_id = PLATFORM_ID_NT;
      r.sv100_name = putString(e.name);
    } else {
      auto& r = reinterpret_cast<SERVER_INFO_101*>(block)[k];
      r.sv101_platform_id = PLATFORM_ID_NT;
      r.sv101_name = putString(e.name);
      r.sv101_version_major = e.major;
      r.sv101_version_minor = e.minor;
      r.sv101_type = e.type;
      r.sv101_comment = putString(u"");
    }
  }
  return block;
}

NET_API_STATUS BatchNetEntries(DWORD level, size_t total,
                               const std::function<NetEntry(size_t)>& entryAt, size_t first,
                               DWORD prefmaxlen, LPBYTE* bufptr, LPDWORD entriesread,
                               size_t& next) {
  std::vector<NetEntry> batch;
  size_t bytes = 0;
  while (first + batch.size() < total) {
    NetEntry e = entryAt(first + batch.size());
    const size_t more = EntryBytes(level, e);
    if (!batch.empty() && prefmaxlen != MAX_PREFERRED_LENGTH && bytes + more > prefmaxlen) break;
    bytes += more;
    batch.push_back(std::move(e));
    if (prefmaxlen != MAX_PREFERRED_LENGTH && bytes >= prefmaxlen) break;
  }
  *bufptr = PackNetEntries(level, batch);
  if (!batch.empty() && *bufptr == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
  *entriesread = static_cast<DWORD>(batch.size());
  next = first + batch.size();
  return next < total ? ERROR_MORE_DATA : NERR_Success;
}

NET_API_STATUS ServeFromResumePoint(DWORD level, size_t total,
                                    const std::function<NetEntry(size_t)>& entryAt,
                                    DWORD prefmaxlen, LPBYTE* bufptr, LPDWORD entriesread,
                                    LPDWORD totalentries, size_t& resumeAt) {
  const size_t first = resumeAt;
  if (first >= total) {
    resumeAt = 0;
    return NERR_Success;
  }
  size_t next = 0;
  const NET_API_STATUS status =
      BatchNetEntries(level, total, entryAt, first, prefmaxlen, bufptr, entriesread, next);
  if (status != NERR_Success && status != ERROR_MORE_DATA) return status;
  *totalentries = static_cast<DWORD>(total - first);
  resumeAt = status == ERROR_MORE_DATA ? next : 0;
  return status;
}

PLSA_UNICODE_STRING PackRightNames(const std::vector<std::string>& names) {
  std::vector<std::u16string> wide;
  size_t bytes = names.size() * sizeof(LSA_UNICODE_STRING);
  for (const std::string& r : names) {
    wide.push_back(text::Utf8ToUtf16(r));
    bytes += (wide.back().size() + 1) * sizeof(WCHAR);
  }
  auto* block = static_cast<uint8_t*>(std::malloc(bytes == 0 ? 1 : bytes));
  if (block == nullptr) return nullptr;
  auto* array = reinterpret_cast<LSA_UNICODE_STRING*>(block);
  auto* chars = reinterpret_cast<WCHAR*>(block + names.size() * sizeof(LSA_UNICODE_STRING));
  for (size_t i = 0; i < wide.size(); ++i) {
    std::memcpy(chars, wide[i].data(), wide[i].size() * sizeof(WCHAR));
    chars[wide[i].size()] = 0;
    array[i].Buffer = chars;
    array[i].Length = static_cast<USHORT>(wide[i].size() * sizeof(WCHAR));
    array[i].MaximumLength = static_cast<USHORT>((wide[i].size() + 1) * sizeof(WCHAR));
    chars += wide[i].size() + 1;
  }
  return array;
}

PLSA_ENUMERATION_INFORMATION PackSids(const std::vector<std::vector<uint8_t>>& sids) {
  size_t bytes = sids.size() * sizeof(LSA_ENUMERATION_INFORMATION);
  for (const auto& sid : sids) bytes += (sid.size() + 3) & ~size_t{3};  // DWORD-aligned
  auto* block = static_cast<uint8_t*>(std::malloc(bytes == 0 ? 1 : bytes));
  if (block == nullptr) return nullptr;
  auto* array = reinterpret_cast<LSA_ENUMERATION_INFORMATION*>(block);
  uint8_t* next = block + sids.size() * sizeof(LSA_ENUMERATION_INFORMATION);
  for (size_t i = 0; i < sids.size(); ++i) {
    std::memcpy(next, sids[i].data(), sids[i].size());
    array[i].Sid = next;
    next += (sids[i].size() + 3) & ~size_t{3};
  }
  return array;
}

std::string LsaText(const LSA_UNICODE_STRING* s) {
  if (s == nullptr || s->Buffer == nullptr || s->Length == 0) return {};
  std::u16string_view text(s->Buffer, s->Length / sizeof(WCHAR));
  while (!text.empty() && text.back() == 0) text.remove_suffix(1);  // a counted terminator
  return text::Utf16ToUtf8(text);
}

bool NameLookupArgsValid(LPCSTR accountName, PSID sid, LPDWORD cbSid, LPSTR domain,
                         LPDWORD cchDomain) {
  return accountName != nullptr && cbSid != nullptr && cchDomain != nullptr &&
         (sid != nullptr || *cbSid == 0) && (domain != nullptr || *cchDomain == 0);
}

bool SidLookupArgsValid(LPSTR name, LPDWORD cchName, LPSTR domain, LPDWORD cchDomain) {
  return cchName != nullptr && cchDomain != nullptr && (name != nullptr || *cchName == 0) &&
         (domain != nullptr || *cchDomain == 0);
}

BOOL AnswerNameLookup(const Account& a, PSID sid, LPDWORD cbSid, LPSTR domain, LPDWORD cchDomain,
                      PSID_NAME_USE use) {
  const DWORD sidNeeded = static_cast<DWORD>(a.sid.size());
  if (sid == nullptr || *cbSid < sidNeeded || !Fits(domain, *cchDomain, a.domain)) {
    *cbSid = sidNeeded;
    *cchDomain = static_cast<DWORD>(a.domain.size() + 1);
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(sid, a.sid.data(), a.sid.size());
  std::memcpy(domain, a.domain.c_str(), a.domain.size() + 1);
  *cbSid = sidNeeded;
  *cchDomain = static_cast<DWORD>(a.domain.size());
  if (use != nullptr) *use = a.use;
  return TRUE;
}

BOOL AnswerSidLookup(const Account& a, LPSTR name, LPDWORD cchName, LPSTR domain, LPDWORD cchDomain,
                     PSID_NAME_USE use) {
  if (!Fits(name, *cchName, a.name) || !Fits(domain, *cchDomain, a.domain)) {
    *cchName = static_cast<DWORD>(a.name.size() + 1);
    *cchDomain = static_cast<DWORD>(a.domain.size() + 1);
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(name, a.name.c_str(), a.name.size() + 1);
  std::memcpy(domain, a.domain.c_str(), a.domain.size() + 1);
  *cchName = static_cast<DWORD>(a.name.size());
  *cchDomain = static_cast<DWORD>(a.domain.size());
  if (use != nullptr) *use = a.use;
  return TRUE;
}

}  // namespace tavrin::platform::records
