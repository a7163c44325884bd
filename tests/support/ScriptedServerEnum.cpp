#include "tests/support/ScriptedServerEnum.h"

#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <stdexcept>

#include "pickers/Velmar_Net.h"

namespace tavrin::test {
namespace {

std::mutex gLock;
std::vector<std::u16string> gNames;
DWORD gLevel = 100;
std::set<void*> gBlocks;
FARPROC gPreviousEnum = nullptr;
FARPROC gPreviousFree = nullptr;
std::condition_variable gChanged;
size_t gCalls = 0;
bool gHold = false;
size_t gHoldFrom = 1;
bool gMoreDataToTheEnd = false;
size_t gHeld = 0;
size_t gRaiseFrom = 0;  // 0: never
std::string gRaiseText;

NET_API_STATUS WINAPI StandInServerEnum(LMCSTR, DWORD level, LPBYTE* bufptr, DWORD prefmaxlen,
                                        LPDWORD entriesread, LPDWORD totalentries, DWORD, LMCSTR,
                                        LPDWORD) {
  std::unique_lock<std::mutex> guard(gLock);
  ++gCalls;
  ++gHeld;
  gChanged.notify_all();
  const size_t call = gCalls;
  gChanged.wait(guard, [call] { return !gHold || call < gHoldFrom; });
  --gHeld;
  if (gRaiseFrom != 0 && gCalls >= gRaiseFrom) throw std::runtime_error(gRaiseText);
  *bufptr = nullptr;
  *entriesread = 0;
  *totalentries = static_cast<DWORD>(gNames.size());
  if (level != gLevel) return ERROR_INVALID_LEVEL;
  const size_t record = level == 100 ? sizeof(SERVER_INFO_100) : sizeof(SERVER_INFO_101);
  // As many entries as fit the preferred length, at least one.
  size_t count = 0, bytes = 0;
  while (count < gNames.size()) {
    const size_t more = record + (gNames[count].size() + 1) * sizeof(WCHAR);
    if (count > 0 && prefmaxlen != MAX_PREFERRED_LENGTH && bytes + more > prefmaxlen) break;
    bytes += more;
    ++count;
  }
  if (count == 0) return NERR_Success;
  auto* block = static_cast<BYTE*>(std::calloc(1, bytes));
  auto* text = reinterpret_cast<WCHAR*>(block + record * count);
  for (size_t i = 0; i < count; ++i) {
    WCHAR* name = text;
    for (char16_t c : gNames[i]) *text++ = static_cast<WCHAR>(c);
    *text++ = 0;
    if (level == 100)
      reinterpret_cast<SERVER_INFO_100*>(block)[i].sv100_name = name;
    else
      reinterpret_cast<SERVER_INFO_101*>(block)[i].sv101_name = name;
  }
  gBlocks.insert(block);
  *bufptr = block;
  *entriesread = static_cast<DWORD>(count);
  return count < gNames.size() || gMoreDataToTheEnd ? ERROR_MORE_DATA : NERR_Success;
}

NET_API_STATUS WINAPI StandInBufferFree(LPVOID buffer) {
  {
    std::lock_guard<std::mutex> guard(gLock);
    if (gBlocks.erase(buffer)) {
      std::free(buffer);
      return NERR_Success;
    }
  }
  return reinterpret_cast<decltype(&::NetApiBufferFree)>(
      reinterpret_cast<void (*)()>(gPreviousFree))(buffer);
}

}  // namespace

ScriptedServerEnum::ScriptedServerEnum(std::vector<std::string> names, DWORD level) {
  std::lock_guard<std::mutex> guard(gLock);
  gCalls = 0;
  gRaiseFrom = 0;
  gMoreDataToTheEnd = false;
  // Buffers an earlier stand-in could not have released.
  for (void* block : gBlocks) std::free(block);
  gBlocks.clear();
  gNames.clear();
  for (const std::string& name : names) gNames.push_back(VelmarNet::ToWide(name));
  gLevel = level;
  gPreviousEnum = NetApiReplaceEntry(
      "NetServerEnum", reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&StandInServerEnum)));
  gPreviousFree = NetApiReplaceEntry(
      "NetApiBufferFree",
      reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&StandInBufferFree)));
}

ScriptedServerEnum::~ScriptedServerEnum() {
  Release();
  NetApiReplaceEntry("NetServerEnum", gPreviousEnum);
  NetApiReplaceEntry("NetApiBufferFree", gPreviousFree);
}

size_t ScriptedServerEnum::Outstanding() const {
  std::lock_guard<std::mutex> guard(gLock);
  return gBlocks.size();
}

size_t ScriptedServerEnum::Calls() const {
  std::lock_guard<std::mutex> guard(gLock);
  return gCalls;
}

void ScriptedServerEnum::Hold(size_t call) {
  std::lock_guard<std::mutex> guard(gLock);
  gHold = true;
  gHoldFrom = call;
}

void ScriptedServerEnum::Release() {
  std::lock_guard<std::mutex> guard(gLock);
  gHold = false;
  gChanged.notify_all();
}

void ScriptedServerEnum::WaitUntilHeld() const {
  std::unique_lock<std::mutex> guard(gLock);
  gChanged.wait(guard, [] { return gHold && gHeld > 0; });
}

void ScriptedServerEnum::MoreDataToTheEnd() {
  std::lock_guard<std::mutex> guard(gLock);
  gMoreDataToTheEnd = true;
}

void ScriptedServerEnum::RaiseFrom(size_t call, std::string text) {
  std::lock_guard<std::mutex> guard(gLock);
  gRaiseFrom = call;
  gRaiseText = std::move(text);
}

}  // namespace tavrin::test
