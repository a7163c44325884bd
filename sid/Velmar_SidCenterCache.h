// The per-server lookup cache of well-known accounts.
//
// LookupAccountNameCached stands in front of LookupAccountNameA: when the
// system cannot map a name, it answers from a list of the server's
// well-known accounts (their SIDs built locally, their names as the server
// reports them), filled once per server on the first failure against it and
// kept until the program ends.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/Velmar_CenterUtils.h"
#include "platform/win32api.h"

// One cached account; owns its SID block.
class TSidCache {
 public:
  // Copies `sid` with CloneSid; FullName is Domain (or "." when empty), "\"
  // and the account name.
  TSidCache(PSID sid, const std::string& domain, const std::string& name);
  PSID Sid() const { return sid_.get(); }
  DWORD SidLength() const { return sid_.Length(); }
  const std::string& Domain() const { return domain_; }
  const std::string& FullName() const { return fullName_; }

 private:
  TSid sid_;
  std::string domain_;
  std::string fullName_;
};

using TSidCacheServerList = std::vector<std::unique_ptr<TSidCache>>;

// The process-wide list of (server key, accounts of that server), in the
// order the servers were first met. Keys compare without regard to case.
class TSidCacheList {
 public:
  // The accounts of a key, or none when the key has no list yet.
  TSidCacheServerList* Find(const std::string& key);
  // Appends an empty list for a key and gives it.
  TSidCacheServerList& Add(const std::string& key);

  size_t Count() const { return servers_.size(); }
  const std::string& Key(size_t index) const { return servers_[index].first; }
  const TSidCacheServerList& Accounts(size_t index) const { return *servers_[index].second; }

 private:
  std::vector<std::pair<std::string, std::unique_ptr<TSidCacheServerList>>> servers_;
};

// The process-wide list; none before the start step and after the end step.
TSidCacheList* CacheList();

// Start step: creates the list empty. End step: destroys every entry, every
// server's list and the list.
void SidCacheStart();
void SidCacheEnd();

// The key of a system name: "\" for none or empty, else the name in upper
// case.
std::string SidCacheServerKey(LPCSTR systemName);

// Creates the list of a key at once, then fills it with the server's
// well-known accounts (29 SID-to-name lookups against the server).
void FillCache(const std::string& key);

// Same parameters, result and last error as LookupAccountNameA; a name the
// system cannot map is answered from the server's cached well-known accounts.
// An answer from the cache leaves the name use unwritten.
BOOL LookupAccountNameCached(LPCSTR lpSystemName, LPCSTR lpAccountName, PSID Sid, LPDWORD cbSid,
                             LPSTR ReferencedDomainName, LPDWORD cchReferencedDomainName,
                             PSID_NAME_USE peUse);
