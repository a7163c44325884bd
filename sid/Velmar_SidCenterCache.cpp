// The per-server lookup cache of well-known accounts.
#include "sid/Velmar_SidCenterCache.h"

#include <cstring>

#include "base/Velmar_CenterUtils.h"
#include "sid/Velmar_SidCenter.h"

namespace {

TSidCacheList* gCacheList = nullptr;

}  // namespace

// ------------------------------------------------------------ TSidCache

TSidCache::TSidCache(PSID sid, const std::string& domain, const std::string& name)
    : sid_(CloneSid(sid)),
      domain_(domain),
      fullName_((domain.empty() ? std::string(".") : domain) + "\\" + name) {}

// ------------------------------------------------------------ the list

TSidCacheServerList* TSidCacheList::Find(const std::string& key) {
  for (auto& server : servers_)
    if (lstrcmpiA(server.first.c_str(), key.c_str()) == 0) return server.second.get();
  return nullptr;
}

TSidCacheServerList& TSidCacheList::Add(const std::string& key) {
  servers_.emplace_back(key, std::make_unique<TSidCacheServerList>());
  return *servers_.back().second;
}

TSidCacheList* CacheList() { return gCacheList; }

void SidCacheStart() {
  delete gCacheList;
  gCacheList = new TSidCacheList;
}

void SidCacheEnd() {
  delete gCacheList;
  gCacheList = nullptr;
}

std::string SidCacheServerKey(LPCSTR systemName) {
  if (systemName == nullptr || systemName[0] == '\0') return "\\";
  std::string key = systemName;
  CharUpperBuffA(key.data(), static_cast<DWORD>(key.size()));
  return key;
}

// ------------------------------------------------------------ filling

void FillCache(const std::string& key) {
  TSidCacheList* list = CacheList();
  if (list == nullptr) return;
  // The list exists from now on, whatever happens below: a server is asked
  // once per run.
  TSidCacheServerList& accounts = list->Add(key);

  TvmSidCenter center(nullptr);
  center.SetServer(key == "\\" ? std::string() : key);
  center.SetWellKnown(wkBuildIn);
  const std::string builtinDomain = center.Domain();
  center.SetWellKnown(wkLocalSystem);
  const std::string systemDomain = center.Domain();

  for (int value = wkCurrentUser; value <= wkReplicatorAlias; ++value) {
    if (value >= wkAdmin && value <= wkGuestsGroup) continue;
    center.SetWellKnown(static_cast<TvmWellKnownSid>(value));
    const std::string name = center.UserName();
    if (name.empty()) continue;  // the server has no name for it
    const std::string domain = center.Domain();
    try {
      PSID sid = center.GetSid();
      accounts.push_back(std::make_unique<TSidCache>(sid, domain, name));
      // Accounts of the built-in and the system domain are also found as
      // ".\name". An empty domain already gives that key.
      if (!domain.empty() && (domain == builtinDomain || domain == systemDomain))
        accounts.push_back(std::make_unique<TSidCache>(sid, std::string(), name));
    } catch (const Exception&) {
      // A SID that cannot be built is left out.
    }
  }
}

// ------------------------------------------------------------ lookups

BOOL LookupAccountNameCached(LPCSTR lpSystemName, LPCSTR lpAccountName, PSID Sid, LPDWORD cbSid,
                             LPSTR ReferencedDomainName, LPDWORD cchReferencedDomainName,
                             PSID_NAME_USE peUse) {
  if (LookupAccountNameA(lpSystemName, lpAccountName, Sid, cbSid, ReferencedDomainName,
                         cchReferencedDomainName, peUse))
    return TRUE;
  // Why the system could not answer: it stands when the cache cannot either
  // (a computer that does not answer is not an unknown name).
  const DWORD systemError = GetLastError();
  if (systemError == ERROR_INSUFFICIENT_BUFFER) return FALSE;

  TSidCacheList* list = CacheList();
  if (list == nullptr || lpAccountName == nullptr) return FALSE;  // the system's answer stands
  if (cbSid == nullptr || cchReferencedDomainName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }

  const std::string key = SidCacheServerKey(lpSystemName);
  TSidCacheServerList* accounts = list->Find(key);
  if (accounts == nullptr) {
    FillCache(key);
    accounts = list->Find(key);
  }
  if (accounts != nullptr) {
    for (const auto& entry : *accounts) {
      if (lstrcmpiA(entry->FullName().c_str(), lpAccountName) != 0) continue;
      const DWORD domainSize = static_cast<DWORD>(entry->Domain().size()) + 1;
      if (Sid != nullptr && ReferencedDomainName != nullptr && *cbSid >= entry->SidLength() &&
          domainSize <= *cchReferencedDomainName) {
        std::memcpy(Sid, entry->Sid(), entry->SidLength());
        std::memcpy(ReferencedDomainName, entry->Domain().c_str(), domainSize);
        SetLastError(ERROR_SUCCESS);
        return TRUE;
      }
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      *cbSid = entry->SidLength();
      *cchReferencedDomainName = domainSize;
      return FALSE;
    }
  }
  SetLastError(systemError != ERROR_SUCCESS ? systemError : ERROR_NONE_MAPPED);
  return FALSE;
}
