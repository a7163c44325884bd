// Inner workings of the simulated network: the model, its indexes and the
// shared state behind the Windows functions. Not for use outside platform/sim.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/Records.h"
#include "platform/WideText.h"
#include "platform/sim/SimNetwork.h"
#include "platform/win32api.h"

namespace tavrin::sim {
namespace text = tavrin::platform::text;
namespace records = tavrin::platform::records;
}  // namespace tavrin::sim

namespace tavrin::sim::detail {

// ---------------------------------------------------------------- text
// The shared text helpers of the platform (platform/WideText.h).
using text::AppendUtf8;
using text::DecodeUtf8;
using text::FoldUpper;
using text::StripBackslashes;
using text::UpperKey;
using text::Utf16ToUtf8;
using text::Utf8ToUtf16;
using text::WideArg;
// A text as an error message shows it: NUL and the other control characters
// as \u0000 escapes, and at most `limit` characters, a longer text cut with
// "...". Messages never carry a description's text any other way.
std::string Shown(std::string_view text, size_t limit = 64);
// The same in single quotes.
std::string Quoted(std::string_view text);

// ---------------------------------------------------------------- SIDs
using SidBytes = std::vector<uint8_t>;
bool ParseSidText(const std::string& text, SidBytes& out);
std::string SidText(const void* sid);  // the SID must be valid
bool SidIsValid(const void* sid);
size_t SidSize(const void* sid);
uint8_t SidSubCount(const void* sid);
uint32_t SidSub(const void* sid, int index);
uint64_t SidAuthority(const void* sid);

// Every right name Windows knows (privileges and logon rights), by upper-case
// name; the value is the canonical spelling.
const std::unordered_map<std::string, std::string>& KnownRights();

// ---------------------------------------------------------------- model
struct Account {
  std::string name;
  AccountKind kind;
  uint32_t rid;
};

// One account database: a computer's own, or a domain's (held by its
// controllers).
struct AccountDb {
  std::string name;     // the computer's or the domain's name
  std::string sidText;  // S-1-5-21-a-b-c
  SidBytes sid;
  std::vector<Account> accounts;                   // in RID order
  std::unordered_map<std::string, size_t> byName;  // upper-case name
  std::unordered_map<uint32_t, size_t> byRid;
  std::vector<size_t> users, globalGroups, localGroups;  // indexes, in RID order
};

struct Computer {
  std::string name;
  std::string upper;
  Role role = Role::Workstation;
  int domain = -1;  // index in Model::domains
  bool answers = true;
  bool policyDenied = false;
  bool listed = true;
  int db = -1;  // its account database (a controller's is the domain's)
  std::unordered_map<std::string, std::vector<std::string>> policy;  // SID text -> rights
};

struct Domain {
  std::string name;
  std::string upper;
  bool workgroup = false;
  bool listed = true;
  int db = -1;                   // the domain's account database, if it has a controller
  std::vector<int> controllers;  // computer indexes
  std::vector<int> members;      // every computer in it, controllers included, in order
};

struct Model {
  NetworkSpec description;  // as installed; answers, denial and policies live below
  std::vector<Computer> computers;
  std::unordered_map<std::string, int> computerByName;
  std::vector<Domain> domains;
  std::unordered_map<std::string, int> domainByName;
  std::vector<AccountDb> dbs;
  std::unordered_map<std::string, int> dbBySid;
  int thisComputer = 0;
  SidBytes currentUserSid;
  uint32_t platformId = 2;
  bool browserAnswers = true;
};

// Builds the model of a description; throws NetworkDescriptionError whose
// text is "<field path>: <problem>".
void BuildModel(const NetworkSpec& description, Model& model);

// A name or SID as one computer's account lookups see it.
using Resolved = records::Account;
bool ResolveName(const Model& m, const Computer& asked, const std::string& accountName,
                 Resolved& out);
bool ResolveSid(const Model& m, const Computer& asked, const void* sid, Resolved& out);

// ---------------------------------------------------------------- state
struct PolicyHandle {
  uint32_t magic;
  std::string computer;  // upper-case name
  ACCESS_MASK access;
};

struct State {
  std::mutex mutex;
  bool installed = false;
  Model model;
  // faults
  int failWriteAt = 0;      // 0: none
  std::string failWriteOn;  // the computer whose writes count (upper case); "": all
  int writesSeen = 0;
  int32_t failWriteStatus = 0;
  std::map<std::pair<std::string, std::string>, uint32_t> enumFaults;
  std::set<std::string> hiddenExports;  // "ADVAPI32.DLL!Name"
  std::set<std::string> hiddenLibraries;
  std::atomic<int64_t> latencyUs{0};
  std::atomic<int64_t> timeoutUs{0};
  // call log
  std::vector<Call> calls;
  std::unordered_map<std::string, size_t> callCounts;
  // handles and buffers
  std::unordered_set<void*> policies;
  std::unordered_set<void*> tokens;
  std::unordered_set<void*> netBuffers;
  std::unordered_set<void*> lsaBuffers;
  std::map<std::string, int> libraryRefs;  // "ADVAPI32.DLL" -> loads not yet freed
};

State& TheState();
// Takes the model's lock, installing the built-in network on first use.
std::unique_lock<std::mutex> LockModel();
// Waits the per-call latency; call before taking the lock.
void NetworkDelay();
// The same for a call that names its target: a call to this computer (no
// name, or an empty one) is answered locally, without the network's latency.
void NetworkDelay(const char* systemName);
void NetworkDelay(const WCHAR* serverName);
void LogCall(State& s, const char* function, std::string target, std::string argument);

// The computer a system name designates: null or empty is this computer.
// Returns null for an unknown name; `upper` receives the name as logged
// ("" for this computer).
Computer* FindSystem(Model& m, const std::string& systemName, std::string& logged);
// Whether a call to that computer gets an answer (this computer always does).
bool Reachable(const Model& m, const Computer* c);
// The same for a call holding the model's lock: a known computer that does
// not answer makes the call wait for the network's time-out first, with the
// lock released (the caller then only returns its failure).
bool Unanswered(std::unique_lock<std::mutex>& lock, const Model& m, const Computer* c);
// The status an enumeration fault injects for the function and targets, or 0.
uint32_t EnumFault(const State& s, const std::string& function,
                   std::initializer_list<std::string> targets);

}  // namespace tavrin::sim::detail
