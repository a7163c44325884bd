#include "sid/Velmar_SidCenterNames.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

#include "sid/Velmar_SidCenter.h"

namespace {

struct NameCache {
  std::mutex mutex;
  std::condition_variable done;
  std::unordered_map<std::string, TSidName> names;  // by SID text
  std::unordered_set<std::string> asking;           // SIDs a thread is looking up now
  size_t lookups = 0;
};

NameCache& Cache() {
  static NameCache* cache = new NameCache;  // outlives the threads of a run's end
  return *cache;
}

// A look-up another thread makes is waited for this long at most (the
// platform bounds each call well within it); past it, the caller asks itself.
constexpr std::chrono::seconds kWaitForOther{30};

}  // namespace

std::string TSidName::FullName() const {
  if (!named) return sid;
  return domain.empty() ? name : domain + "\\" + name;
}

TSidName SidNameCached(const std::string& server, PSID sid) {
  TSidName found;
  TvmSidCenter center;
  center.SetServer(server);
  center.SetSid(sid);
  found.sid = center.SidString();

  NameCache& cache = Cache();
  std::unique_lock<std::mutex> lock(cache.mutex);
  cache.done.wait_for(lock, kWaitForOther, [&] { return !cache.asking.count(found.sid); });
  if (auto it = cache.names.find(found.sid); it != cache.names.end()) return it->second;
  cache.asking.insert(found.sid);
  ++cache.lookups;
  lock.unlock();

  found.name = center.UserName();  // one LookupAccountSidA on the server
  found.domain = center.Domain();
  found.named = !found.name.empty();

  lock.lock();
  cache.asking.erase(found.sid);
  if (found.named) cache.names[found.sid] = found;
  lock.unlock();
  cache.done.notify_all();
  return found;
}

size_t SidNameLookups() {
  std::lock_guard<std::mutex> lock(Cache().mutex);
  return Cache().lookups;
}

void SidNameCacheClear() {
  std::lock_guard<std::mutex> lock(Cache().mutex);
  Cache().names.clear();
  Cache().lookups = 0;
}
