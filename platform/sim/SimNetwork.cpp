#include <atomic>
// Control surface of the simulated network: the builder, installing a
// network, faults, the call log and the state reads.
#include <algorithm>
#include <cstdlib>

#include "platform/sim/SimModel.h"
#include "platform/sim/SimNetwork.h"

namespace tavrin::sim {

using namespace detail;

// ---------------------------------------------------------------- builder

NetworkBuilder::NetworkBuilder() = default;

namespace {
ComputerSpec& Last(NetworkSpec& description, const char* what) {
  if (description.computers.empty())
    throw NetworkDescriptionError(std::string("NetworkBuilder: ") + what +
                                  " needs a computer started with Computer()");
  return description.computers.back();
}
}  // namespace

NetworkBuilder& NetworkBuilder::ThisComputer(const std::string& name) {
  spec_.thisComputer = name;
  return *this;
}
NetworkBuilder& NetworkBuilder::PlatformId(uint32_t id) {
  spec_.platformId = id;
  return *this;
}
NetworkBuilder& NetworkBuilder::CurrentUser(const std::string& domainBackslashName) {
  spec_.currentUser = domainBackslashName;
  return *this;
}
NetworkBuilder& NetworkBuilder::BrowserAnswers(bool answers) {
  spec_.browserAnswers = answers;
  return *this;
}
NetworkBuilder& NetworkBuilder::Latency(std::chrono::microseconds perCall) {
  spec_.latency = perCall;
  return *this;
}
NetworkBuilder& NetworkBuilder::Timeout(std::chrono::microseconds wait) {
  spec_.timeout = wait;
  return *this;
}
NetworkBuilder& NetworkBuilder::Domain(const std::string& name, bool listed) {
  spec_.domains.push_back({name, false, listed});
  return *this;
}
NetworkBuilder& NetworkBuilder::Workgroup(const std::string& name, bool listed) {
  spec_.domains.push_back({name, true, listed});
  return *this;
}
NetworkBuilder& NetworkBuilder::Computer(const std::string& name, Role role,
                                         const std::string& domain) {
  ComputerSpec c;
  c.name = name;
  c.role = role;
  c.domain = domain;
  spec_.computers.push_back(std::move(c));
  return *this;
}
NetworkBuilder& NetworkBuilder::MachineSid(const std::string& sidText) {
  Last(spec_, "MachineSid").machineSid = sidText;
  return *this;
}
NetworkBuilder& NetworkBuilder::Answers(bool answers) {
  Last(spec_, "Answers").answers = answers;
  return *this;
}
NetworkBuilder& NetworkBuilder::PolicyDenied(bool denied) {
  Last(spec_, "PolicyDenied").policyDenied = denied;
  return *this;
}
NetworkBuilder& NetworkBuilder::Listed(bool listed) {
  Last(spec_, "Listed").listed = listed;
  return *this;
}
NetworkBuilder& NetworkBuilder::User(const std::string& name, uint32_t rid) {
  Last(spec_, "User").accounts.push_back({name, AccountKind::User, rid});
  return *this;
}
NetworkBuilder& NetworkBuilder::GlobalGroup(const std::string& name, uint32_t rid) {
  Last(spec_, "GlobalGroup").accounts.push_back({name, AccountKind::GlobalGroup, rid});
  return *this;
}
NetworkBuilder& NetworkBuilder::LocalGroup(const std::string& name, uint32_t rid) {
  Last(spec_, "LocalGroup").accounts.push_back({name, AccountKind::LocalGroup, rid});
  return *this;
}
NetworkBuilder& NetworkBuilder::Rights(const std::string& sidText,
                                       std::vector<std::string> rightNames) {
  auto& list = Last(spec_, "Rights").rights[sidText];
  for (auto& r : rightNames) list.push_back(std::move(r));
  return *this;
}
NetworkSpec NetworkBuilder::Build() const { return spec_; }

// ---------------------------------------------------------------- install

void ValidateNetwork(const NetworkSpec& description) {
  Model scratch;
  BuildModel(description, scratch);
}

void Install(const NetworkSpec& description) {
  Model model;
  try {
    BuildModel(description, model);
  } catch (const NetworkDescriptionError& e) {
    throw NetworkDescriptionError(std::string("network description: ") + e.what());
  }
  State& s = TheState();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.model = std::move(model);
  s.installed = true;
  s.failWriteAt = 0;
  s.writesSeen = 0;
  s.enumFaults.clear();
  s.hiddenExports.clear();
  s.hiddenLibraries.clear();
  s.latencyUs = description.latency.count();
  s.timeoutUs = description.timeout.count();
  s.calls.clear();
  s.callCounts.clear();
}

NetworkSpec NetworkFromEnvironment() {
  const char* path = std::getenv("TAVRIN_SIM_NETWORK");
  if (path == nullptr || *path == 0) return BuiltInNetwork();
  return LoadNetworkFile(path);
}

NetworkSpec Current() {
  auto lock = LockModel();
  const Model& m = TheState().model;
  NetworkSpec description = m.description;
  description.platformId = m.platformId;
  description.browserAnswers = m.browserAnswers;
  description.latency = std::chrono::microseconds(TheState().latencyUs.load());
  description.timeout = std::chrono::microseconds(TheState().timeoutUs.load());
  for (size_t i = 0; i < description.computers.size(); ++i) {
    const Computer& c = m.computers[i];
    description.computers[i].answers = c.answers;
    description.computers[i].policyDenied = c.policyDenied;
    description.computers[i].rights.clear();
    for (const auto& [sid, rights] : c.policy)
      if (!rights.empty()) description.computers[i].rights[sid] = rights;
  }
  return description;
}

// ---------------------------------------------------------------- faults

namespace {
Computer& Named(Model& m, const std::string& name) {
  auto it = m.computerByName.find(UpperKey(StripBackslashes(name)));
  if (it == m.computerByName.end())
    throw std::invalid_argument("simulated network: no computer named '" + name + "'");
  return m.computers[it->second];
}

std::string DllKey(const std::string& dll) {
  std::string key = UpperKey(dll);
  const size_t slash = key.find_last_of("\\/");
  if (slash != std::string::npos) key = key.substr(slash + 1);
  if (key.find('.') == std::string::npos) key += ".DLL";
  return key;
}
}  // namespace

void SetAnswers(const std::string& computer, bool answers) {
  auto lock = LockModel();
  Named(TheState().model, computer).answers = answers;
}

void SetPolicyDenied(const std::string& computer, bool denied) {
  auto lock = LockModel();
  Named(TheState().model, computer).policyDenied = denied;
}

void FailWrite(int k, int32_t status, const std::string& computer) {
  auto lock = LockModel();
  State& s = TheState();
  s.failWriteAt = k;
  s.failWriteOn = UpperKey(StripBackslashes(computer));
  s.writesSeen = 0;
  s.failWriteStatus = status;
}

void FailEnumeration(const std::string& function, const std::string& computer, uint32_t status) {
  auto lock = LockModel();
  TheState().enumFaults[{function, UpperKey(StripBackslashes(computer))}] = status;
}

void ClearFaults() {
  auto lock = LockModel();
  State& s = TheState();
  s.failWriteAt = 0;
  s.writesSeen = 0;
  s.enumFaults.clear();
  s.hiddenExports.clear();
  s.hiddenLibraries.clear();
  for (size_t i = 0; i < s.model.computers.size(); ++i) {
    s.model.computers[i].answers = s.model.description.computers[i].answers;
    s.model.computers[i].policyDenied = s.model.description.computers[i].policyDenied;
  }
  s.model.browserAnswers = s.model.description.browserAnswers;
}

void HideExport(const std::string& dll, const std::string& name) {
  auto lock = LockModel();
  TheState().hiddenExports.insert(DllKey(dll) + "!" + name);
}

void HideLibrary(const std::string& dll) {
  auto lock = LockModel();
  TheState().hiddenLibraries.insert(DllKey(dll));
}

void ShowAllExports() {
  auto lock = LockModel();
  TheState().hiddenExports.clear();
  TheState().hiddenLibraries.clear();
}

void SetLatency(std::chrono::microseconds perCall) {
  auto lock = LockModel();
  TheState().latencyUs = std::max<int64_t>(0, perCall.count());
}

void SetTimeout(std::chrono::microseconds wait) {
  auto lock = LockModel();
  TheState().timeoutUs = std::max<int64_t>(0, wait.count());
}

void SetPlatformId(uint32_t id) {
  auto lock = LockModel();
  TheState().model.platformId = id;
}

void SetBrowserAnswers(bool answers) {
  auto lock = LockModel();
  TheState().model.browserAnswers = answers;
}

// ---------------------------------------------------------------- call log

std::vector<Call> Calls() {
  auto lock = LockModel();
  return TheState().calls;
}

size_t CountCalls(const std::string& function) {
  auto lock = LockModel();
  auto it = TheState().callCounts.find(function);
  return it == TheState().callCounts.end() ? 0 : it->second;
}

void ClearCalls() {
  auto lock = LockModel();
  TheState().calls.clear();
  TheState().callCounts.clear();
}

// ---------------------------------------------------------------- state

std::vector<std::string> RightsOf(const std::string& computer, const std::string& sidText) {
  auto lock = LockModel();
  Computer& c = Named(TheState().model, computer);
  SidBytes sid;
  if (!ParseSidText(sidText, sid))
    throw std::invalid_argument("simulated network: bad SID text '" + sidText + "'");
  auto it = c.policy.find(SidText(sid.data()));
  return it == c.policy.end() ? std::vector<std::string>{} : it->second;
}

size_t OpenPolicyHandles() {
  auto lock = LockModel();
  return TheState().policies.size();
}

size_t OutstandingNetBuffers() {
  auto lock = LockModel();
  return TheState().netBuffers.size();
}

size_t OutstandingLsaBuffers() {
  auto lock = LockModel();
  return TheState().lsaBuffers.size();
}

size_t OpenTokenHandles() {
  auto lock = LockModel();
  return TheState().tokens.size();
}

int LibraryLoads(const std::string& dll) {
  auto lock = LockModel();
  auto it = TheState().libraryRefs.find(DllKey(dll));
  return it == TheState().libraryRefs.end() ? 0 : it->second;
}

}  // namespace tavrin::sim

namespace tavrin::platform {

namespace {
std::atomic<const NetworkOverride*> gOverride{nullptr};
}  // namespace

void SetOverride(const NetworkOverride* override) { gOverride.store(override); }

const NetworkOverride* Override() { return gOverride.load(); }

}  // namespace tavrin::platform
