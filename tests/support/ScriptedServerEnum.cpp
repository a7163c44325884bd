#include "tests/support/ScriptedServerEnum.h"

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <set>
#include <stdexcept>

#include "base/Velmar_Net.h"

namespace tavrin::test {
namespace {

std::mutex gLock;
std::vector<std::u16string> gNames;
DWORD gLevel = 100;
std::set<void*> gBlocks;
FARPROC gPreviousEnum = nullptr, gPreviousFree = nullptr;
std::condition_variable gChanged;
size_t gCalls = 0, gHoldFrom = 1, gHeld = 0, gRaiseFrom = 0;  // gRaiseFrom 0: never
bool gHold = false, gMoreDataToTheEnd = false;
std::string gRaiseText;

// Runs `fn` under the lock and wakes the waiters.
template <typename Fn>
auto Locked(Fn fn) {
  std::lock_guard<std::mutex> guard(gLock);
  gChanged.notify_all();
  return fn();
}

NET_API_STATUS WINAPI StandInServerEnum(LMCSTR, DWORD level, LPBYTE* bufptr, DWORD prefmaxlen,
                                        LPDWORD entriesread, LPDWORD totalentries, DWORD, LMCSTR,
                                        LPDWORD) {
  std::unique_lock<std::mutex> guard(gLock);
  const size_t call = ++gCalls;
  ++gHeld, gChanged.notify_all();
  gChanged.wait(guard, [call] { return !gHold || call < gHoldFrom; });
  --gHeld;
  if (gRaiseFrom != 0 && gCalls >= gRaiseFrom) throw std::runtime_error(gRaiseText);
  *bufptr = nullptr, *entriesread = 0, *totalentries = static_cast<DWORD>(gNames.size());
  if (level != gLevel) return ERROR_INVALID_LEVEL;
  const size_t record = level == 100 ? sizeof(SERVER_INFO_100) : sizeof(SERVER_INFO_101);
  // As many entries as fit the preferred length, at least one.
  size_t count = 0, bytes = 0;
  while (count < gNames.size()) {
    const size_t more = record + (gNames[count].size() + 1) * sizeof(WCHAR);
    if (count > 0 && prefmaxlen != MAX_PREFERRED_LENGTH && bytes + more > prefmaxlen) break;
    bytes += more, ++count;
  }
  if (count == 0) return NERR_Success;
  auto* block = static_cast<BYTE*>(std::calloc(1, bytes));
  auto* text = reinterpret_cast<WCHAR*>(block + record * count);
  for (size_t i = 0; i < count; ++i) {
    WCHAR* name = text;
    for (char16_t c : gNames[i]) *text++ = static_cast<WCHAR>(c);
    *text++ = 0;
    // Both levels start with the platform and the name.
    reinterpret_cast<SERVER_INFO_100*>(block + record * i)->sv100_name = name;
  }
  gBlocks.insert(*bufptr = block);
  *entriesread = static_cast<DWORD>(count);
  return count < gNames.size() || gMoreDataToTheEnd ? ERROR_MORE_DATA : NERR_Success;
}

NET_API_STATUS WINAPI StandInBufferFree(LPVOID buffer) {
  if (Locked([&] { return gBlocks.erase(buffer) > 0; })) return std::free(buffer), NERR_Success;
  return reinterpret_cast<decltype(&::NetApiBufferFree)>(
      reinterpret_cast<void (*)()>(gPreviousFree))(buffer);
}

FARPROC Replace(const char* name, auto* standIn) {
  return NetApiReplaceEntry(name, reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(standIn)));
}

}  // namespace

ScriptedServerEnum::ScriptedServerEnum(std::vector<std::string> names, DWORD level) {
  Locked([&] {
    gCalls = gRaiseFrom = 0;
    gMoreDataToTheEnd = false, gLevel = level;
    for (void* block : gBlocks) std::free(block);  // what an earlier stand-in could not release
    gBlocks.clear(), gNames.clear();
    for (const std::string& name : names) gNames.push_back(VelmarNet::ToWide(name));
  });
  gPreviousEnum = Replace("NetServerEnum", &StandInServerEnum);
  gPreviousFree = Replace("NetApiBufferFree", &StandInBufferFree);
}

ScriptedServerEnum::~ScriptedServerEnum() {
  Release();
  // Blocks whose release the program's end steps took away.
  Locked([] {
    for (void* block : gBlocks) std::free(block);
    gBlocks.clear();
  });
  NetApiReplaceEntry("NetServerEnum", gPreviousEnum);
  NetApiReplaceEntry("NetApiBufferFree", gPreviousFree);
}

size_t ScriptedServerEnum::Outstanding() const {
  return Locked([] { return gBlocks.size(); });
}
size_t ScriptedServerEnum::Calls() const {
  return Locked([] { return gCalls; });
}
void ScriptedServerEnum::Hold(size_t call) {
  Locked([&] { gHold = true, gHoldFrom = call; });
}
void ScriptedServerEnum::Release() {
  Locked([] { gHold = false; });
}
void ScriptedServerEnum::MoreDataToTheEnd() {
  Locked([] { gMoreDataToTheEnd = true; });
}

void ScriptedServerEnum::WaitUntilHeld() const {
  std::unique_lock<std::mutex> guard(gLock);
  gChanged.wait(guard, [] { return gHold && gHeld > 0; });
}

void ScriptedServerEnum::RaiseFrom(size_t call, std::string text) {
  Locked([&] { gRaiseFrom = call, gRaiseText = std::move(text); });
}

}  // namespace tavrin::test
